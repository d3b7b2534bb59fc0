#pragma once
// Turns SQLite's result codes and messages into the provider errors clients expect: short
// texts as SQL Server words them, with SQL Server's number and state where it has one.

#include <tsqlite/tsqlite.h>

#include <string>
#include <string_view>

namespace tsqlite::detail {

Error makeError(std::int64_t number, std::string description, std::string sqlState);

// SQL Server's error 191, for a statement nested deeper than this database follows.
inline constexpr std::string_view kNestedTooDeeply =
    "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller "
    "queries.";

// An error with one of SQL Server's texts (the functions raise theirs through SQLite): its
// number, state and provider code, or nothing when the text is not one of SQL Server's.
bool classifySqlServerText(std::string_view text, Error& error);

// A statement refused before it reaches SQLite: SQL Server's error when the text is one of its
// own, a syntax error otherwise.
Error statementError(std::string message);

// The error of the last failed call on `db`. The statement goes to Error::statement, never
// into the description.
Error errorFromSqlite(sqlite3* db, int rc, const std::string& statement);

} // namespace tsqlite::detail
