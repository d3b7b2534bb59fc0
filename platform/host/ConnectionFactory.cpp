#include "platform/host/ConnectionFactory.h"

#include "module/db/Connection.h"

namespace erphost {

std::unique_ptr<scadlav::db::Connection> ConnectionFactory::createConnection() {
    return std::make_unique<scadlav::db::Connection>();
}

QString checkDatabase(const QString& connectionString) {
    scadlav::db::Connection connection;
    if (connection.open(connectionString)) {
        connection.close();
        return {};
    }
    QString reason = connection.lastErrorText();
    if (reason.isEmpty())
        reason = QStringLiteral("no reason given");
    return QStringLiteral("setting Database/ConnectionString: the database cannot be opened: %1").arg(reason);
}

} // namespace erphost
