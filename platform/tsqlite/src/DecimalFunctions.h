#pragma once
// The SQL functions of exact decimal arithmetic, named by the function table: the operators
// the type pass writes, SUM and AVG of decimals, ROUND, and the zero check of divisors.

struct sqlite3_context;
struct sqlite3_value;

namespace tsqlite::detail::native {

// (a, b, scale of a, scale of b, precision of the result, scale of the result)
void decimalAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void decimalSubtract(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void decimalMultiply(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void decimalDivide(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void decimalModulo(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// Aggregates of (x, scale of x): one step, two ways to finish.
void decimalSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void decimalSumFinal(sqlite3_context* ctx);
void decimalAverageFinal(sqlite3_context* ctx);
void integerAverageFinal(sqlite3_context* ctx);

void round(sqlite3_context* ctx, int argc, sqlite3_value** argv); // (x, places[, truncate])
void divisor(sqlite3_context* ctx, int argc, sqlite3_value** argv);

} // namespace tsqlite::detail::native
