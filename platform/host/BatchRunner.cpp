#include "platform/host/BatchRunner.h"

#include "platform/host/BatchSession.h"
#include "platform/host/SessionLanguage.h"
#include "platform/host/TextCatalog.h"

#include <QSet>
#include <cstdio>
#include <cstring>

namespace erphost {

namespace {

const QString kBatch = QStringLiteral("batch");
const QString kMinDate = QStringLiteral("min-date");
const QString kPhaseType = QStringLiteral("phase-type");
const QString kStates = QStringLiteral("states");
const QString kOut = QStringLiteral("out");
const QString kSort = QStringLiteral("sort");
const QString kFilter = QStringLiteral("filter");
const QString kView = QStringLiteral("view");
const QString kArticle = QStringLiteral("article");
const QString kOrder = QStringLiteral("order");
const QString kLine = QStringLiteral("line");
const QString kPhase = QStringLiteral("phase");
const QString kStart = QStringLiteral("start");
const QString kEnd = QStringLiteral("end");
const QString kDirection = QStringLiteral("direction");
const QString kChannel = QStringLiteral("channel");
const QString kSource = QStringLiteral("source");
const QString kContactType = QStringLiteral("contact-type");
const QString kOpening = QStringLiteral("opening");
const QString kClosing = QStringLiteral("closing");
const QString kTitle = QStringLiteral("title");
const QString kLogo = QStringLiteral("logo");
const QString kReminders = QStringLiteral("reminders");

constexpr int kTextFilterForm = 90710;
constexpr int kTextFilterEmpty = 90711;
constexpr int kTextFilterTwice = 90712;

// The help of the options, in the order of the options.
constexpr int kTextHelpBatch = 92050;
constexpr int kTextHelpMinDate = 92051;
constexpr int kTextHelpPhaseType = 92052;
constexpr int kTextHelpStates = 92053;
constexpr int kTextHelpOut = 92054;
constexpr int kTextHelpSort = 92055;
constexpr int kTextHelpFilter = 92056;
constexpr int kTextHelpView = 92057;
constexpr int kTextHelpArticle = 92058;
constexpr int kTextHelpOrder = 92059;
constexpr int kTextHelpLine = 92060;
constexpr int kTextHelpPhase = 92061;
constexpr int kTextHelpStart = 92062;
constexpr int kTextHelpEnd = 92063;
constexpr int kTextHelpDirection = 92064;
constexpr int kTextHelpChannel = 92065;
constexpr int kTextHelpSource = 92066;
constexpr int kTextHelpContactType = 92067;
constexpr int kTextHelpOpening = 92068;
constexpr int kTextHelpClosing = 92069;
constexpr int kTextHelpTitle = 92070;
constexpr int kTextHelpLogo = 92071;
constexpr int kTextJobsNote = 92072;

// The problems with the options.
constexpr int kTextNeedsBatch = 92080;
constexpr int kTextUnknownJob = 92081;
constexpr int kTextNotADate = 92082;
constexpr int kTextBadPhaseType = 92083;
constexpr int kTextBadStates = 92084;
constexpr int kTextExportNeedsOut = 92085;
constexpr int kTextBadSort = 92086;
constexpr int kTextBadView = 92087;
constexpr int kTextCommitmentNeedsArticle = 92088;
constexpr int kTextArticleOutsideCommitment = 92089;
constexpr int kTextExportOrRemindersOption = 92090;
constexpr int kTextExportOption = 92091;
constexpr int kTextRemindersOption = 92092;
constexpr int kTextRescheduleOption = 92093;
constexpr int kTextBadChannel = 92094;
constexpr int kTextPdfNeedsOut = 92095;
constexpr int kTextOutOutsidePdf = 92096;
constexpr int kTextBadSource = 92097;
constexpr int kTextNeedsContactType = 92098;
constexpr int kTextTitleTooLong = 92099;
constexpr int kTextBadLogo = 92100;
constexpr int kTextNeedsOrder = 92101;
constexpr int kTextNotANumber = 92102;
constexpr int kTextNeedsStartOrEnd = 92103;
constexpr int kTextBadDirection = 92104;

CommandLine::Option keptOption(const QString& name, const QString& valueName, const QString& help) {
    return {name, valueName, help, [name](const QString& value, HostSettings&, CommandLineRequest& request) {
                request.batchOptions.insert(name, value);
                return QString();
            }};
}

// An option that may be given many times: each value is kept on its own line.
CommandLine::Option repeatedOption(const QString& name, const QString& valueName, const QString& help) {
    return {name, valueName, help, [name](const QString& value, HostSettings&, CommandLineRequest& request) {
                QString& values = request.batchOptions[name];
                values += value + QLatin1Char('\n');
                return QString();
            }};
}

} // namespace

QString batchCount(qint64 count, Language language) {
    if (language == Language::English)
        return QString::number(count);
    return sessionLocale(language).toString(count);
}

BatchRunner::BatchRunner() {
    m_jobs.emplace(QStringLiteral("rebuild"), &BatchRunner::rebuild);
    m_jobs.emplace(QStringLiteral("export"), &BatchRunner::exportSchedule);
    m_jobs.emplace(QStringLiteral("reschedule"), &BatchRunner::reschedule);
    m_jobs.emplace(QStringLiteral("undo-reschedule"), &BatchRunner::undoReschedule);
    m_jobs.emplace(kReminders, &BatchRunner::reminders);
}

void BatchRunner::addOptions(CommandLine& commandLine) {
    const auto kept = [&commandLine](const QString& name, const QString& valueName, int help) {
        commandLine.addOption(keptOption(name, valueName, commandLine.text(help)));
    };
    kept(kBatch, QStringLiteral("JOB"), kTextHelpBatch);
    kept(kMinDate, QStringLiteral("YYYY-MM-DD"), kTextHelpMinDate);
    kept(kPhaseType, QStringLiteral("0|1|2"), kTextHelpPhaseType);
    kept(kStates, QStringLiteral("LIST"), kTextHelpStates);
    kept(kOut, QStringLiteral("FILE"), kTextHelpOut);
    kept(kSort, QStringLiteral("0|1|2|3"), kTextHelpSort);
    commandLine.addOption(
        repeatedOption(kFilter, QStringLiteral("FIELD=FROM..TO"), commandLine.text(kTextHelpFilter)));
    kept(kView, QStringLiteral("VIEW"), kTextHelpView);
    kept(kArticle, QStringLiteral("CODE"), kTextHelpArticle);
    kept(kOrder, QStringLiteral("NUMREG"), kTextHelpOrder);
    kept(kLine, QStringLiteral("N"), kTextHelpLine);
    kept(kPhase, QStringLiteral("SEQ"), kTextHelpPhase);
    kept(kStart, QStringLiteral("YYYY-MM-DD"), kTextHelpStart);
    kept(kEnd, QStringLiteral("YYYY-MM-DD"), kTextHelpEnd);
    kept(kDirection, QStringLiteral("forward|backward|phase"), kTextHelpDirection);
    kept(kChannel, QStringLiteral("print|pdf|fax|mail"), kTextHelpChannel);
    kept(kSource, QStringLiteral("contacts|registry"), kTextHelpSource);
    kept(kContactType, QStringLiteral("CODE"), kTextHelpContactType);
    kept(kOpening, QStringLiteral("CODE"), kTextHelpOpening);
    kept(kClosing, QStringLiteral("CODE"), kTextHelpClosing);
    kept(kTitle, QStringLiteral("TEXT"), kTextHelpTitle);
    kept(kLogo, QStringLiteral("0..5"), kTextHelpLogo);
    commandLine.addNote(commandLine.text(kTextJobsNote));
}

bool BatchRunner::requested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--batch") == 0 || std::strncmp(argv[i], "--batch=", 8) == 0)
            return true;
    }
    return false;
}

