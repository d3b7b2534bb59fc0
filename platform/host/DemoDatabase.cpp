#include "platform/host/DemoDatabase.h"

#include "erpdb.h"
#include "platform/host/TextCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace erphost {

namespace {
constexpr int kTextNotErpDatabase = 90705;
constexpr int kTextHelpDemoDb = 92020;
constexpr int kTextDemoDbEmpty = 92021;
constexpr int kTextDemoNoFolder = 92022;
constexpr int kTextDemoGenerating = 92023;
constexpr int kTextDemoFailed = 92024;
} // namespace

void DemoDatabase::addOptions(CommandLine& commandLine) {
    commandLine.addOption({QStringLiteral("demo-db"), QStringLiteral("FILE"),
                           commandLine.text(kTextHelpDemoDb),
                           [language = commandLine.language()](const QString& value, HostSettings&,
                                                               CommandLineRequest& request) {
                               if (value.trimmed().isEmpty())
                                   return hostText(kTextDemoDbEmpty, language);
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
        return {hostText(kTextDemoNoFolder, settings.language, {path})};
    if (!existed)
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(hostText(kTextDemoGenerating, settings.language, {path})));
    QString why;
    if (existed && !erpdb::isErpDatabaseFile(path, &why))
        return {hostText(kTextNotErpDatabase, settings.language, {path, why})};
    QString error;
    if (!erpdb::ensureDemoDatabase(path, &error))
        return {hostText(kTextDemoFailed, settings.language, {path, error})};
    settings.connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;
    return {};
}

} // namespace erphost
