// erp-host: the desktop host that runs the production-phase schedule module on an ERP database.
#include "platform/host/CommandLine.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/HostApplication.h"

#ifdef ERP_HOST_WITH_ERPDB
#include "erpdb.h"
#endif

#include <QApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

int fail(const QStringList& problems) {
    for (const QString& p : problems)
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(p));
    std::fprintf(stderr, "erp-host: see erp-host --help\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("erp-host"));

    erphost::CommandLine commandLine;
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
    erphost::fillDefaults(settings);
    if (problems.isEmpty())
        problems << erphost::validate(settings);
    if (!problems.isEmpty())
        return fail(problems);

#ifdef ERP_HOST_WITH_ERPDB
    // Embedded databases get the ERP's functions and procedures on every connection.
    erpdb::registerDatabaseObjects();
#endif
    if (const QString problem = erphost::checkDatabase(settings.connectionString); !problem.isEmpty())
        return fail({problem});

    erphost::HostApplication host(settings);
    return host.run(request.quitAfterMs);
}
