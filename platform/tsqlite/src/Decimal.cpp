#include "Decimal.h"
#include "LocaleFree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tsqlite::detail {
namespace {

using Int = DecimalUnits;

constexpr std::array<Int, 39> makePowers() {
    std::array<Int, 39> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr auto kPow10 = makePowers();

constexpr std::array<double, 23> kPow10Double = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr double kExactDoubleLimit = 9007199254740992.0; // 2^53

Int magnitude(Int v) {
    return v < 0 ? -v : v;
}

// n / d rounded half away from zero (d != 0).
Int divideRounded(Int n, Int d) {
    Int q = n / d;
    const Int r = magnitude(n % d);
    if (r >= magnitude(d) - r)
        q += ((n < 0) != (d < 0)) ? -1 : 1;
    return q;
}

bool scaleUp(Int& units, int places) {
    if (places > kMaxDecimalPrecision)
        return units == 0;
    return !__builtin_mul_overflow(units, kPow10[static_cast<std::size_t>(places)], &units);
}

} // namespace

DecimalType resultType(DecimalOp op, DecimalType a, DecimalType b) {
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    int p = 0, s = 0;
    switch (op) {
    case DecimalOp::Add:
    case DecimalOp::Subtract: {
        const int integral = std::max(p1 - s1, p2 - s2);
        s = std::max(s1, s2);
        p = s + integral + 1;
        if (p > kMaxDecimalPrecision) {
            // The integral part is kept whole; the scale gives way.
            s = std::max(0, std::min(s, kMaxDecimalPrecision - integral));
            p = kMaxDecimalPrecision;
        }
        return {p, s};
    }
    case DecimalOp::Multiply:
        p = p1 + p2 + 1;
        s = s1 + s2;
        break;
    case DecimalOp::Divide:
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
        break;
    case DecimalOp::Modulo:
        s = std::max(s1, s2);
        p = std::min(p1 - s1, p2 - s2) + s;
        return {std::max(p, 1), s};
    }
    if (p > kMaxDecimalPrecision) {
        const int integral = p - s;
        if (integral < 32)
            s = std::min(s, kMaxDecimalPrecision - integral);
        else if (s > 6)
            s = 6;
        p = kMaxDecimalPrecision;
    }
    return {p, s};
}

std::optional<Decimal> decimalFromInteger(long long value) {
    return Decimal{value, 0};
}

std::optional<Decimal> decimalFromDouble(double value, int scaleHint) {
    if (!std::isfinite(value))
        return std::nullopt;
    if (scaleHint >= 0 && scaleHint < static_cast<int>(kPow10Double.size())) {
        // Both the whole count of units and the power of ten are exact doubles, so the
        // division is the double nearest to that decimal: equal means the value stands for it.
        const double factor = kPow10Double[static_cast<std::size_t>(scaleHint)];
        const double scaled = value * factor;
        if (std::fabs(scaled) < kExactDoubleLimit) {
            const double whole = std::nearbyint(scaled);
            if (whole / factor == value)
                return Decimal{static_cast<long long>(whole), scaleHint};
        }
    }
    std::string text;
    for (int digits = 15; digits <= 17; ++digits) {
        text = formatDouble(value, digits);
        if (digits == 17 || parseDouble(text.c_str(), nullptr) == value)
            break;
    }
    return parseDecimal(text);
}

std::optional<Decimal> parseDecimal(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    Int units = 0;
    int scale = 0;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        digits = true;
        if (__builtin_mul_overflow(units, 10, &units) || __builtin_add_overflow(units, c - '0', &units))
            return std::nullopt;
        if (point)
            ++scale;
    }
    if (!digits)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        char* end = nullptr;
        const std::string exponentText(text.substr(i + 1));
        const long exponent = std::strtol(exponentText.c_str(), &end, 10);
        if (exponentText.empty() || *end != '\0' || exponent > 100 || exponent < -100)
            return std::nullopt;
        scale -= static_cast<int>(exponent);
        i = text.size();
    }
    if (i != text.size())
        return std::nullopt;
    Decimal d{negative ? -units : units, scale};
    if (d.scale < 0) {
        if (!scaleUp(d.units, -d.scale))
            return std::nullopt;
        d.scale = 0;
    }
    if (d.scale > kMaxDecimalPrecision && !rescale(d, kMaxDecimalPrecision))
        return std::nullopt;
    return d;
}

