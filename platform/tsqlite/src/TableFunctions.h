#pragma once
// The registered inline table functions, as SQLite eponymous virtual tables whose hidden
// columns are the arguments: "LEFT JOIN f(a, b) AS t" then works with correlated arguments.

struct sqlite3;

namespace tsqlite::detail {

// Defines every registered table function on a connection; returns a SQLite code.
int registerTableFunctions(sqlite3* db);

} // namespace tsqlite::detail
