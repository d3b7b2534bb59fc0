#include "platform/host/ConnectionFactory.h"

#include "module/db/Connection.h"
#include "platform/host/TextCatalog.h"

namespace erphost {

namespace {
constexpr int kTextCannotOpenDatabase = 92027;
constexpr int kTextNoReason = 92028;
} // namespace

std::unique_ptr<scadlav::db::Connection> ConnectionFactory::createConnection() {
    return std::make_unique<scadlav::db::Connection>();
}

QString checkDatabase(const QString& connectionString, Language language) {
    scadlav::db::Connection connection;
    if (connection.open(connectionString)) {
        connection.close();
        return {};
    }
    QString reason = connection.lastErrorText();
    if (reason.isEmpty())
        reason = hostText(kTextNoReason, language);
    return hostText(kTextCannotOpenDatabase, language, {reason});
}

} // namespace erphost