bool rescale(Decimal& d, int scale) {
    if (scale == d.scale)
        return true;
    if (scale > d.scale) {
        if (!scaleUp(d.units, scale - d.scale))
            return false;
    } else {
        const int places = d.scale - scale;
        d.units = places > kMaxDecimalPrecision
                      ? 0
                      : divideRounded(d.units, kPow10[static_cast<std::size_t>(places)]);
    }
    d.scale = scale;
    return true;
}

bool fitsPrecision(const Decimal& d, int precision) {
    return precision >= kMaxDecimalPrecision ||
           magnitude(d.units) < kPow10[static_cast<std::size_t>(precision)];
}

DecimalError compute(DecimalOp op, const Decimal& a, const Decimal& b, DecimalType type, Decimal& out) {
    Decimal x = a, y = b;
    switch (op) {
    case DecimalOp::Add:
    case DecimalOp::Subtract:
    case DecimalOp::Modulo: {
        const int common = std::max(x.scale, y.scale);
        if (!rescale(x, common) || !rescale(y, common))
            return DecimalError::Overflow;
        out.scale = common;
        if (op == DecimalOp::Modulo) {
            if (y.units == 0)
                return DecimalError::DivideByZero;
            out.units = x.units % y.units; // the sign of the dividend, as SQL Server's
        } else if (op == DecimalOp::Add ? __builtin_add_overflow(x.units, y.units, &out.units)
                                        : __builtin_sub_overflow(x.units, y.units, &out.units)) {
            return DecimalError::Overflow;
        }
        break;
    }
    case DecimalOp::Multiply:
        if (__builtin_mul_overflow(x.units, y.units, &out.units))
            return DecimalError::Overflow;
        out.scale = x.scale + y.scale;
        break;
    case DecimalOp::Divide: {
        if (y.units == 0)
            return DecimalError::DivideByZero;
        // x / y with type.scale places: x * 10^k / y, where k lines the scales up.
        const int k = type.scale - x.scale + y.scale;
        if (k >= 0) {
            if (!scaleUp(x.units, k))
                return DecimalError::Overflow;
        } else if (!scaleUp(y.units, -k)) {
            out = Decimal{0, type.scale};
            return DecimalError::None;
        }
        out.units = divideRounded(x.units, y.units);
        out.scale = type.scale;
        break;
    }
    }
    if (!rescale(out, type.scale) || !fitsPrecision(out, type.precision))
        return DecimalError::Overflow;
    return DecimalError::None;
}

DecimalError roundTo(const Decimal& d, int places, bool truncate, Decimal& out) {
    out = d;
    const int drop = d.scale - places;
    if (drop <= 0)
        return DecimalError::None;
    if (drop > kMaxDecimalPrecision) {
        out.units = 0;
        return DecimalError::None;
    }
    const Int factor = kPow10[static_cast<std::size_t>(drop)];
    const Int kept = truncate ? d.units / factor : divideRounded(d.units, factor);
    if (__builtin_mul_overflow(kept, factor, &out.units))
        return DecimalError::Overflow;
    return DecimalError::None;
}

std::string decimalText(const Decimal& d) {
    Int v = magnitude(d.units);
    std::string digits;
    do {
        digits += static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    while (static_cast<int>(digits.size()) <= d.scale)
        digits += '0';
    std::reverse(digits.begin(), digits.end());
    if (d.scale > 0)
        digits.insert(digits.size() - static_cast<std::size_t>(d.scale), 1, '.');
    return d.units < 0 ? "-" + digits : digits;
}

double toDouble(const Decimal& d) {
    if (magnitude(d.units) < static_cast<Int>(kExactDoubleLimit) && d.scale >= 0 &&
        d.scale < static_cast<int>(kPow10Double.size()))
        return static_cast<double>(d.units) / kPow10Double[static_cast<std::size_t>(d.scale)];
    return parseDouble(decimalText(d).c_str(), nullptr);
}

double powerOfTen(int n) {
    if (n >= 0 && n < static_cast<int>(kPow10Double.size()))
        return kPow10Double[static_cast<std::size_t>(n)];
    return std::pow(10.0, n);
}

std::optional<long long> wholeValue(const Decimal& d) {
    if (d.scale < 0 || d.scale > kMaxDecimalPrecision)
        return std::nullopt;
    const Int factor = kPow10[static_cast<std::size_t>(d.scale)];
    if (d.units % factor != 0)
        return std::nullopt;
    const Int whole = d.units / factor;
    if (whole > static_cast<Int>(INT64_MAX) || whole < static_cast<Int>(INT64_MIN))
        return std::nullopt;
    return static_cast<long long>(whole);
}

} // namespace tsqlite::detail
