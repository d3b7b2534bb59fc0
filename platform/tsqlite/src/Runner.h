#pragma once
// Steps one prepared SQLite statement and hands its rows to a result sink.

#include "Lexer.h"

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <string>
#include <vector>

namespace tsqlite::detail {

// Column metadata of a prepared statement: declared types in T-SQL spelling, base table and
// column, primary-key membership.
std::vector<Column> describeColumns(sqlite3* db, sqlite3_stmt* stmt);

// Lower-cases a declared type and drops its blanks ("DECIMAL (14, 3)" -> "decimal(14,3)").
std::string normaliseType(std::string_view declared);

// Reads the current row of a stepped statement into `cells` (one per result column); text
// views stay valid until the next step.
void readRow(sqlite3_stmt* stmt, std::vector<Cell>& cells);

// Binds a statement literal lifted out as parameter `index`: integers as integers, other
// numbers as reals, dates (`asDate`) in the canonical text form, the rest as text.
void bindLiteral(sqlite3_stmt* stmt, int index, const Token& literal, bool asDate);

// Steps `stmt` to its end. Rows go to `sink` unless it is null or `noRecords` is set.
// `changes` receives the rows changed when the statement writes. Returns the final code.
int runPrepared(sqlite3* db, sqlite3_stmt* stmt, ResultSink* sink, bool noRecords, std::int64_t* changes,
                const std::vector<Column>* knownColumns = nullptr);

} // namespace tsqlite::detail
