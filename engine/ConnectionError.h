#pragma once
// A failing statement's error as the run-time's error: the number of the connection's last
// error (application-defined when it has none) and its text.

#include "module/services/RuntimeError.h"

namespace scadlav::db {
class Connection;
} // namespace scadlav::db

namespace scadlav::engine {

RuntimeError connectionError(const db::Connection& connection, const QString& source = QString());

} // namespace scadlav::engine
