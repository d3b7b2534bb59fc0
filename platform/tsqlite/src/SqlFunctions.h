#pragma once
// The T-SQL functions and write conversions the rewritten statements call, as SQLite
// functions named tsql_*.

struct sqlite3;

namespace tsqlite::detail {

// Registers every tsql_* function on a connection; returns the first failing SQLite code.
int registerSqlFunctions(sqlite3* db);

} // namespace tsqlite::detail
