#pragma once

#include "module/db/IBackend.h"

#include <memory>

namespace scadlav::db {

// A backend that reaches its database through the ODBC driver manager: SQL Server through the
// FreeTDS driver in production, any other ODBC data source as well. The connection string
// goes to the driver unchanged, and so does every statement text.
std::unique_ptr<IBackend> makeOdbcBackend();

} // namespace scadlav::db