QStringList BatchRunner::jobNames() const {
    QStringList names;
    for (const auto& [name, job] : m_jobs)
        names << name;
    return names;
}

QStringList BatchRunner::check(const CommandLineRequest& commandLine, BatchRequest& request,
                               Language language) const {
    QStringList problems;
    const QHash<QString, QString>& options = commandLine.batchOptions;
    if (!options.contains(kBatch)) {
        for (const QString& name : {kMinDate, kPhaseType, kStates, kOut, kSort, kFilter, kView, kArticle,
                                    kOrder, kLine, kPhase, kStart, kEnd, kDirection}) {
            if (options.contains(name))
                problems << hostText(kTextNeedsBatch, language, {name});
        }
        return problems;
    }

    request.job = options.value(kBatch);
    if (m_jobs.find(request.job) == m_jobs.end())
        problems << hostText(kTextUnknownJob, language,
                             {quotedValue(request.job), jobNames().join(QStringLiteral(", "))});

    if (options.contains(kMinDate)) {
        const QString text = options.value(kMinDate);
        request.minDate = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!request.minDate.isValid())
            problems << hostText(kTextNotADate, language, {kMinDate, quotedValue(text)});
    }

    if (options.contains(kPhaseType)) {
        request.phaseType = options.value(kPhaseType);
        if (request.phaseType != QLatin1String("0") && request.phaseType != QLatin1String("1") &&
            request.phaseType != QLatin1String("2"))
            problems << hostText(kTextBadPhaseType, language, {quotedValue(request.phaseType)});
    }

    if (options.contains(kStates)) {
        const QString text = options.value(kStates);
        QList<int> states;
        QSet<int> seen;
        bool valid = !text.trimmed().isEmpty();
        for (const QString& part : text.split(QLatin1Char(','))) {
            bool ok = false;
            const int state = part.trimmed().toInt(&ok);
            if (!ok || state < 0 || state > 4 || seen.contains(state)) {
                valid = false;
                break;
            }
            seen.insert(state);
            states << state;
        }
        if (valid)
            request.states = states;
        else
            problems << hostText(kTextBadStates, language, {quotedValue(text)});
    }

    if (options.contains(kOut))
        request.outputPath = options.value(kOut);
    if (request.job == QLatin1String("export") && request.outputPath.trimmed().isEmpty())
        problems << hostText(kTextExportNeedsOut, language);
    if (options.contains(kSort)) {
        request.sortCode = options.value(kSort);
        if (request.sortCode.size() != 1 || request.sortCode[0] < QLatin1Char('0') ||
            request.sortCode[0] > QLatin1Char('3'))
            problems << hostText(kTextBadSort, language, {quotedValue(request.sortCode)});
    }
    if (options.contains(kFilter)) {
        // Every value was kept with a line break after it, an empty one too.
        QStringList values = options.value(kFilter).split(QLatin1Char('\n'));
        values.removeLast();
        QSet<QString> fields;
        for (const QString& text : values) {
            if (text.trimmed().isEmpty()) {
                problems << hostText(kTextFilterEmpty, language);
                continue;
            }
            const int equals = int(text.indexOf(QLatin1Char('=')));
            const int dots = equals < 0 ? -1 : int(text.indexOf(QStringLiteral(".."), equals + 1));
            if (equals <= 0 || dots < 0) {
                problems << hostText(kTextFilterForm, language, {quotedValue(text)});
                continue;
            }
            const QString field = text.left(equals).trimmed();
            if (fields.contains(field.toUpper())) {
                problems << hostText(kTextFilterTwice, language, {quotedValue(field)});
                continue;
            }
            fields.insert(field.toUpper());
            request.filters << BatchFilter{field, text.mid(equals + 1, dots - equals - 1),
                                           text.mid(dots + 2)};
        }
    }
    request.view = options.value(kView, QStringLiteral("schedule"));
    if (request.view != QLatin1String("schedule") && request.view != QLatin1String("proposals") &&
        request.view != QLatin1String("commitment"))
        problems << hostText(kTextBadView, language, {quotedValue(request.view)});
    request.article = options.value(kArticle);
    if (request.view == QLatin1String("commitment") && request.article.trimmed().isEmpty())
        problems << hostText(kTextCommitmentNeedsArticle, language);
    if (options.contains(kArticle) && request.view != QLatin1String("commitment"))
        problems << hostText(kTextArticleOutsideCommitment, language);
    const bool exportLike = request.job == QLatin1String("export") || request.job == kReminders;
    for (const QString& name : {kOut, kSort, kFilter}) {
        if (options.contains(name) && !exportLike)
            problems << hostText(kTextExportOrRemindersOption, language, {name});
    }
    for (const QString& name : {kView, kArticle}) {
        if (options.contains(name) && request.job != QLatin1String("export"))
            problems << hostText(kTextExportOption, language, {name});
    }
    if (request.job == kReminders)
        problems << checkReminders(options, request, language);
    else {
        for (const QString& name : {kChannel, kSource, kContactType, kOpening, kClosing, kTitle, kLogo}) {
            if (options.contains(name))
                problems << hostText(kTextRemindersOption, language, {name});
        }
    }
    checkReschedule(options, request, problems, language);
    return problems;
}

