#include "module/db/RowOrder.h"

#include "module/db/RowStore.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace scadlav::db {
namespace {

// The first sort field of one row, reduced: the family orders Nulls, numbers, dates, text and
// binary as compareCells() does; within a family, when both keys are `decisive`, different
// keys order the rows exactly as the full comparison would. Equal or non-decisive keys defer
// to the full comparison, so the ordering stays consistent.
struct Item {
    std::uint64_t key0 = 0;
    std::uint32_t textOffset = 0; // text: the folded text in the sort's own buffer
    std::uint32_t textLength = 0;
    std::uint32_t row = 0;
    std::uint8_t family = 0;
    bool decisive = false;
    bool exact = false; // equal keys mean equal values too
};

constexpr std::int64_t kExact = 1LL << 53;

std::uint64_t orderedDouble(double d) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(d == 0 ? 0.0 : d); // -0 equals 0
    return (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
}

double numberOf(const CellRef& c) {
    if (c.kind == CellKind::Double)
        return c.d;
    if (c.kind == CellKind::Decimal) {
        double scale = 1;
        for (int k = 0; k < c.scale; ++k)
            scale *= 10;
        return static_cast<double>(c.i) / scale;
    }
    return static_cast<double>(c.i);
}

Item reduce(const CellRef& c, std::uint32_t row, std::string& folded) {
    Item item;
    item.row = row;
    switch (c.kind) {
    case CellKind::Null:
        item.family = 0;
        item.decisive = item.exact = true;
        break;
    case CellKind::Int:
    case CellKind::Bool:
    case CellKind::Double:
    case CellKind::Decimal:
        // Rounding to double never reverses an order, it can only make two numbers equal.
        item.family = 1;
        item.key0 = orderedDouble(numberOf(c));
        // Exact only while the units fit a double's mantissa; NaN orders by the full comparison.
        item.decisive = c.kind == CellKind::Double ? !std::isnan(c.d) : (c.i < kExact && c.i > -kExact);
        item.exact = item.decisive && (c.kind == CellKind::Int || c.kind == CellKind::Bool ||
                                       (c.kind == CellKind::Decimal && c.scale == 0));
        break;
    case CellKind::DateTime:
        item.family = 2;
        item.key0 = static_cast<std::uint64_t>(c.i) ^ 0x8000000000000000ull;
        item.decisive = item.exact = true;
        break;
    case CellKind::Text: {
        // Plain ASCII text is folded to lower case, trailing blanks dropped, into `folded`:
        // comparing those bytes is then the server's comparison. Other text takes the slow way.
        item.family = 3;
        std::string_view t = c.text;
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        item.decisive = item.exact = true;
        const std::size_t start = folded.size();
        for (char ch : t) {
            unsigned char b = static_cast<unsigned char>(ch);
            if (b >= 0x80 || b == 0) {
                item.decisive = item.exact = false;
                break;
            }
            folded.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
        }
        if (!item.decisive || folded.size() > UINT32_MAX) {
            folded.resize(start);
            item.decisive = item.exact = false;
            break;
        }
        item.textOffset = static_cast<std::uint32_t>(start);
        item.textLength = static_cast<std::uint32_t>(folded.size() - start);
        for (std::size_t k = 0; k < 8; ++k)
            item.key0 =
                item.key0 << 8 | (k < item.textLength ? static_cast<unsigned char>(folded[start + k]) : 0u);
        break;
    }
    case CellKind::Binary:
        item.family = 4;
        break;
    }
    return item;
}

} // namespace

void sortRows(const RowStore& store, std::vector<std::uint32_t>& rows, const std::vector<int>& fields,
              const std::vector<bool>& descending) {
    if (fields.empty() || rows.size() < 2)
        return;
    std::vector<Item> items;
    items.reserve(rows.size());
    std::string folded;
    for (std::uint32_t r : rows)
        items.push_back(reduce(store.cell(r, fields[0]), r, folded));
    auto text = [&](const Item& i) { return std::string_view(folded).substr(i.textOffset, i.textLength); };
    const bool firstDesc = descending[0];
    auto full = [&](const Item& a, const Item& b, std::size_t from) {
        for (std::size_t k = from; k < fields.size(); ++k) {
            const int r = compareCells(store.cell(a.row, fields[k]), store.cell(b.row, fields[k]));
            if (r != 0)
                return descending[k] ? r > 0 : r < 0;
        }
        return a.row < b.row;
    };
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.family != b.family)
            return firstDesc ? a.family > b.family : a.family < b.family;
        if (a.decisive && b.decisive) {
            int r = a.key0 != b.key0 ? (a.key0 < b.key0 ? -1 : 1) : 0;
            if (r == 0 && a.family == 3)
                r = text(a).compare(text(b));
            if (r != 0)
                return firstDesc ? r > 0 : r < 0;
            if (a.exact && b.exact)
                return full(a, b, 1);
        }
        return full(a, b, 0);
    });
    for (std::size_t k = 0; k < items.size(); ++k)
        rows[k] = items[k].row;
}

} // namespace scadlav::db
