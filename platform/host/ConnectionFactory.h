#pragma once

#include "module/services/IConnectionFactory.h"
#include "platform/host/HostSettings.h"

#include <QString>

namespace erphost {

// Gives the module new, closed database connections.
class ConnectionFactory : public scadlav::IConnectionFactory {
public:
    std::unique_ptr<scadlav::db::Connection> createConnection() override;
};

// Opens the connection string once and closes it again: "" when the database answers, else
// the reason, naming the setting, in `language`.
QString checkDatabase(const QString& connectionString, Language language);

} // namespace erphost
