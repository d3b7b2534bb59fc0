#pragma once

#include <QString>

namespace erphost {

// True when a connection string names the embedded database ("Provider=tsqlite;...");
// anything else goes to SQL Server through ODBC.
bool isEmbeddedConnection(const QString& connectionString);

// The database a connection string names, for messages: the file of an embedded database,
// the server and database (or the data source) of an ODBC string; never the password.
QString describeDatabase(const QString& connectionString);

// The file of an embedded database's connection string ("Data Source"), empty when none.
QString embeddedDatabaseFile(const QString& connectionString);

} // namespace erphost
