#include "DecimalFunctions.h"
#include "LocaleFree.h"

#include "Decimal.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace tsqlite::detail::native {
namespace {

enum class Read { Null, Ok, NotANumber };

// A value as the decimal it holds; `scaleHint` is the scale its type declares.
Read readDecimal(sqlite3_value* v, int scaleHint, Decimal& out) {
    std::optional<Decimal> d;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return Read::Null;
    case SQLITE_INTEGER:
        out = Decimal{sqlite3_value_int64(v), 0};
        return Read::Ok;
    case SQLITE_FLOAT:
        d = decimalFromDouble(sqlite3_value_double(v), scaleHint);
        break;
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        if (text)
            d = parseDecimal(std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(v))));
        break;
    }
    }
    if (!d)
        return Read::NotANumber;
    out = *d;
    return Read::Ok;
}

void notANumber(sqlite3_context* ctx) {
    sqlite3_result_error(ctx, "Error converting data type varchar to numeric.", -1);
}

void failWith(sqlite3_context* ctx, DecimalError error) {
    sqlite3_result_error(
        ctx, error == DecimalError::DivideByZero ? kDivideByZeroMessage : kNumericOverflowMessage, -1);
}

// Decimal columns hold whole values as integers and the others as the nearest double; results
// are given back the same way, so that they compare with the columns as stored values do.
void resultDecimal(sqlite3_context* ctx, const Decimal& d) {
    if (const auto whole = wholeValue(d))
        sqlite3_result_int64(ctx, *whole);
    else
        sqlite3_result_double(ctx, toDouble(d));
}

void binary(DecimalOp op, sqlite3_context* ctx, sqlite3_value** argv) {
    Decimal a, b;
    const Read ra = readDecimal(argv[0], sqlite3_value_int(argv[2]), a);
    const Read rb = readDecimal(argv[1], sqlite3_value_int(argv[3]), b);
    if (ra == Read::NotANumber || rb == Read::NotANumber)
        return notANumber(ctx);
    if (ra == Read::Null || rb == Read::Null)
        return sqlite3_result_null(ctx);
    Decimal out;
    const DecimalType type{sqlite3_value_int(argv[4]), sqlite3_value_int(argv[5])};
    if (const DecimalError error = compute(op, a, b, type, out); error != DecimalError::None)
        return failWith(ctx, error);
    resultDecimal(ctx, out);
}

// SQLite aligns aggregate contexts to 8 bytes only: the 128-bit total is kept as bytes.
struct Sum {
    unsigned char units[sizeof(DecimalUnits)];
    int scale;
    int declaredScale;
    long long count;

    Decimal total() const {
        Decimal d{0, scale};
        std::memcpy(&d.units, units, sizeof units);
        return d;
    }
    void setTotal(const Decimal& d) {
        std::memcpy(units, &d.units, sizeof units);
        scale = d.scale;
    }
};

} // namespace

void decimalAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    binary(DecimalOp::Add, ctx, argv);
}

void decimalSubtract(sqlite3_context* ctx, int, sqlite3_value** argv) {
    binary(DecimalOp::Subtract, ctx, argv);
}

void decimalMultiply(sqlite3_context* ctx, int, sqlite3_value** argv) {
    binary(DecimalOp::Multiply, ctx, argv);
}

void decimalDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    binary(DecimalOp::Divide, ctx, argv);
}

void decimalModulo(sqlite3_context* ctx, int, sqlite3_value** argv) {
    binary(DecimalOp::Modulo, ctx, argv);
}

void decimalSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* sum = static_cast<Sum*>(sqlite3_aggregate_context(ctx, sizeof(Sum)));
    if (!sum)
        return sqlite3_result_error_nomem(ctx);
    const int declared = sqlite3_value_int(argv[1]);
    Decimal value;
    switch (readDecimal(argv[0], declared, value)) {
    case Read::Null:
        return;
    case Read::NotANumber:
        return notANumber(ctx);
    case Read::Ok:
        break;
    }
    Decimal total = sum->total();
    const int scale = std::max(total.scale, value.scale);
    if (!rescale(total, scale) || !rescale(value, scale) ||
        __builtin_add_overflow(total.units, value.units, &total.units))
        return failWith(ctx, DecimalError::Overflow);
    sum->setTotal(total);
    sum->declaredScale = declared;
    ++sum->count;
}

void decimalSumFinal(sqlite3_context* ctx) {
    const auto* sum = static_cast<Sum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    const Decimal total = sum->total();
    if (!fitsPrecision(total, kMaxDecimalPrecision))
        return failWith(ctx, DecimalError::Overflow);
    resultDecimal(ctx, total);
}

// AVG of decimal(p,s) is decimal(38, max(s,6)): the exact sum divided by the count.
void decimalAverageFinal(sqlite3_context* ctx) {
    const auto* sum = static_cast<Sum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    Decimal average;
    const DecimalType type{kMaxDecimalPrecision, std::max(sum->declaredScale, 6)};
    const DecimalError error =
        compute(DecimalOp::Divide, sum->total(), Decimal{sum->count, 0}, type, average);
    if (error != DecimalError::None)
        return failWith(ctx, error);
    resultDecimal(ctx, average);
}

// AVG of integers is an integer: the sum divided by the count, truncated toward zero.
void integerAverageFinal(sqlite3_context* ctx) {
    const auto* sum = static_cast<Sum*>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || sum->count == 0)
        return sqlite3_result_null(ctx);
    resultDecimal(ctx, Decimal{sum->total().units / sum->count, 0});
}

// ROUND(x, places[, truncate]) on the decimal value: half away from zero, as SQL Server rounds,
// where SQLite's round() rounds the binary value (2.675 would become 2.67).
void round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Decimal value;
    switch (readDecimal(argv[0], -1, value)) {
    case Read::Null:
        return sqlite3_result_null(ctx);
    case Read::NotANumber:
        return notANumber(ctx);
    case Read::Ok:
        break;
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const bool truncate = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
    Decimal rounded;
    if (const DecimalError error = roundTo(value, sqlite3_value_int(argv[1]), truncate, rounded);
        error != DecimalError::None)
        return failWith(ctx, error);
    resultDecimal(ctx, rounded);
}

void divisor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    bool zero = false;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        zero = sqlite3_value_int64(v) == 0;
        break;
    case SQLITE_FLOAT:
        zero = sqlite3_value_double(v) == 0.0;
        break;
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        char* end = nullptr;
        const double number = parseDouble(text, &end);
        zero = end != text && number == 0.0 &&
               std::string_view(end).find_first_not_of(' ') == std::string_view::npos;
        break;
    }
    default:
        break;
    }
    if (zero)
        return sqlite3_result_error(ctx, kDivideByZeroMessage, -1);
    sqlite3_result_value(ctx, v);
}

} // namespace tsqlite::detail::native
