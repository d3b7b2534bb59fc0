#pragma once
// Turns SQLite's result codes and messages into the provider errors clients expect.

#include <tsqlite/tsqlite.h>

#include <string>

namespace tsqlite::detail {

Error makeError(std::int64_t number, std::string description, std::string sqlState);

// The error of the last failed call on `db`, with `context` (the statement) appended.
Error errorFromSqlite(sqlite3* db, int rc, const std::string& context);

} // namespace tsqlite::detail
