#pragma once
// A failing statement's error as the run-time's error: the number of the last error of the
// connection or record set (application-defined when it has none) and its text.

#include "module/services/RuntimeError.h"

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace scadlav::engine {

RuntimeError connectionError(const db::Connection& connection, const QString& source = QString());
// The same for a record set that failed to open, requery or write.
RuntimeError recordsetError(const db::Recordset& recordset, const QString& source = QString());

} // namespace scadlav::engine
