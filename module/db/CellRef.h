#pragma once
// A cell as the row store holds it, seen without copying: the kind, and the payload in the
// member that kind uses. Comparisons of cells follow the database server: numbers compare by
// value whatever their form, text without case and without trailing blanks.

#include <cstdint>
#include <string_view>

namespace scadlav::db {

enum class CellKind : std::uint8_t {
    Null = 0,
    Int = 1,      // i
    Double = 2,   // d
    Decimal = 3,  // i units of 10^-scale
    Text = 4,     // text, UTF-8
    DateTime = 5, // i milliseconds since 1970-01-01 00:00 of the wall clock
    Bool = 6,     // i 0 or 1
    Binary = 7,   // text holds the bytes
};

struct CellRef {
    CellKind kind = CellKind::Null;
    std::uint8_t scale = 0;
    std::int64_t i = 0;
    double d = 0;
    std::string_view text;

    bool isNull() const { return kind == CellKind::Null; }
    bool isNumber() const {
        return kind == CellKind::Int || kind == CellKind::Double || kind == CellKind::Decimal ||
               kind == CellKind::Bool;
    }
};

// Text comparison of the server's default collation: case (accented letters too) and trailing
// blanks ignored. Returns <0, 0 or >0.
int compareText(std::string_view a, std::string_view b);

// Orders two cells for sorting: Null first, then numbers by value, then dates, then text,
// then binary. Cells of different families order by family.
int compareCells(const CellRef& a, const CellRef& b);

// Whether two non-null cells can be compared meaningfully (both numbers, both dates, both
// text); a filter comparison between other pairs is false.
bool comparable(const CellRef& a, const CellRef& b);

} // namespace scadlav::db
