#pragma once

#include <QString>

namespace erphost {

// True when a connection string names the embedded database ("Provider=tsqlite;...");
// anything else goes to SQL Server through ODBC.
bool isEmbeddedConnection(const QString& connectionString);

} // namespace erphost
