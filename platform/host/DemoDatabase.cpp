#include "platform/host/DemoDatabase.h"

#include "erpdb.h"
#include "platform/host/TextCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace erphost {

namespace {
constexpr int kTextNotErpDatabase = 90705;
}

void DemoDatabase::addOptions(CommandLine& commandLine) {
    commandLine.addOption({QStringLiteral("demo-db"), QStringLiteral("FILE"),
                           QStringLiteral("work on the demo database FILE, generated when missing (used by "
                                          "default, in the data folder, when no database is set)"),
                           [](const QString& value, HostSettings&, CommandLineRequest& request) {
                               if (value.trimmed().isEmpty())
                                   return QStringLiteral("option --demo-db: the file name is empty");
                               request.demoDatabase = value;
                               return QString();
                           }});
}

QString DemoDatabase::defaultPath(const HostSettings& settings) {
    return settings.effectiveDataFolder() + QStringLiteral("/erp-demo.db");
}

QStringList DemoDatabase::apply(const CommandLineRequest& request, HostSettings& settings) {
    QString path = request.demoDatabase;
    if (path.isEmpty()) {
        // An empty connection string that was given is a mistake (an unset variable in a cron
        // line), reported by the settings check, never a request for the demo database.
        if (settings.connectionStringGiven)
            return {};
        path = defaultPath(settings);
    }
    path = QFileInfo(path).absoluteFilePath();
    const bool existed = QFileInfo::exists(path);
    if (!existed && !QDir().mkpath(QFileInfo(path).absolutePath()))
        return {QStringLiteral("demo database: cannot create the folder of %1").arg(path)};
    if (!existed)
        std::fprintf(stderr, "erp-host: generating the demo database %s ...\n", qPrintable(path));
    QString why;
    if (existed && !erpdb::isErpDatabaseFile(path, &why))
        return {TextCatalog::builtIn().text(kTextNotErpDatabase, settings.language, {path, why})};
    QString error;
    if (!erpdb::ensureDemoDatabase(path, &error))
        return {QStringLiteral("demo database %1: %2").arg(path, error)};
    settings.connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;
    return {};
}

} // namespace erphost