QStringList BatchRunner::checkReminders(const QHash<QString, QString>& options, BatchRequest& request,
                                        Language language) {
    QStringList problems;
    scadlav::ReminderJob& job = request.reminders;
    request.channel = options.value(kChannel);
    if (request.channel == QLatin1String("print") || request.channel == QLatin1String("pdf"))
        job.channel = scadlav::ReminderJob::Channel::Print;
    else if (request.channel == QLatin1String("fax"))
        job.channel = scadlav::ReminderJob::Channel::Fax;
    else if (request.channel == QLatin1String("mail"))
        job.channel = scadlav::ReminderJob::Channel::Mail;
    else
        problems << hostText(kTextBadChannel, language, {quotedValue(request.channel)});
    if (request.channel == QLatin1String("pdf") && request.outputPath.trimmed().isEmpty())
        problems << hostText(kTextPdfNeedsOut, language);
    if (request.channel != QLatin1String("pdf") && options.contains(kOut))
        problems << hostText(kTextOutOutsidePdf, language);
    const QString source = options.value(kSource, QStringLiteral("contacts"));
    if (source == QLatin1String("contacts"))
        job.source = 0;
    else if (source == QLatin1String("registry"))
        job.source = 1;
    else
        problems << hostText(kTextBadSource, language, {quotedValue(source)});
    job.contactType = options.value(kContactType).trimmed().toUpper();
    if (job.source == 0 && job.channel != scadlav::ReminderJob::Channel::Print && job.contactType.isEmpty())
        problems << hostText(kTextNeedsContactType, language);
    job.opening = options.value(kOpening).trimmed().toUpper();
    job.closing = options.value(kClosing).trimmed().toUpper();
    job.title = options.value(kTitle);
    // The screen's title field holds 50 characters: a longer title is refused, not cut.
    if (job.title.size() > 50)
        problems << hostText(kTextTitleTooLong, language, {batchCount(job.title.size(), language)});
    if (options.contains(kLogo)) {
        bool ok = false;
        job.logo = options.value(kLogo).toInt(&ok);
        if (!ok || job.logo < 0 || job.logo > 5)
            problems << hostText(kTextBadLogo, language, {quotedValue(options.value(kLogo))});
    }
    return problems;
}

