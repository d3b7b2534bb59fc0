#include "module/value/Decimal.h"

#include <cmath>
#include <limits>

namespace scadlav {
namespace {

// Brings both numbers to the larger scale; saturates instead of overflowing, which for the
// magnitudes of the ERP (14 digits) never happens in practice.
std::int64_t rescaleUp(std::int64_t units, int from, int to) {
    std::int64_t factor = PowersOfTen[to - from];
    if (units != 0 && std::abs(units) > std::numeric_limits<std::int64_t>::max() / factor)
        return units > 0 ? std::numeric_limits<std::int64_t>::max()
                         : std::numeric_limits<std::int64_t>::min();
    return units * factor;
}

} // namespace

Decimal::Decimal(std::int64_t units, int scale) : m_units(units), m_scale(scale) {
    if (m_scale < 0)
        m_scale = 0;
    if (m_scale > MaxScale)
        *this = rounded(MaxScale);
}

std::optional<Decimal> Decimal::fromDouble(double value, int scale) {
    if (!std::isfinite(value) || scale < 0 || scale > MaxScale)
        return std::nullopt;
    long double scaled = static_cast<long double>(value) * static_cast<long double>(PowersOfTen[scale]);
    if (std::fabs(scaled) >= 9.2e18L)
        return std::nullopt;
    // Round half away from zero, after removing binary noise such as 2.675 -> 2.67499999.
    long double r = std::round(scaled * 1e6L) / 1e6L;
    return Decimal(static_cast<std::int64_t>(std::llround(r)), scale);
}

std::optional<Decimal> Decimal::fromString(QStringView text) {
    QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    qsizetype i = 0;
    if (t[0] == u'-' || t[0] == u'+') {
        negative = t[0] == u'-';
        ++i;
    }
    std::int64_t units = 0;
    int scale = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    bool roundUp = false;
    bool extraSeen = false;
    for (; i < t.size(); ++i) {
        QChar c = t[i];
        if (c == u'.') {
            if (seenPoint)
                return std::nullopt;
            seenPoint = true;
            continue;
        }
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
        seenDigit = true;
        int d = c.unicode() - '0';
        if (seenPoint && scale == MaxScale) {
            // Digits past the largest scale only decide the rounding of the last kept one.
            if (!extraSeen)
                roundUp = d >= 5;
            extraSeen = true;
            continue;
        }
        if (units > (std::numeric_limits<std::int64_t>::max() - d) / 10)
            return std::nullopt;
        units = units * 10 + d;
        if (seenPoint)
            ++scale;
    }
    if (!seenDigit)
        return std::nullopt;
    if (roundUp)
        ++units;
    return Decimal(negative ? -units : units, scale);
}

Decimal Decimal::rounded(int scale) const {
    if (scale < 0)
        scale = 0;
    if (scale >= m_scale)
        return Decimal(rescaleUp(m_units, m_scale, scale), scale);
    std::int64_t factor = PowersOfTen[m_scale - scale];
    std::int64_t q = m_units / factor;
    std::int64_t r = m_units % factor;
    if (std::abs(r) * 2 >= factor)
        q += m_units < 0 ? -1 : 1;
    Decimal d;
    d.m_units = q;
    d.m_scale = scale;
    return d;
}

double Decimal::toDouble() const {
    return static_cast<double>(static_cast<long double>(m_units) /
                               static_cast<long double>(PowersOfTen[m_scale]));
}

QString Decimal::toString() const {
    std::int64_t factor = PowersOfTen[m_scale];
    std::uint64_t magnitude =
        m_units < 0 ? 0 - static_cast<std::uint64_t>(m_units) : static_cast<std::uint64_t>(m_units);
    std::uint64_t whole = magnitude / static_cast<std::uint64_t>(factor);
    std::uint64_t frac = magnitude % static_cast<std::uint64_t>(factor);
    QString s = m_units < 0 ? QStringLiteral("-") : QString();
    s += QString::number(whole);
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(m_scale, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        s += u'.' + f;
    }
    return s;
}

Decimal operator+(const Decimal& a, const Decimal& b) {
    int s = std::max(a.m_scale, b.m_scale);
    return Decimal(rescaleUp(a.m_units, a.m_scale, s) + rescaleUp(b.m_units, b.m_scale, s), s);
}

Decimal operator-(const Decimal& a, const Decimal& b) {
    return a + (-b);
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    int s = std::max(a.m_scale, b.m_scale);
    return rescaleUp(a.m_units, a.m_scale, s) <=> rescaleUp(b.m_units, b.m_scale, s);
}

} // namespace scadlav
