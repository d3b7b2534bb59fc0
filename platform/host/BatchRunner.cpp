#include "platform/host/BatchRunner.h"

#include "platform/host/BatchSession.h"
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

BatchRunner::BatchRunner() {
    m_jobs.emplace(QStringLiteral("rebuild"), &BatchRunner::rebuild);
    m_jobs.emplace(QStringLiteral("export"), &BatchRunner::exportSchedule);
    m_jobs.emplace(QStringLiteral("reschedule"), &BatchRunner::reschedule);
    m_jobs.emplace(QStringLiteral("undo-reschedule"), &BatchRunner::undoReschedule);
    m_jobs.emplace(kReminders, &BatchRunner::reminders);
}

void BatchRunner::addOptions(CommandLine& commandLine) {
    commandLine.addOption(
        keptOption(kBatch, QStringLiteral("JOB"),
                   QStringLiteral("run JOB without a display and exit (rebuild, export, reschedule, "
                                  "undo-reschedule, reminders; see below); exit code 0 done, 1 failed, 2 "
                                  "refused by the access registry or because the user has another session "
                                  "open, 3 the date was refused, 4 reminders skipped or failed, 5 nothing "
                                  "to undo")));
    commandLine.addOption(
        keptOption(kMinDate, QStringLiteral("YYYY-MM-DD"),
                   QStringLiteral("batch rebuild: minimum order date (default: six months ago)")));
    commandLine.addOption(
        keptOption(kPhaseType, QStringLiteral("0|1|2"),
                   QStringLiteral("batch rebuild: phases, 0 all, 1 internal, 2 subcontracted "
                                  "(default 0)")));
    commandLine.addOption(
        keptOption(kStates, QStringLiteral("LIST"),
                   QStringLiteral("batch rebuild: order states, e.g. 0,1,2,3,4 (default: all)")));
    commandLine.addOption(keptOption(
        kOut, QStringLiteral("FILE"),
        QStringLiteral(
            "batch export: the file to write, an Excel workbook when it ends in .xlsx, CSV otherwise")));
    commandLine.addOption(
        keptOption(kSort, QStringLiteral("0|1|2|3"),
                   QStringLiteral("batch export: sort order, 0 supplier/department, 1 order, 2 end "
                                  "date, 3 start date (default 0)")));
    commandLine.addOption(
        repeatedOption(kFilter, QStringLiteral("FIELD=FROM..TO"),
                       QStringLiteral("batch export: a filter panel field and its range; either "
                                      "side may be empty; may be repeated, once per field")));
    commandLine.addOption(
        keptOption(kView, QStringLiteral("VIEW"),
                   QStringLiteral("batch export: schedule (default), proposals (the rows of \"Proposte "
                                  "C/Lav.\") or commitment (the open customer orders of --article)")));
    commandLine.addOption(keptOption(kArticle, QStringLiteral("CODE"),
                                     QStringLiteral("batch export --view commitment: the article")));
    commandLine.addOption(keptOption(kOrder, QStringLiteral("NUMREG"),
                                     QStringLiteral("batch reschedule: the production order's registration number")));
    commandLine.addOption(keptOption(kLine, QStringLiteral("N"), QStringLiteral("batch reschedule: the order line")));
    commandLine.addOption(
        keptOption(kPhase, QStringLiteral("SEQ"), QStringLiteral("batch reschedule: the phase sequence")));
    commandLine.addOption(
        keptOption(kStart, QStringLiteral("YYYY-MM-DD"), QStringLiteral("batch reschedule: the phase's new start")));
    commandLine.addOption(
        keptOption(kEnd, QStringLiteral("YYYY-MM-DD"), QStringLiteral("batch reschedule: the phase's new end")));
    commandLine.addOption(keptOption(
        kDirection, QStringLiteral("forward|backward|phase"),
        QStringLiteral("batch reschedule: walk the routing forward from the phase, backward from it, or "
                       "recalculate the phase alone (default: forward for --start, backward for --end)")));
    commandLine.addOption(keptOption(kChannel, QStringLiteral("print|pdf|fax|mail"),
                                     QStringLiteral("batch reminders: print, write to --out FILE as PDF, fax "
                                                    "or mail the reminder letters")));
    commandLine.addOption(
        keptOption(kSource, QStringLiteral("contacts|registry"),
                   QStringLiteral("batch reminders: fax numbers and addresses from the "
                                  "suppliers' contacts (default) or their registry entry")));
    commandLine.addOption(
        keptOption(kContactType, QStringLiteral("CODE"),
                   QStringLiteral("batch reminders: the contact type, with --source contacts")));
    commandLine.addOption(
        keptOption(kOpening, QStringLiteral("CODE"), QStringLiteral("batch reminders: opening fixed text")));
    commandLine.addOption(
        keptOption(kClosing, QStringLiteral("CODE"), QStringLiteral("batch reminders: closing fixed text")));
    commandLine.addOption(
        keptOption(kTitle, QStringLiteral("TEXT"),
                   QStringLiteral("batch reminders: the letters' title, at most 50 characters")));
    commandLine.addOption(keptOption(kLogo, QStringLiteral("0..5"),
                                     QStringLiteral("batch reminders: letterhead, 0 none (default), 1 the "
                                                    "company's text, 2-5 the pictures of [Report]")));
    commandLine.addNote(QStringLiteral(
        "Batch jobs (--batch JOB):\n"
        "  rebuild   rebuild the schedule table as the screen's \"Ricalcola\" does, with\n"
        "            --min-date, --phase-type and --states\n"
        "  export    show the schedule in view mode with the rebuild's parameters, --filter and\n"
        "            --sort, and write every column of its rows as CSV to --out FILE; with\n"
        "            --view proposals the rows \"Proposte C/Lav.\" shows, in its order; with\n"
        "            --view commitment --article CODE the open customer orders of the article\n"
        "  reschedule  type --start and/or --end on phase --phase of order --order line --line in\n"
        "            the order detail, as \"&Calc. Date\" then recalculates; prints the line's phases\n"
        "            as SEQ;PROGSFASE;CODFASE;START;END\n"
        "  undo-reschedule  undo the user's last date recalculation"));
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
        for (const QString& name : {kMinDate, kPhaseType, kStates, kOut, kSort, kFilter, kView, kArticle, kOrder,
                                    kLine, kPhase, kStart, kEnd, kDirection}) {
            if (options.contains(name))
                problems
                    << QStringLiteral("option --%1 belongs to a batch job: add --batch rebuild").arg(name);
        }
        return problems;
    }

    request.job = options.value(kBatch);
    if (m_jobs.find(request.job) == m_jobs.end())
        problems << QStringLiteral("option --batch: unknown job '%1' (jobs: %2)")
                        .arg(quotedValue(request.job), jobNames().join(QStringLiteral(", ")));

    if (options.contains(kMinDate)) {
        const QString text = options.value(kMinDate);
        request.minDate = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!request.minDate.isValid())
            problems << QStringLiteral("option --min-date: '%1' is not a date written YYYY-MM-DD")
                            .arg(quotedValue(text));
    }

    if (options.contains(kPhaseType)) {
        request.phaseType = options.value(kPhaseType);
        if (request.phaseType != QLatin1String("0") && request.phaseType != QLatin1String("1") &&
            request.phaseType != QLatin1String("2"))
            problems << QStringLiteral("option --phase-type: '%1' is not 0 (all), 1 (internal) or 2 "
                                       "(subcontracted)")
                            .arg(quotedValue(request.phaseType));
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
            problems << QStringLiteral(
                            "option --states: '%1' is not a list of different order states from 0 to "
                            "4, separated by commas")
                            .arg(quotedValue(text));
    }

    if (options.contains(kOut))
        request.outputPath = options.value(kOut);
    if (request.job == QLatin1String("export") && request.outputPath.trimmed().isEmpty())
        problems << QStringLiteral("option --out: the export needs the file to write");
    if (options.contains(kSort)) {
        request.sortCode = options.value(kSort);
        if (request.sortCode.size() != 1 || request.sortCode[0] < QLatin1Char('0') ||
            request.sortCode[0] > QLatin1Char('3'))
            problems << QStringLiteral("option --sort: '%1' is not 0, 1, 2 or 3")
                            .arg(quotedValue(request.sortCode));
    }
    if (options.contains(kFilter)) {
        const TextCatalog catalog = TextCatalog::builtIn();
        // Every value was kept with a line break after it, an empty one too.
        QStringList values = options.value(kFilter).split(QLatin1Char('\n'));
        values.removeLast();
        QSet<QString> fields;
        for (const QString& text : values) {
            if (text.trimmed().isEmpty()) {
                problems << catalog.text(kTextFilterEmpty, language);
                continue;
            }
            const int equals = int(text.indexOf(QLatin1Char('=')));
            const int dots = equals < 0 ? -1 : int(text.indexOf(QStringLiteral(".."), equals + 1));
            if (equals <= 0 || dots < 0) {
                problems << catalog.text(kTextFilterForm, language, {quotedValue(text)});
                continue;
            }
            const QString field = text.left(equals).trimmed();
            if (fields.contains(field.toUpper())) {
                problems << catalog.text(kTextFilterTwice, language, {quotedValue(field)});
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
        problems << QStringLiteral("option --view: '%1' is not schedule, proposals or commitment")
                        .arg(quotedValue(request.view));
    request.article = options.value(kArticle);
    if (request.view == QLatin1String("commitment") && request.article.trimmed().isEmpty())
        problems << QStringLiteral("option --article: the commitment view needs the article's code");
    if (options.contains(kArticle) && request.view != QLatin1String("commitment"))
        problems << QStringLiteral("option --article belongs to --view commitment");
    const bool exportLike = request.job == QLatin1String("export") || request.job == kReminders;
    for (const QString& name : {kOut, kSort, kFilter}) {
        if (options.contains(name) && !exportLike)
            problems << QStringLiteral("option --%1 belongs to the export and reminders jobs").arg(name);
    }
    for (const QString& name : {kView, kArticle}) {
        if (options.contains(name) && request.job != QLatin1String("export"))
            problems << QStringLiteral("option --%1 belongs to the export job").arg(name);
    }
    if (request.job == kReminders)
        problems << checkReminders(options, request);
    else {
        for (const QString& name : {kChannel, kSource, kContactType, kOpening, kClosing, kTitle, kLogo}) {
            if (options.contains(name))
                problems << QStringLiteral("option --%1 belongs to the reminders job").arg(name);
        }
    }
    checkReschedule(options, request, problems);
    return problems;
}

QStringList BatchRunner::checkReminders(const QHash<QString, QString>& options, BatchRequest& request) {
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
        problems << QStringLiteral("option --channel: '%1' is not print, pdf, fax or mail")
                        .arg(quotedValue(request.channel));
    if (request.channel == QLatin1String("pdf") && request.outputPath.trimmed().isEmpty())
        problems << QStringLiteral("option --out: --channel pdf needs the file to write");
    if (request.channel != QLatin1String("pdf") && options.contains(kOut))
        problems << QStringLiteral("option --out belongs to --channel pdf");
    const QString source = options.value(kSource, QStringLiteral("contacts"));
    if (source == QLatin1String("contacts"))
        job.source = 0;
    else if (source == QLatin1String("registry"))
        job.source = 1;
    else
        problems
            << QStringLiteral("option --source: '%1' is not contacts or registry").arg(quotedValue(source));
    job.contactType = options.value(kContactType).trimmed().toUpper();
    if (job.source == 0 && job.channel != scadlav::ReminderJob::Channel::Print && job.contactType.isEmpty())
        problems << QStringLiteral(
            "option --contact-type: faxes and mails from the contacts need the contact type");
    job.opening = options.value(kOpening).trimmed().toUpper();
    job.closing = options.value(kClosing).trimmed().toUpper();
    job.title = options.value(kTitle);
    // The screen's title field holds 50 characters: a longer title is refused, not cut.
    if (job.title.size() > 50)
        problems << QStringLiteral("option --title: %1 characters, the letters' title holds at most 50")
                        .arg(job.title.size());
    if (options.contains(kLogo)) {
        bool ok = false;
        job.logo = options.value(kLogo).toInt(&ok);
        if (!ok || job.logo < 0 || job.logo > 5)
            problems << QStringLiteral("option --logo: '%1' is not a number from 0 to 5")
                            .arg(quotedValue(options.value(kLogo)));
    }
    return problems;
}

void BatchRunner::checkReschedule(const QHash<QString, QString>& options, BatchRequest& request,
                                  QStringList& problems) {
    const QStringList own{kOrder, kLine, kPhase, kStart, kEnd, kDirection};
    if (request.job != QLatin1String("reschedule")) {
        for (const QString& name : own) {
            if (options.contains(name))
                problems << QStringLiteral("option --%1 belongs to the reschedule job").arg(name);
        }
        return;
    }
    scadlav::RescheduleRequest& r = request.reschedule;
    r.order = options.value(kOrder).trimmed();
    if (r.order.isEmpty() || r.order.size() > 12)
        problems << QStringLiteral("option --order: the reschedule needs the order's registration number (at most "
                                   "12 characters)");
    const auto whole = [&](const QString& name, qint64 maximum, qint64& into) {
        bool ok = false;
        const QString text = options.value(name);
        into = text.trimmed().toLongLong(&ok);
        if (!ok || into < 0 || into > maximum)
            problems << QStringLiteral("option --%1: '%2' is not a number from 0 to %3")
                            .arg(name, quotedValue(text))
                            .arg(maximum);
    };
    whole(kLine, 999999, r.line);
    whole(kPhase, 99999, r.sequence);
    const auto day = [&](const QString& name) -> std::optional<QDate> {
        if (!options.contains(name))
            return std::nullopt;
        const QString text = options.value(name);
        const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            problems << QStringLiteral("option --%1: '%2' is not a date written YYYY-MM-DD").arg(name, quotedValue(text));
            return std::nullopt;
        }
        return date;
    };
    r.start = day(kStart);
    r.end = day(kEnd);
    if (!options.contains(kStart) && !options.contains(kEnd))
        problems << QStringLiteral("option --start or --end: the reschedule needs the phase's new start or end");
    if (options.contains(kDirection)) {
        const QString text = options.value(kDirection).trimmed().toLower();
        if (text == QLatin1String("forward"))
            r.direction = 1;
        else if (text == QLatin1String("backward"))
            r.direction = 2;
        else if (text == QLatin1String("phase"))
            r.direction = 3;
        else
            problems << QStringLiteral("option --direction: '%1' is not forward, backward or phase")
                            .arg(quotedValue(options.value(kDirection)));
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