void BatchRunner::checkReschedule(const QHash<QString, QString>& options, BatchRequest& request,
                                  QStringList& problems, Language language) {
    const QStringList own{kOrder, kLine, kPhase, kStart, kEnd, kDirection};
    if (request.job != QLatin1String("reschedule")) {
        for (const QString& name : own) {
            if (options.contains(name))
                problems << hostText(kTextRescheduleOption, language, {name});
        }
        return;
    }
    scadlav::RescheduleRequest& r = request.reschedule;
    r.order = options.value(kOrder).trimmed();
    if (r.order.isEmpty() || r.order.size() > 12)
        problems << hostText(kTextNeedsOrder, language);
    const auto whole = [&](const QString& name, qint64 maximum, qint64& into) {
        bool ok = false;
        const QString text = options.value(name);
        into = text.trimmed().toLongLong(&ok);
        if (!ok || into < 0 || into > maximum)
            problems << hostText(kTextNotANumber, language,
                                 {name, quotedValue(text), QString::number(maximum)});
    };
    whole(kLine, 999999, r.line);
    whole(kPhase, 99999, r.sequence);
    const auto day = [&](const QString& name) -> std::optional<QDate> {
        if (!options.contains(name))
            return std::nullopt;
        const QString text = options.value(name);
        const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            problems << hostText(kTextNotADate, language, {name, quotedValue(text)});
            return std::nullopt;
        }
        return date;
    };
    r.start = day(kStart);
    r.end = day(kEnd);
    if (!options.contains(kStart) && !options.contains(kEnd))
        problems << hostText(kTextNeedsStartOrEnd, language);
    if (options.contains(kDirection)) {
        const QString text = options.value(kDirection).trimmed().toLower();
        if (text == QLatin1String("forward"))
            r.direction = 1;
        else if (text == QLatin1String("backward"))
            r.direction = 2;
        else if (text == QLatin1String("phase"))
            r.direction = 3;
        else
            problems << hostText(kTextBadDirection, language, {quotedValue(options.value(kDirection))});
    }
}

int BatchRunner::run(const HostSettings& settings, const BatchRequest& request) {
    const auto job = m_jobs.find(request.job);
    if (job == m_jobs.end())
        return kBatchFailed;
    // The reminder letters go where the job says, not where the config file sends a print.
    HostSettings effective = settings;
    if (request.job == kReminders && request.channel == QLatin1String("pdf")) {
        effective.report.output = ReportSettings::Output::Pdf;
        effective.report.pdfPath = request.outputPath;
    } else if (request.job == kReminders && request.channel == QLatin1String("print")) {
        effective.report.output = ReportSettings::Output::Printer;
    }
    BatchSession session(effective);
    if (!session.open())
        return kBatchFailed;
    const int code = job->second(session, request);
    session.close();
    return code;
}

} // namespace erphost
