#pragma once

#include "module/db/IBackend.h"

#include <memory>

namespace scadlav::db {

// A backend that reaches its database through the ODBC driver manager: SQL Server through the
// FreeTDS driver in production, any other ODBC data source as well. The connection string
// goes to the driver unchanged, and so does every statement text.
std::unique_ptr<IBackend> makeOdbcBackend();

// Where the backend reads the catalog (the key columns of a result's base table) while a
// result is being read. Automatic uses the same connection when the driver runs several
// statements at once and a second connection, opened on first need, when it does not (SQL
// Server through FreeTDS); Separate always uses the second connection.
enum class OdbcCatalogConnection { Automatic, Separate };
std::unique_ptr<IBackend> makeOdbcBackend(OdbcCatalogConnection catalogConnection);

} // namespace scadlav::db
