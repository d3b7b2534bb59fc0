#pragma once
// Exact decimals as SQL Server computes them: a count of units of 10^-scale in 128 bits, and
// the precision and scale SQL Server gives the result of each operator. SQLite keeps no
// decimal type, so values travel between operations as the nearest double (or an integer
// when whole), and each operation reads them back exactly with the scale their type declares.

#include <optional>
#include <string>
#include <string_view>

namespace tsqlite::detail {

inline constexpr int kMaxDecimalPrecision = 38;

struct DecimalType {
    int precision = 18;
    int scale = 0;
};

enum class DecimalOp { Add, Subtract, Multiply, Divide, Modulo };

// The type of `a op b` by SQL Server's rules, precision capped at 38 with the scale reduced as
// SQL Server reduces it.
DecimalType resultType(DecimalOp op, DecimalType a, DecimalType b);

// -Wpedantic knows no 128-bit integers; GCC and Clang both have them.
__extension__ typedef __int128 DecimalUnits;

struct Decimal {
    DecimalUnits units = 0;
    int scale = 0;
};

// A double read as the decimal it stands for: the value with `scaleHint` places when the double
// is the nearest one to such a value (the common case: it was written with that scale),
// otherwise its shortest decimal form.
std::optional<Decimal> decimalFromDouble(double value, int scaleHint);
std::optional<Decimal> decimalFromInteger(long long value);
// Text such as "-12.50" or "1e3"; nothing when it is not a number or has more than 38 digits.
std::optional<Decimal> parseDecimal(std::string_view text);

// The value with `scale` places, rounded half away from zero; false when it no longer fits.
bool rescale(Decimal& d, int scale);
// Whether the value fits `precision` digits at its scale.
bool fitsPrecision(const Decimal& d, int precision);

enum class DecimalError { None, Overflow, DivideByZero };

// `a op b` with the result rounded to `type.scale`; Overflow when it does not fit `type`.
DecimalError compute(DecimalOp op, const Decimal& a, const Decimal& b, DecimalType type, Decimal& out);

// The value rounded to `places` (negative: left of the point), keeping its scale.
DecimalError roundTo(const Decimal& d, int places, bool truncate, Decimal& out);

std::string decimalText(const Decimal& d);
double toDouble(const Decimal& d);
// 10^n as a double; exact up to 10^22. Written values check their range with it, so no pow() a value.
double powerOfTen(int n);
// The whole value when it has no fractional part and fits 64 bits.
std::optional<long long> wholeValue(const Decimal& d);

inline constexpr const char* kDivideByZeroMessage = "Divide by zero error encountered.";
inline constexpr const char* kNumericOverflowMessage =
    "Arithmetic overflow error converting expression to data type numeric.";

} // namespace tsqlite::detail
