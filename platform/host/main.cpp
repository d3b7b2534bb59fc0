// erp-host: the desktop host that runs the production-phase schedule module on an ERP database.
#include "platform/host/BatchRunner.h"
#include "platform/host/CommandLine.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/ConnectionKind.h"
#include "platform/host/DemoDatabase.h"
#include "platform/host/HostApplication.h"
#include "platform/host/HostSession.h"
#include "platform/host/LineLog.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/SessionLanguage.h"
#include "platform/host/TextCatalog.h"

#include "erpdb.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kTextNotErpDatabase = 90705;
constexpr int kTextCannotAppend = 90707;
constexpr int kTextSeeHelp = 92018;

bool batchMode = false;

// Bad arguments end the host with 2, a batch job with 1 (2 tells a batch job's caller that
// the access registry refused it).
int fail(const QStringList& problems, erphost::Language language) {
    for (const QString& p : problems)
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(p));
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(erphost::hostText(kTextSeeHelp, language)));
    return batchMode ? erphost::kBatchFailed : 2;
}

void addOptions(erphost::CommandLine& commandLine) {
    erphost::BatchRunner::addOptions(commandLine);
    erphost::DemoDatabase::addOptions(commandLine);
}

// Off screen, the toolkit reports what it cannot do for a window nobody sees (size hints, a
// runtime folder of the desktop session); the output carries only the program's own lines.
QtMessageHandler standardHandler = nullptr;

void quietToolkitNotices(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg || type == QtDebugMsg || type == QtInfoMsg) {
        for (const char* notice : {"propagateSizeHints", "XDG_RUNTIME_DIR"}) {
            if (message.contains(QLatin1String(notice)))
                return;
        }
    }
    if (standardHandler)
        standardHandler(type, context, message);
}

// --help is answered before any window system is needed.
bool helpRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0)
            return true;
    }
    return false;
}

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    erphost::HostSession::installSignalHandling();
    if (helpRequested(argc, argv)) {
        erphost::CommandLine commandLine(erphost::languageOfArguments(argumentList(argc, argv)));
        addOptions(commandLine);
        std::printf("%s", qPrintable(commandLine.usage()));
        return 0;
    }
    // A batch job never shows a window: it runs off screen unless told otherwise.
    batchMode = erphost::BatchRunner::requested(argc, argv);
    if (batchMode && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Off screen (a batch job, the user guide's pictures, the tests) nobody sees a window, so
    // the toolkit's notices about it are only noise.
    if (batchMode || qgetenv("QT_QPA_PLATFORM") == "offscreen")
        standardHandler = qInstallMessageHandler(quietToolkitNotices);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("erp-host"));

    const QStringList arguments = QApplication::arguments().mid(1);
    // Until the settings are read, the texts follow what the arguments and the config file ask.
    const erphost::Language language = erphost::languageOfArguments(arguments);
    erphost::CommandLine commandLine(language);
    addOptions(commandLine);
    erphost::CommandLineRequest request;
    QStringList problems = commandLine.parse(arguments, request);
    if (!problems.isEmpty())
        return fail(problems, language);

    erphost::HostSettings settings;
    // A config file named on the command line must be there; the default one is optional.
    const QString configPath =
        request.configPath.isEmpty() ? erphost::defaultConfigPath() : request.configPath;
    if (!request.configPath.isEmpty() || QFileInfo::exists(configPath))
        problems << erphost::readConfigFile(configPath, settings, language);
    problems << commandLine.applySettings(settings, request);
    erphost::BatchRunner batch;
    erphost::BatchRequest batchRequest;
    problems << batch.check(request, batchRequest, settings.language);
    // Without a database of its own the host works on the demo database, made on first use.
    if (problems.isEmpty())
        problems << erphost::DemoDatabase::apply(request, settings);
    erphost::fillDefaults(settings);
    if (problems.isEmpty())
        problems << erphost::validate(settings);
    if (!problems.isEmpty())
        return fail(problems, settings.language);

    const erphost::TextCatalog catalog = erphost::TextCatalog::builtIn();
    // Dates, numbers and every text on screen follow the session's language from here on.
    if (const QString missing = erphost::applySessionLanguage(settings.language, catalog);
        !missing.isEmpty() && !batchMode)
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(missing));
    erphost::LineLog::setFailureReporter([&catalog, &settings](const QString& path, const QString& why) {
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(catalog.text(kTextCannotAppend, settings.language, {path, why})));
    });
    // Opening another program's file would change it (journal mode, working tables): look first.
    if (erphost::isEmbeddedConnection(settings.connectionString)) {
        const QString file = erphost::embeddedDatabaseFile(settings.connectionString);
        QString why;
        if (QFileInfo::exists(file) && !erpdb::isErpDatabaseFile(file, &why))
            return fail({catalog.text(kTextNotErpDatabase, settings.language, {file, why})},
                        settings.language);
    }
    // Embedded databases get the ERP's functions and procedures on every connection.
    erpdb::registerDatabaseObjects();
    if (const QString problem = erphost::checkDatabase(settings.connectionString, settings.language);
        !problem.isEmpty())
        return fail({problem}, settings.language);

    erphost::HostSession session(settings, catalog);
    if (const auto status = session.start(); status != erphost::HostSession::Status::Started) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(session.message()));
        if (!batchMode && !request.quitAfterMs)
            erphost::QtMessageBoxPresenter().show(session.message(), scadlav::msgbox::Critical,
                                                  settings.caption);
        if (batchMode && status == erphost::HostSession::Status::UserBusy)
            return erphost::kBatchRefused;
        return batchMode ? erphost::kBatchFailed : 2;
    }
    // Unique among the live sessions, so the working tables of two jobs never meet.
    settings.identity = session.identity();
    // A rebuild left unfinished: every start says so until a rebuild makes the schedule whole.
    for (const QString& warning : session.warnings()) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(warning));
        if (!batchMode && !request.quitAfterMs)
            erphost::QtMessageBoxPresenter().show(warning, scadlav::msgbox::Exclamation, settings.caption);
    }

    if (batchMode)
        return batch.run(settings, batchRequest);

    erphost::HostApplication host(settings);
    host.setScreenshotFolder(request.screenshotFolder);
    return host.run(request.quitAfterMs);
}
