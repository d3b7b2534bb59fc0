#pragma once

#include "module/services/IConnectionFactory.h"
#include "platform/host/HostSettings.h"

#include <QString>
#include <functional>

namespace erphost {

// Gives the module new, closed database connections.
class ConnectionFactory : public scadlav::IConnectionFactory {
public:
    std::unique_ptr<scadlav::db::Connection> createConnection() override;

    // What every connection made from now on tells when one of its commands waits noticeably
    // long for another session's lock (true) and when that command ends (false); the window or
    // the batch job shows it. Empty: nothing is told.
    static void setLockWaitNotice(std::function<void(bool waiting)> notice);
};

// Opens the connection string once and closes it again: "" when the database answers, else
// the reason, naming the setting, in `language`.
QString checkDatabase(const QString& connectionString, Language language);

} // namespace erphost
