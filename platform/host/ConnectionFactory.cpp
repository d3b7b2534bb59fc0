#include "platform/host/ConnectionFactory.h"

#include "module/db/Connection.h"
#include "platform/host/TextCatalog.h"

namespace erphost {

namespace {
constexpr int kTextCannotOpenDatabase = 92027;
constexpr int kTextNoReason = 92028;

std::function<void(bool)>& lockWaitNotice() {
    static std::function<void(bool)> notice;
    return notice;
}
} // namespace

std::unique_ptr<scadlav::db::Connection> ConnectionFactory::createConnection() {
    auto connection = std::make_unique<scadlav::db::Connection>();
    connection->setLockWaitNotice(lockWaitNotice());
    return connection;
}

void ConnectionFactory::setLockWaitNotice(std::function<void(bool waiting)> notice) {
    lockWaitNotice() = std::move(notice);
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
