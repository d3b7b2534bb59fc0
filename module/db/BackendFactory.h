#pragma once

#include "module/db/IBackend.h"

#include <QString>
#include <memory>

namespace scadlav::db {

// The value of `key` in a "Key=Value;Key=Value" connection string (keys without case,
// values trimmed; a value in braces may hold ';'). Empty when the key is absent.
QString connectionStringValue(const QString& connectionString, const QString& key);

// The backend a connection string names: "Provider=tsqlite" the embedded database, anything
// else ODBC.
std::unique_ptr<IBackend> makeBackend(const QString& connectionString);

} // namespace scadlav::db
