// erp-host: the desktop host that runs the production-phase schedule module on an ERP database.
#include "platform/host/BatchRunner.h"
#include "platform/host/CommandLine.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/HostApplication.h"

#include "erpdb.h"
#include "platform/host/DemoDatabase.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

bool batchMode = false;

// Bad arguments end the host with 2, a batch job with 1 (2 tells a batch job's caller that
// the access registry refused it).
int fail(const QStringList& problems) {
    for (const QString& p : problems)
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(p));
    std::fprintf(stderr, "erp-host: see erp-host --help\n");
    return batchMode ? erphost::kBatchFailed : 2;
}

} // namespace

int main(int argc, char** argv) {
    // A batch job never shows a window: it runs off screen unless told otherwise.
    batchMode = erphost::BatchRunner::requested(argc, argv);
    if (batchMode && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("erp-host"));

    erphost::CommandLine commandLine;
    erphost::BatchRunner::addOptions(commandLine);
    erphost::DemoDatabase::addOptions(commandLine);
    erphost::CommandLineRequest request;
    QStringList problems = commandLine.parse(QApplication::arguments().mid(1), request);
    if (request.help) {
        std::printf("%s", qPrintable(commandLine.usage()));
        return 0;
    }
    if (!problems.isEmpty())
        return fail(problems);

    erphost::HostSettings settings;
    // A config file named on the command line must be there; the default one is optional.
    const QString configPath =
        request.configPath.isEmpty() ? erphost::defaultConfigPath() : request.configPath;
    if (!request.configPath.isEmpty() || QFileInfo::exists(configPath))
        problems << erphost::readConfigFile(configPath, settings);
    problems << commandLine.applySettings(settings, request);
    erphost::BatchRunner batch;
    erphost::BatchRequest batchRequest;
    problems << batch.check(request, batchRequest);
    // Without a database of its own the host works on the demo database, made on first use.
    if (problems.isEmpty())
        problems << erphost::DemoDatabase::apply(request, settings);
    erphost::fillDefaults(settings);
    if (problems.isEmpty())
        problems << erphost::validate(settings);
    if (!problems.isEmpty())
        return fail(problems);

    // Embedded databases get the ERP's functions and procedures on every connection.
    erpdb::registerDatabaseObjects();
    if (const QString problem = erphost::checkDatabase(settings.connectionString); !problem.isEmpty())
        return fail({problem});

    if (batchMode)
        return batch.run(settings, batchRequest);

    erphost::HostApplication host(settings);
    return host.run(request.quitAfterMs);
}
