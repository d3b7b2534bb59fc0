#pragma once

#include <QString>
#include <array>
#include <compare>
#include <cstdint>
#include <optional>

namespace scadlav {

// 10^0 .. 10^18: every power of ten an int64 holds, indexed by the exponent.
inline constexpr std::array<std::int64_t, 19> PowersOfTen = [] {
    std::array<std::int64_t, 19> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}();

// An exact decimal number: an integer count of units of 10^-scale. Quantities of the ERP are
// decimal(14,3) on the server; keeping them exact on the client means that a quantity read,
// compared and written back never drifts the way a double would.
class Decimal {
public:
    static constexpr int MaxScale = 18;

    Decimal() = default;
    Decimal(std::int64_t units, int scale);
    static Decimal fromInt(std::int64_t value) { return Decimal(value, 0); }
    // Rounds half away from zero to the given scale, as SQL Server does when it stores a value.
    static std::optional<Decimal> fromDouble(double value, int scale);
    // Plain decimal notation with '.' as separator, optional sign; no exponent, no grouping.
    static std::optional<Decimal> fromString(QStringView text);

    std::int64_t units() const { return m_units; }
    int scale() const { return m_scale; }

    Decimal rounded(int scale) const;
    double toDouble() const;
    // Plain decimal notation, trailing zeros of the fraction removed ("12.5", "3", "-0.001").
    QString toString() const;
    bool isZero() const { return m_units == 0; }

    Decimal operator-() const { return Decimal(-m_units, m_scale); }
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    std::int64_t m_units = 0;
    int m_scale = 0;
};

} // namespace scadlav
