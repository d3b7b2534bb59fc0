#include "FunctionTable.h"
#include "LocaleFree.h"

#include "DecimalFunctions.h"
#include "SqlFunctions.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tsqlite::detail {
namespace {

using enum Arguments;
using enum Result;
using enum Reached;

constexpr std::string_view kText = "varchar(8000)";

constexpr Native ours(NativeFunction fn, int minArgs, int maxArgs, bool deterministic = true) {
    return Native{fn, minArgs, maxArgs, deterministic};
}

constexpr Native aggregate(NativeFunction step, void (*final)(sqlite3_context*), int args) {
    return Native{step, args, args, true, final};
}

constexpr Native kBuiltIn{};

// T-SQL name, how it is reached, SQLite function, argument rewrite, result, type, implementation.
const std::array kRows = {
    // Conversions: the target type travels as a string, parsed once per spelling.
    FunctionRow{"cast", Call, "tsql_convert", CastAs, TargetType, {}, ours(native::convert, 2, 2)},
    FunctionRow{"convert", Call, "tsql_convert", TypeFirst, TargetType, {}, ours(native::convert, 2, 3)},
    FunctionRow{"isnull", Call, "ifnull", TwoExactly, FirstTyped, {}, kBuiltIn},
    FunctionRow{"coalesce", Call, "coalesce", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"nullif", Call, "nullif", AsWritten, FirstTyped, {}, kBuiltIn},

    // Text: lengths and positions count characters (DATALENGTH too); LEN ignores trailing blanks.
    FunctionRow{"len", Call, "tsql_len", AsWritten, Fixed, "int", ours(native::len, 1, 1)},
    FunctionRow{"datalength", Call, "length", AsWritten, Fixed, "int", kBuiltIn},
    FunctionRow{"replicate", Call, "tsql_replicate", AsWritten, Fixed, kText, ours(native::replicate, 2, 2)},
    FunctionRow{"space", Call, "tsql_replicate", LeadingBlank, Fixed, kText, ours(native::replicate, 2, 2)},
    FunctionRow{"left", Call, "tsql_left", AsWritten, Fixed, kText, ours(native::left, 2, 2)},
    FunctionRow{"right", Call, "tsql_right", AsWritten, Fixed, kText, ours(native::right, 2, 2)},
    FunctionRow{"substring", Call, "tsql_substring", AsWritten, Fixed, kText, ours(native::substring, 3, 3)},
    FunctionRow{"charindex", Call, "tsql_charindex", AsWritten, Fixed, "int", ours(native::charIndex, 2, 3)},
    FunctionRow{"ltrim", Call, "ltrim", AsWritten, Fixed, kText, kBuiltIn},
    FunctionRow{"rtrim", Call, "rtrim", AsWritten, Fixed, kText, kBuiltIn},
    FunctionRow{"upper", Call, "tsql_upper", AsWritten, Fixed, kText, ours(native::upper, 1, 1)},
    FunctionRow{"lower", Call, "tsql_lower", AsWritten, Fixed, kText, ours(native::lower, 1, 1)},
    FunctionRow{"replace", Call, "tsql_replace", AsWritten, Fixed, kText, ours(native::replace, 3, 3)},
    FunctionRow{"char", Call, "char", AsWritten, Fixed, kText, kBuiltIn},
    FunctionRow{"nchar", Call, "char", AsWritten, Fixed, kText, kBuiltIn},
    FunctionRow{"like", Operator, "like", AsWritten, Unknown, {}, ours(native::like, 2, 3)},

    // Dates: stored and returned as text "YYYY-MM-DD HH:MM:SS.mmm".
    // Deterministic for SQLite: read once per statement run, as SQL Server reads GETDATE() once per
    // query, so that every row of one result compares with the same moment.
    FunctionRow{"getdate", Call, "tsql_getdate", AsWritten, Fixed, "datetime", ours(native::getDate, 0, 0)},
    FunctionRow{"current_timestamp", Call, "tsql_getdate", AsWritten, Fixed, "datetime",
                ours(native::getDate, 0, 0)},
    FunctionRow{"sysdatetime", Call, "tsql_getdate", AsWritten, Fixed, "datetime",
                ours(native::getDate, 0, 0)},
    FunctionRow{"dateadd", Call, "tsql_dateadd", DatePartFirst, Fixed, "datetime",
                ours(native::dateAdd, 3, 3)},
    FunctionRow{"datediff", Call, "tsql_datediff", DatePartFirst, Fixed, "int", ours(native::dateDiff, 3, 3)},
    FunctionRow{"datepart", Call, "tsql_datepart", DatePartFirst, Fixed, "int", ours(native::datePart, 2, 2)},
    FunctionRow{"year", Call, "tsql_datepart", NameAsDatePart, Fixed, "int", ours(native::datePart, 2, 2)},
    FunctionRow{"month", Call, "tsql_datepart", NameAsDatePart, Fixed, "int", ours(native::datePart, 2, 2)},
    FunctionRow{"day", Call, "tsql_datepart", NameAsDatePart, Fixed, "int", ours(native::datePart, 2, 2)},

    // Numbers and aggregates.
    FunctionRow{"abs", Call, "abs", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"round", Call, "tsql_round", AsWritten, FirstTyped, {}, ours(native::round, 2, 3)},
    FunctionRow{"floor", Call, "floor", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"ceiling", Call, "ceiling", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"power", Call, "tsql_power", FirstTypeLast, FirstTyped, {}, ours(native::power, 2, 3)},
    FunctionRow{"max", Call, "max", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"min", Call, "min", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"sum", Call, "sum", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"avg", Call, "avg", AsWritten, FirstTyped, {}, kBuiltIn},
    FunctionRow{"count", Call, "count", AsWritten, Fixed, "int", kBuiltIn},

    // Objects: the id of a table is its root page (negative for this connection's #tables).
    FunctionRow{"object_id", Call, kObjectIdFunction, AsWritten, Fixed, "int",
                ours(native::objectId, 1, 1, false)},

    // Written by the rewriter: the conversion of every write into a typed column, and "+"
    // between operands whose types are only known from the values.
    FunctionRow{{}, Rewriter, kWriteFunction, AsWritten, Unknown, {}, ours(native::write, 2, 2)},
    FunctionRow{{}, Rewriter, kAddFunction, AsWritten, Unknown, {}, ours(native::add, 2, 2)},

    // Written by the type pass: decimal arithmetic done exactly, SUM and AVG of decimals, and
    // the zero check of the other divisors.
    FunctionRow{{}, Rewriter, kDecimalAddFunction, AsWritten, Unknown, {}, ours(native::decimalAdd, 6, 6)},
    FunctionRow{
        {}, Rewriter, kDecimalSubtractFunction, AsWritten, Unknown, {}, ours(native::decimalSubtract, 6, 6)},
    FunctionRow{
        {}, Rewriter, kDecimalMultiplyFunction, AsWritten, Unknown, {}, ours(native::decimalMultiply, 6, 6)},
    FunctionRow{
        {}, Rewriter, kDecimalDivideFunction, AsWritten, Unknown, {}, ours(native::decimalDivide, 6, 6)},
    FunctionRow{
        {}, Rewriter, kDecimalModuloFunction, AsWritten, Unknown, {}, ours(native::decimalModulo, 6, 6)},
    FunctionRow{{},
                Rewriter,
                kDecimalSumFunction,
                AsWritten,
                Unknown,
                {},
                aggregate(native::decimalSumStep, native::decimalSumFinal, 2)},
    FunctionRow{{},
                Rewriter,
                kDecimalAverageFunction,
                AsWritten,
                Unknown,
                {},
                aggregate(native::decimalSumStep, native::decimalAverageFinal, 2)},
    FunctionRow{{},
                Rewriter,
                kIntegerAverageFunction,
                AsWritten,
                Unknown,
                {},
                aggregate(native::decimalSumStep, native::integerAverageFinal, 2)},
    FunctionRow{{}, Rewriter, kDivisorFunction, AsWritten, Unknown, {}, ours(native::divisor, 1, 1)},
};

bool sameWord(std::string_view a, std::string_view b) {
    return equalsIgnoringCase(a, b);
}

} // namespace

std::span<const FunctionRow> functionTable() {
    return kRows;
}

const FunctionRow* findCall(std::string_view name) {
    for (const FunctionRow& row : kRows) {
        if (row.reached == Reached::Call && sameWord(row.tsql, name))
            return &row;
    }
    return nullptr;
}

const FunctionRow* findBySqliteName(std::string_view name) {
    for (const FunctionRow& row : kRows) {
        if (sameWord(row.sqlite, name))
            return &row;
    }
    return nullptr;
}

} // namespace tsqlite::detail
