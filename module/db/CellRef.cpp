#include "module/db/CellRef.h"

#include "module/value/Decimal.h"

#include <QString>
#include <cmath>

namespace scadlav::db {
namespace {

// Wide enough to bring two 64-bit decimals to one scale without overflow.
__extension__ typedef __int128 Wide;

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// The text without its accents: "Àncora" -> "Ancora".
QString baseLetters(const QString& text) {
    QString out;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out;
}

int family(CellKind k) {
    switch (k) {
    case CellKind::Null:
        return 0;
    case CellKind::Int:
    case CellKind::Double:
    case CellKind::Decimal:
    case CellKind::Bool:
        return 1;
    case CellKind::DateTime:
        return 2;
    case CellKind::Text:
        return 3;
    case CellKind::Binary:
        return 4;
    }
    return 5;
}

// Exact numbers as units of 10^-scale; integers and booleans have scale 0.
bool exactUnits(const CellRef& c, std::int64_t& units, int& scale) {
    switch (c.kind) {
    case CellKind::Int:
    case CellKind::Bool:
        units = c.i;
        scale = 0;
        return true;
    case CellKind::Decimal:
        units = c.i;
        scale = c.scale;
        return true;
    default:
        return false;
    }
}

double asDouble(const CellRef& c) {
    if (c.kind == CellKind::Double)
        return c.d;
    if (c.kind == CellKind::Decimal)
        return static_cast<double>(c.i) / static_cast<double>(PowersOfTen[c.scale > 18 ? 18 : c.scale]);
    return static_cast<double>(c.i);
}

int compareNumbers(const CellRef& a, const CellRef& b) {
    std::int64_t ua = 0, ub = 0;
    int sa = 0, sb = 0;
    if (exactUnits(a, ua, sa) && exactUnits(b, ub, sb) && sa <= 18 && sb <= 18) {
        Wide x = ua, y = ub;
        if (sa < sb)
            x *= PowersOfTen[sb - sa];
        else if (sb < sa)
            y *= PowersOfTen[sa - sb];
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    double x = asDouble(a), y = asDouble(b);
    if (std::isnan(x) || std::isnan(y)) // NaN first, so that the order stays total
        return std::isnan(x) && std::isnan(y) ? 0 : (std::isnan(x) ? -1 : 1);
    return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace

int compareText(std::string_view a, std::string_view b) {
    a = trimRight(a);
    b = trimRight(b);
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t k = 0; k < n; ++k) {
        unsigned char x = static_cast<unsigned char>(a[k]);
        unsigned char y = static_cast<unsigned char>(b[k]);
        if (x >= 0x80 || y >= 0x80) {
            // Beyond ASCII: letters order by their base letter first (à next to a), then by
            // accent; case is folded for accented letters too (à equals À).
            const QString qa = QString::fromUtf8(a.data() + k, static_cast<qsizetype>(a.size() - k));
            const QString qb = QString::fromUtf8(b.data() + k, static_cast<qsizetype>(b.size() - k));
            int r = QString::compare(baseLetters(qa), baseLetters(qb), Qt::CaseInsensitive);
            if (r == 0)
                r = QString::compare(qa, qb, Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool comparable(const CellRef& a, const CellRef& b) {
    int fa = family(a.kind);
    return fa != 0 && fa == family(b.kind);
}

int compareCells(const CellRef& a, const CellRef& b) {
    int fa = family(a.kind), fb = family(b.kind);
    if (fa != fb)
        return fa < fb ? -1 : 1;
    switch (fa) {
    case 0:
        return 0;
    case 1:
        return compareNumbers(a, b);
    case 2:
        return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    case 3:
        return compareText(a.text, b.text);
    default: {
        int r = a.text.compare(b.text);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
    }
}

} // namespace scadlav::db
