#pragma once
// Our implementations of the T-SQL functions SQLite lacks or gets wrong, with SQL Server's
// results. The function table (FunctionTable.cpp) names each one with the SQLite name and
// arity it is registered under.

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace tsqlite::detail {

namespace native {
void convert(sqlite3_context* ctx, int argc, sqlite3_value** argv); // ('type', value[, style])
void write(sqlite3_context* ctx, int argc, sqlite3_value** argv);   // (value, 'type'): a column write
void len(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void upper(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void lower(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void replace(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void replicate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void left(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void right(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void substring(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void charIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void getDate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void add(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void datePart(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void objectId(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void like(sqlite3_context* ctx, int argc, sqlite3_value** argv);  // (pattern, value[, escape])
void power(sqlite3_context* ctx, int argc, sqlite3_value** argv); // (x, y[, 'type of x'])
} // namespace native

// Registers every native function of the function table on a connection; returns the first
// failing SQLite code.
int registerSqlFunctions(sqlite3* db);

} // namespace tsqlite::detail
