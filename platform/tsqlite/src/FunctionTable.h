#pragma once
// The T-SQL functions this database accepts, one row each: the SQLite function a call becomes,
// how its arguments are rewritten, how the type pass types it, and our implementation when
// SQLite has none. The call rewriting and the typing (Expressions.cpp) and the registration
// on each connection (SqlFunctions.cpp) all read this table; docs/tsqlite.md lists the same
// rows, and the corpus file functions.test holds a case for each.

#include <span>
#include <string_view>

struct sqlite3_context;
struct sqlite3_value;

namespace tsqlite::detail {

// How the arguments of a call are rewritten before SQLite sees them.
enum class Arguments {
    AsWritten,      // unchanged
    TwoExactly,     // unchanged, but there must be two (ISNULL)
    CastAs,         // CAST(value AS type) -> ('type', value)
    TypeFirst,      // CONVERT(type, value[, style]) -> ('type', value[, style])
    DatePartFirst,  // DATEADD(day, ...) -> ('day', ...): the date part keyword becomes a string
    NameAsDatePart, // YEAR(d) -> ('year', d): the function's own name is the date part
    LeadingBlank,   // SPACE(n) -> (' ', n)
    FirstTypeLast,  // POWER(x, y) -> (x, y, 'type of x') when the type of x is known
};

// How the type pass types a call.
enum class Result {
    Fixed,      // the row's `type`
    TargetType, // the type CAST or CONVERT names
    FirstTyped, // the type of the first argument whose type is known (ISNULL, ABS, MAX, ...)
    Unknown,    // not told
};

// What reaches a row.
enum class Reached {
    Call,     // a call NAME(...) in the T-SQL text
    Operator, // an operator SQLite evaluates by calling the function (LIKE)
    Rewriter, // a call the rewriter itself writes; the row has no T-SQL name
};

using NativeFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

// Our implementation of a SQLite function; `fn` is null for a SQLite built-in.
struct Native {
    NativeFunction fn = nullptr; // an aggregate's step when `final` is set
    int minArgs = 0;
    int maxArgs = 0;
    bool deterministic = true;
    void (*final)(sqlite3_context*) = nullptr;
};

struct FunctionRow {
    std::string_view tsql; // lower case; empty for a Rewriter row
    Reached reached = Reached::Call;
    std::string_view sqlite; // lower case
    Arguments arguments = Arguments::AsWritten;
    Result result = Result::Unknown;
    std::string_view type; // for Result::Fixed
    Native native;
};

// The functions the rewriter writes into statements by name.
inline constexpr std::string_view kWriteFunction = "tsql_write"; // (value, 'type'): a column write
inline constexpr std::string_view kAddFunction = "tsql_add";     // "+" of operands of unknown type
inline constexpr std::string_view kObjectIdFunction = "tsql_object_id";
// Exact decimals: (a, b, scale of a, scale of b, precision, scale of the result).
inline constexpr std::string_view kDecimalAddFunction = "tsql_dadd";
inline constexpr std::string_view kDecimalSubtractFunction = "tsql_dsub";
inline constexpr std::string_view kDecimalMultiplyFunction = "tsql_dmul";
inline constexpr std::string_view kDecimalDivideFunction = "tsql_ddiv";
inline constexpr std::string_view kDecimalModuloFunction = "tsql_dmod";
inline constexpr std::string_view kDecimalSumFunction = "tsql_dsum";     // (x, scale of x)
inline constexpr std::string_view kDecimalAverageFunction = "tsql_davg"; // (x, scale of x)
inline constexpr std::string_view kIntegerAverageFunction = "tsql_iavg"; // (x, 0)
inline constexpr std::string_view kDivisorFunction = "tsql_divisor";     // the divisor, unless zero

std::span<const FunctionRow> functionTable();

// The Call row of a T-SQL function name (any case), or null.
const FunctionRow* findCall(std::string_view name);

// The first row whose SQLite function has this name (any case), or null: the type pass reads
// calls after they were renamed.
const FunctionRow* findBySqliteName(std::string_view name);

} // namespace tsqlite::detail
