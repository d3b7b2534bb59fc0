#include "SqlFunctions.h"
#include "LocaleFree.h"

#include "Collation.h"
#include "Dates.h"
#include "Decimal.h"
#include "FunctionTable.h"
#include "Registry.h"
#include "SqlType.h"

#include <sqlite3.h>
#include <tsqlite/tsqlite.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tsqlite::detail {
namespace {

std::string_view textOf(sqlite3_value* v) {
    auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The text SQL Server gives a number converted to a string.
std::string numberText(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER)
        return std::to_string(sqlite3_value_int64(v));
    return formatDouble(sqlite3_value_double(v), 15);
}

std::string valueText(sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return numberText(v);
    return std::string(textOf(v));
}

std::size_t codePoints(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Byte offset of the code point `index` (0-based), or s.size() past the end.
std::size_t byteOffset(std::string_view s, std::size_t index) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (n == index)
                return i;
            ++n;
        }
    }
    return s.size();
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// A number read from a value: integers stay exact.
struct Number {
    bool ok = false;
    bool integer = false;
    std::int64_t i = 0;
    double r = 0;
    double asDouble() const { return integer ? static_cast<double>(i) : r; }
};

Number numberOf(sqlite3_value* v) {
    Number n;
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        n.ok = n.integer = true;
        n.i = sqlite3_value_int64(v);
        return n;
    case SQLITE_FLOAT:
        n.ok = true;
        n.r = sqlite3_value_double(v);
        return n;
    default: {
        const std::string s(trimBlanks(textOf(v)));
        if (s.empty())
            return n;
        char* end = nullptr;
        const long long i = std::strtoll(s.c_str(), &end, 10);
        if (end && *end == '\0') {
            n.ok = n.integer = true;
            n.i = i;
            return n;
        }
        const double r = parseDouble(s.c_str(), &end);
        if (end && *end == '\0') {
            n.ok = true;
            n.r = r;
        }
        return n;
    }
    }
}

// SQL Server names the value only when it fails to become an integer or a bit (245); text
// that is not a decimal or float number gets the types alone (8114), decimal called numeric.
void conversionError(sqlite3_context* ctx, sqlite3_value* v, TypeClass target, const std::string& type) {
    const bool text = sqlite3_value_type(v) == SQLITE_TEXT;
    std::string message;
    if (target == TypeClass::Decimal || target == TypeClass::Float)
        message = std::string("Error converting data type ") + (text ? "varchar" : "numeric") + " to " +
                  (target == TypeClass::Float ? "float" : "numeric") + ".";
    else
        message = "Conversion failed when converting the " + std::string(text ? "varchar " : "") + "value '" +
                  valueText(v) + "' to data type " + type + ".";
    sqlite3_result_error(ctx, message.c_str(), -1);
}

// Writes a number rounded to `scale` places, failing when it does not fit `precision`.
void resultDecimal(sqlite3_context* ctx, const Number& n, int precision, int scale) {
    const double limit = powerOfTen(precision - scale);
    if (n.integer && scale == 0) {
        if (precision < 19 && std::fabs(static_cast<double>(n.i)) >= limit) {
            sqlite3_result_error(ctx, "Arithmetic overflow error converting numeric to data type numeric.",
                                 -1);
            return;
        }
        sqlite3_result_int64(ctx, n.i);
        return;
    }
    // Rounded as the decimal the double stands for (2.675 to 2.68), not as its binary value.
    double rounded = 0;
    auto exact = decimalFromDouble(n.asDouble(), scale);
    if (exact && rescale(*exact, scale))
        rounded = toDouble(*exact);
    else
        rounded = std::round(n.asDouble() * powerOfTen(scale)) / powerOfTen(scale);
    if (std::fabs(rounded) >= limit) {
        sqlite3_result_error(ctx, "Arithmetic overflow error converting numeric to data type numeric.", -1);
        return;
    }
    if (scale == 0 || rounded == std::trunc(rounded)) {
        if (std::fabs(rounded) < 9.2e18) {
            sqlite3_result_int64(ctx, static_cast<std::int64_t>(rounded));
            return;
        }
    }
    sqlite3_result_double(ctx, rounded);
}

void resultInteger(sqlite3_context* ctx, const Number& n, int bits) {
    double value = n.integer ? static_cast<double>(n.i) : std::trunc(n.r);
    const double high = bits == 8 ? 255.0 : bits == 16 ? 32767.0 : bits == 32 ? 2147483647.0 : 9.22e18;
    const double low = bits == 8 ? 0.0 : -high - 1;
    if (value > high || value < low) {
        const char* type = bits == 8 ? "tinyint" : bits == 16 ? "smallint" : bits == 32 ? "int" : "bigint";
        // SQL Server names the value for the small types (error 220), only the type otherwise (8115).
        const std::string message =
            bits <= 16 && n.integer
                ? "Arithmetic overflow error for data type " + std::string(type) +
                      ", value = " + std::to_string(n.i) + "."
                : "Arithmetic overflow error converting expression to data type " + std::string(type) + ".";
        sqlite3_result_error(ctx, message.c_str(), -1);
        return;
    }
    sqlite3_result_int64(ctx, n.integer ? n.i : static_cast<std::int64_t>(value));
}

// Text converted for a char/varchar column of `length` characters. Blanks beyond the length are
// dropped silently; anything else is refused, as SQL Server refuses to truncate data.
void resultSizedText(sqlite3_context* ctx, sqlite3_value* v, int length, bool fixed, bool silentTruncate) {
    std::string s = valueText(v);
    if (length >= 0) {
        std::size_t count = codePoints(s);
        if (count > static_cast<std::size_t>(length)) {
            const std::size_t cut = byteOffset(s, static_cast<std::size_t>(length));
            if (!silentTruncate && s.find_first_not_of(' ', cut) != std::string::npos) {
                sqlite3_result_error(ctx, "String or binary data would be truncated.", -1);
                return;
            }
            s.resize(cut);
            count = static_cast<std::size_t>(length);
        }
        if (fixed && count < static_cast<std::size_t>(length))
            s.append(static_cast<std::size_t>(length) - count, ' ');
    }
    resultText(ctx, s);
}

// A number converted to a text type too short for it. SQL Server gives "*" for a whole number
// (int, smallint, tinyint, bigint) going to char or varchar, and refuses every other case.
void numberTooLong(sqlite3_context* ctx, const SqlType& type, int length) {
    const bool unicode = type.base == "nchar" || type.base == "nvarchar";
    if (type.sourceClass == TypeClass::Integer && !unicode) {
        std::string star = "*";
        if (type.fixedLength)
            star.append(static_cast<std::size_t>(length > 1 ? length - 1 : 0), ' ');
        return resultText(ctx, star);
    }
    const std::string& from = type.sourceBase;
    const std::string source = type.sourceClass == TypeClass::Integer ? "expression"
                               : from == "decimal" || from == "dec"   ? "numeric"
                                                                      : from;
    const std::string message =
        "Arithmetic overflow error converting " + source + " to data type " + type.base + ".";
    sqlite3_result_error(ctx, message.c_str(), -1);
}

// The years a date type holds: datetime from 1753, smalldatetime 1900 to 2079, the others
// (date, datetime2) from year 1; all end in 9999.
bool yearInRange(const std::string& type, int year) {
    if (type == "datetime")
        return year >= 1753 && year <= 9999;
    if (type == "smalldatetime")
        return year >= 1900 && year <= 2079;
    return year >= 1 && year <= 9999;
}

// A date and time as a column of the type holds it: datetime in 1/300 s, smalldatetime to
// the minute, date without its time.
DateTime heldAs(const std::string& typeName, const DateTime& d) {
    if (typeName == "datetime")
        return roundedToDatetime(d);
    if (typeName == "smalldatetime")
        return roundedToSmallDatetime(d);
    if (typeName == "date")
        return DateTime{d.year, d.month, d.day, 0, 0, 0, 0};
    return d;
}

void resultDate(sqlite3_context* ctx, sqlite3_value* v, const std::string& typeName) {
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        // Numbers are days since 1900-01-01, as SQL Server reads them.
        const double days = sqlite3_value_double(v);
        if (std::fabs(days) > 4.0e6) {
            const std::string message =
                "Arithmetic overflow error converting expression to data type " + typeName + ".";
            return sqlite3_result_error(ctx, message.c_str(), -1);
        }
        const std::int64_t base = toMilliseconds(DateTime{1900, 1, 1, 0, 0, 0, 0});
        const DateTime d = heldAs(
            typeName, fromMilliseconds(base + static_cast<std::int64_t>(std::llround(days * 86400000.0))));
        if (!yearInRange(typeName, d.year)) {
            const std::string message =
                "Arithmetic overflow error converting expression to data type " + typeName + ".";
            return sqlite3_result_error(ctx, message.c_str(), -1);
        }
        resultText(ctx, formatCanonical(d));
        return;
    }
    const auto parsed = parseDate(textOf(v));
    if (!parsed) {
        sqlite3_result_error(ctx, "Conversion failed when converting date and/or time from character string.",
                             -1);
        return;
    }
    const DateTime d = heldAs(typeName, *parsed);
    if (!yearInRange(typeName, d.year)) {
        const std::string message = "The conversion of a varchar data type to a " + typeName +
                                    " data type resulted in an out-of-range value.";
        return sqlite3_result_error(ctx, message.c_str(), -1);
    }
    resultText(ctx, formatCanonical(d));
}

// The declared types named by the rewritten statements are few: each is parsed once, and its
// entry is never erased, so a statement may keep a pointer to it (below). Past the bound, which
// only odd input could reach, types are parsed for each use and not kept.
struct TypeNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
constexpr std::size_t kMaxKeptTypes = 4096;

struct KeptType {
    std::string_view spelling; // the map's own key
    SqlType type;
};

const KeptType* keptType(std::string_view spelling) {
    static std::mutex mutex;
    static std::unordered_map<std::string, KeptType, TypeNameHash, std::equal_to<>> types;
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto it = types.find(spelling); it != types.end())
        return &it->second;
    if (types.size() >= kMaxKeptTypes)
        return nullptr;
    auto it = types.emplace(std::string(spelling), KeptType{{}, parseSqlType(spelling)}).first;
    it->second.spelling = it->first;
    return &it->second;
}

// The type named by argument `i`. It is a literal of the statement, whose text stays at one
// address for the statement's whole run, so each thread remembers the last type seen at each
// address: an insert of a million rows finds each column's type without a lock or a hash. The
// text is compared as well, since another statement may later hold other text at the same
// address. (SQLite's own per-statement slots, sqlite3_get_auxdata, are searched one by one, so a
// statement writing a hundred columns walked about fifty of them for every value.)
const SqlType& typeArgument(sqlite3_value** argv, int i) {
    struct Slot {
        const char* at = nullptr;
        const KeptType* kept = nullptr;
    };
    thread_local std::array<Slot, 256> slots;
    const std::string_view spelling = textOf(argv[i]);
    Slot& slot = slots[(reinterpret_cast<std::uintptr_t>(spelling.data()) >> 3) & 255];
    if (slot.at == spelling.data() && slot.kept->spelling == spelling)
        return slot.kept->type;
    if (const KeptType* kept = keptType(spelling)) {
        slot = {spelling.data(), kept};
        return kept->type;
    }
    thread_local SqlType parsed;
    parsed = parseSqlType(spelling);
    return parsed;
}

// Converts a value to a declared type; `style` applies to dates written as text.
void convertTo(sqlite3_context* ctx, const SqlType& type, sqlite3_value* v, int style, bool forWrite) {
    if (isNull(v)) {
        sqlite3_result_null(ctx);
        return;
    }
    const int valueType = sqlite3_value_type(v);
    // Writes of values that already fit pass through without a copy (rebuilds write many).
    if (forWrite && valueType == SQLITE_TEXT && type.cls == TypeClass::Text && !type.fixedLength &&
        (type.length < 0 || sqlite3_value_bytes(v) <= type.length)) {
        sqlite3_result_value(ctx, v);
        return;
    }
    if (forWrite && valueType == SQLITE_INTEGER && type.cls == TypeClass::Integer && type.integerBits == 64) {
        sqlite3_result_value(ctx, v);
        return;
    }
    switch (type.cls) {
    case TypeClass::Text: {
        if (style >= 0 && sqlite3_value_type(v) == SQLITE_TEXT) {
            if (const auto d = parseDate(textOf(v))) {
                if (const auto text = formatStyle(*d, style)) {
                    std::string s = *text;
                    if (type.length >= 0 && codePoints(s) > static_cast<std::size_t>(type.length))
                        s.resize(byteOffset(s, static_cast<std::size_t>(type.length)));
                    resultText(ctx, s);
                    return;
                }
            }
        }
        // CAST and CONVERT without a length give 30 characters; a column write keeps its size.
        const int length = type.length == -1 && !forWrite ? 30 : type.length;
        if (!forWrite && length >= 0 && type.sourceClass != TypeClass::Unknown &&
            codePoints(valueText(v)) > static_cast<std::size_t>(length))
            return numberTooLong(ctx, type, length);
        resultSizedText(ctx, v, length == -2 ? -1 : length, type.fixedLength, !forWrite);
        return;
    }
    case TypeClass::Integer:
    case TypeClass::Decimal:
    case TypeClass::Float:
    case TypeClass::Bit: {
        const Number n = numberOf(v);
        // Text becomes an integer only when it is written as one ('12.5' fails, as on SQL
        // Server); blank text is 0.
        if (type.cls == TypeClass::Integer && valueType == SQLITE_TEXT && !n.integer) {
            if (trimBlanks(textOf(v)).empty())
                sqlite3_result_int(ctx, 0);
            else
                conversionError(ctx, v, type.cls, type.base);
            return;
        }
        if (!n.ok) {
            conversionError(ctx, v, type.cls, type.base);
            return;
        }
        if (type.cls == TypeClass::Integer)
            resultInteger(ctx, n, type.integerBits);
        else if (type.cls == TypeClass::Decimal)
            resultDecimal(ctx, n, type.precision, type.scale);
        else if (type.cls == TypeClass::Bit)
            sqlite3_result_int(ctx, n.asDouble() != 0 ? 1 : 0);
        else
            sqlite3_result_double(ctx, n.asDouble());
        return;
    }
    case TypeClass::Date:
        resultDate(ctx, v, type.base);
        return;
    case TypeClass::Unknown:
        sqlite3_result_value(ctx, v);
        return;
    }
}

// LEFT and RIGHT: the first or last `n` characters.
void takeEnd(sqlite3_context* ctx, sqlite3_value** argv, bool left) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid length parameter passed to the LEFT or RIGHT function.",
                                    -1);
    const std::string s = valueText(argv[0]);
    const std::size_t total = codePoints(s);
    const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(n), total);
    if (left)
        resultText(ctx, s.substr(0, byteOffset(s, take)));
    else
        resultText(ctx, s.substr(byteOffset(s, total - take)));
}

enum class DatePart {
    Year,
    Quarter,
    Month,
    DayOfYear,
    Day,
    Week,
    WeekDay,
    Hour,
    Minute,
    Second,
    Millisecond,
    Bad
};

DatePart parseDatePart(std::string_view name) {
    const std::string s = lowerCase(name);
    if (s == "year" || s == "yy" || s == "yyyy")
        return DatePart::Year;
    if (s == "quarter" || s == "qq" || s == "q")
        return DatePart::Quarter;
    if (s == "month" || s == "mm" || s == "m")
        return DatePart::Month;
    if (s == "dayofyear" || s == "dy" || s == "y")
        return DatePart::DayOfYear;
    if (s == "day" || s == "dd" || s == "d")
        return DatePart::Day;
    if (s == "week" || s == "wk" || s == "ww")
        return DatePart::Week;
    if (s == "weekday" || s == "dw")
        return DatePart::WeekDay;
    if (s == "hour" || s == "hh")
        return DatePart::Hour;
    if (s == "minute" || s == "mi" || s == "n")
        return DatePart::Minute;
    if (s == "second" || s == "ss" || s == "s")
        return DatePart::Second;
    if (s == "millisecond" || s == "ms")
        return DatePart::Millisecond;
    return DatePart::Bad;
}

std::optional<DateTime> dateArg(sqlite3_context* ctx, sqlite3_value* v) {
    auto d = parseDate(textOf(v));
    if (!d)
        sqlite3_result_error(ctx, "Conversion failed when converting date and/or time from character string.",
                             -1);
    return d;
}

// T-SQL LIKE: "%", "_", "[abc]", "[a-c]", "[^a]", an optional escape character, and case
// ignored the way the ERP collation ignores it (accented letters too).
bool likeMatch(std::u32string_view p, std::u32string_view s, char32_t escape) {
    std::size_t pi = 0, si = 0;
    std::size_t starP = std::u32string_view::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            const char32_t pc = p[pi];
            if (pc == U'%') {
                starP = ++pi;
                starS = si;
                continue;
            }
            bool matched = false;
            std::size_t next = pi + 1;
            if (escape && pc == escape && pi + 1 < p.size()) {
                matched = p[pi + 1] == s[si];
                next = pi + 2;
            } else if (pc == U'_') {
                matched = true;
            } else if (pc == U'[') {
                const auto close = p.find(U']', pi + 1);
                if (close == std::u32string_view::npos) {
                    matched = pc == s[si];
                } else {
                    std::size_t k = pi + 1;
                    const bool negate = k < close && p[k] == U'^';
                    if (negate)
                        ++k;
                    bool inSet = false;
                    for (; k < close; ++k) {
                        if (k + 2 < close && p[k + 1] == U'-') {
                            inSet = inSet || (s[si] >= p[k] && s[si] <= p[k + 2]);
                            k += 2;
                        } else {
                            inSet = inSet || s[si] == p[k];
                        }
                    }
                    matched = inSet != negate;
                    next = close + 1;
                }
            } else {
                matched = pc == s[si];
            }
            if (matched) {
                pi = next;
                ++si;
                continue;
            }
        }
        if (starP == std::u32string_view::npos)
            return false;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    return pi == p.size();
}

std::u32string folded(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();)
        out += foldCase(decodeUtf8(text, i));
    return out;
}

} // namespace

namespace native {

void convert(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const SqlType& type = typeArgument(argv, 0);
    const int style = argc > 2 && !isNull(argv[2]) ? sqlite3_value_int(argv[2]) : -1;
    convertTo(ctx, type, argv[1], style, false);
}

// tsql_write(value, 'type'): the conversion a column of that type applies on INSERT/UPDATE.
void write(sqlite3_context* ctx, int, sqlite3_value** argv) {
    convertTo(ctx, typeArgument(argv, 1), argv[0], -1, true);
}

void len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    std::string s = valueText(argv[0]);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(codePoints(s)));
}

// UPPER and LOWER of every letter the collation folds, not only of ASCII.
void changeCase(sqlite3_context* ctx, sqlite3_value* v, char32_t (*change)(char32_t)) {
    if (isNull(v))
        return sqlite3_result_null(ctx);
    const std::string_view text = textOf(v);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        appendUtf8(out, change(decodeUtf8(text, i)));
    resultText(ctx, out);
}

void upper(sqlite3_context* ctx, int, sqlite3_value** argv) {
    changeCase(ctx, argv[0], upperCase);
}

void lower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    changeCase(ctx, argv[0], foldCase);
}

// REPLACE finds its pattern as the collation compares: without regard to case.
void replace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    const std::string text = valueText(argv[0]);
    const std::u32string pattern = folded(valueText(argv[1]));
    if (pattern.empty())
        return resultText(ctx, text);
    const std::string with = valueText(argv[2]);
    // Each character of the text: where it starts, and its folded form.
    std::vector<std::size_t> starts;
    std::u32string chars;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        chars += foldCase(decodeUtf8(text, i));
    }
    starts.push_back(text.size());
    std::string out;
    std::size_t k = 0;
    while (k < chars.size()) {
        if (chars.compare(k, pattern.size(), pattern) == 0) {
            out += with;
            k += pattern.size();
        } else {
            out.append(text, starts[k], starts[k + 1] - starts[k]);
            ++k;
        }
    }
    resultText(ctx, out);
}

void replicate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const std::int64_t count = sqlite3_value_int64(argv[1]);
    if (count < 0)
        return sqlite3_result_null(ctx);
    const std::string unit = valueText(argv[0]);
    if (unit.size() * static_cast<std::size_t>(count) > 100u * 1024u * 1024u)
        return sqlite3_result_error(ctx, "REPLICATE result too large.", -1);
    std::string out;
    out.reserve(unit.size() * static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
        out += unit;
    resultText(ctx, out);
}

void left(sqlite3_context* ctx, int, sqlite3_value** argv) {
    takeEnd(ctx, argv, true);
}

void right(sqlite3_context* ctx, int, sqlite3_value** argv) {
    takeEnd(ctx, argv, false);
}

void substring(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    const std::int64_t start = sqlite3_value_int64(argv[1]);
    const std::int64_t length = sqlite3_value_int64(argv[2]);
    if (length < 0)
        return sqlite3_result_error(ctx, "Invalid length parameter passed to the substring function.", -1);
    const std::string s = valueText(argv[0]);
    const std::int64_t total = static_cast<std::int64_t>(codePoints(s));
    const std::int64_t from = std::max<std::int64_t>(start, 1);
    const std::int64_t to = std::min<std::int64_t>(start + length, total + 1); // exclusive
    if (to <= from)
        return resultText(ctx, std::string());
    const std::size_t a = byteOffset(s, static_cast<std::size_t>(from - 1));
    const std::size_t b = byteOffset(s, static_cast<std::size_t>(to - 1));
    resultText(ctx, s.substr(a, b - a));
}

void charIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const std::string needle = valueText(argv[0]);
    const std::string hay = valueText(argv[1]);
    const std::int64_t start =
        argc > 2 && !isNull(argv[2]) ? std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 1) : 1;
    const std::size_t total = codePoints(hay);
    const std::size_t needleCount = codePoints(needle);
    if (needle.empty())
        return sqlite3_result_int(ctx, 0);
    for (std::size_t i = static_cast<std::size_t>(start - 1); i + needleCount <= total; ++i) {
        const std::size_t a = byteOffset(hay, i);
        const std::size_t b = byteOffset(hay, i + needleCount);
        // Compared without case; the sentinel keeps trailing blanks significant.
        if (compareText(hay.substr(a, b - a) + "x", needle + "x") == 0)
            return sqlite3_result_int64(ctx, static_cast<std::int64_t>(i + 1));
    }
    sqlite3_result_int(ctx, 0);
}

void getDate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, readClock(sqlite3_context_db_handle(ctx), "GETDATE",
                              [] { return formatCanonical(roundedToDatetime(now())); }));
}

// The T-SQL "+" when the operand types are only known at run time: text with text
// concatenates, anything with a number adds (text converted), NULL gives NULL.
void add(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const bool textA = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
    const bool textB = sqlite3_value_type(argv[1]) == SQLITE_TEXT;
    if (textA && textB)
        return resultText(ctx, std::string(textOf(argv[0])) + std::string(textOf(argv[1])));
    const Number a = numberOf(argv[0]);
    const Number b = numberOf(argv[1]);
    // The text takes the other operand's type: an integer as int (a decimal column's whole
    // values are stored as integers too, and would be numeric on the server), a fraction as
    // numeric.
    const auto failed = [ctx](sqlite3_value* text, sqlite3_value* other) {
        if (sqlite3_value_type(other) == SQLITE_INTEGER)
            return conversionError(ctx, text, TypeClass::Integer, "int");
        conversionError(ctx, text, TypeClass::Decimal, "numeric");
    };
    if (!a.ok)
        return failed(argv[0], argv[1]);
    if (!b.ok)
        return failed(argv[1], argv[0]);
    if (a.integer && b.integer)
        return sqlite3_result_int64(ctx, a.i + b.i);
    sqlite3_result_double(ctx, a.asDouble() + b.asDouble());
}

void dateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    const DatePart part = parseDatePart(textOf(argv[0]));
    const double number = sqlite3_value_double(argv[1]);
    if (number >= 2147483648.0 || number < -2147483648.0)
        return sqlite3_result_error(ctx, "Arithmetic overflow error converting expression to data type int.",
                                    -1);
    const std::int64_t n = sqlite3_value_int64(argv[1]);
    auto d = dateArg(ctx, argv[2]);
    if (!d)
        return;
    // The result stays a datetime: years 1753 to 9999.
    const auto result = [ctx](const DateTime& out) {
        if (out.year < 1753 || out.year > 9999)
            return sqlite3_result_error(ctx, "Adding a value to a 'datetime' column caused an overflow.", -1);
        resultText(ctx, formatCanonical(out));
    };
    std::int64_t ms = toMilliseconds(*d);
    switch (part) {
    case DatePart::Year:
    case DatePart::Quarter:
    case DatePart::Month: {
        const std::int64_t months = part == DatePart::Year ? n * 12 : part == DatePart::Quarter ? n * 3 : n;
        std::int64_t total = d->year * 12 + (d->month - 1) + months;
        DateTime out = *d;
        out.year = static_cast<int>(total / 12);
        out.month = static_cast<int>(total % 12) + 1;
        if (total < 1753 * 12 || total >= 10000 * 12)
            return sqlite3_result_error(ctx, "Adding a value to a 'datetime' column caused an overflow.", -1);
        out.day = std::min(out.day, daysInMonth(out.year, out.month));
        return result(out);
    }
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::WeekDay:
        ms += n * 86400000;
        break;
    case DatePart::Week:
        ms += n * 7 * 86400000;
        break;
    case DatePart::Hour:
        ms += n * 3600000;
        break;
    case DatePart::Minute:
        ms += n * 60000;
        break;
    case DatePart::Second:
        ms += n * 1000;
        break;
    case DatePart::Millisecond:
        ms += n;
        break;
    case DatePart::Bad:
        return sqlite3_result_error(ctx, "Invalid date part in DATEADD.", -1);
    }
    result(fromMilliseconds(ms));
}

// POWER(x, y) yields the type of x: int for the integer types, bigint, decimal(38, s), float
// otherwise. The third argument is x's T-SQL type when the rewriter could tell it.
void power(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    const Number x = numberOf(argv[0]);
    const Number y = numberOf(argv[1]);
    if (!x.ok)
        return conversionError(ctx, argv[0], TypeClass::Float, "float");
    if (!y.ok)
        return conversionError(ctx, argv[1], TypeClass::Float, "float");
    const SqlType type = parseSqlType(argc > 2 ? textOf(argv[2]) : std::string_view());
    const double r = std::pow(x.asDouble(), y.asDouble());
    if (std::isnan(r))
        return sqlite3_result_error(ctx, "An invalid floating point operation occurred.", -1);
    const bool integer = type.cls == TypeClass::Integer || (type.cls == TypeClass::Unknown && x.integer);
    if (integer) {
        // A base of unknown type may be a bigint: only bigint's range is certain then.
        const bool big = type.integerBits == 64 || type.cls == TypeClass::Unknown;
        const double limit = big ? 9223372036854775807.0 : 2147483647.0;
        if (!std::isfinite(r) || std::trunc(r) > limit || std::trunc(r) < -limit - 1) {
            const std::string message = std::string("Arithmetic overflow error for type ") +
                                        (big ? "bigint" : "int") + ", value = " + formatFixed(r, 6) + ".";
            return sqlite3_result_error(ctx, message.c_str(), -1);
        }
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(std::trunc(r)));
    }
    if (type.cls == TypeClass::Decimal && !(std::fabs(r) < 1e38))
        return sqlite3_result_error(ctx, "Arithmetic overflow error converting float to data type numeric.",
                                    -1);
    if (!std::isfinite(r))
        return sqlite3_result_error(
            ctx, "Arithmetic overflow error converting expression to data type float.", -1);
    sqlite3_result_double(ctx, r);
}

// DATEDIFF counts boundaries crossed, as SQL Server does.
void dateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]) || isNull(argv[2]))
        return sqlite3_result_null(ctx);
    const DatePart part = parseDatePart(textOf(argv[0]));
    auto a = dateArg(ctx, argv[1]);
    if (!a)
        return;
    auto b = dateArg(ctx, argv[2]);
    if (!b)
        return;
    const std::int64_t da = daysFromCivil(a->year, a->month, a->day);
    const std::int64_t db = daysFromCivil(b->year, b->month, b->day);
    std::int64_t result = 0;
    switch (part) {
    case DatePart::Year:
        result = b->year - a->year;
        break;
    case DatePart::Quarter:
        result = (b->year * 4 + (b->month - 1) / 3) - (a->year * 4 + (a->month - 1) / 3);
        break;
    case DatePart::Month:
        result = (b->year * 12 + b->month) - (a->year * 12 + a->month);
        break;
    case DatePart::DayOfYear:
    case DatePart::Day:
    case DatePart::WeekDay:
        result = db - da;
        break;
    case DatePart::Week:
        // Weeks start on Sunday; 1970-01-04 was a Sunday.
        result = (db - 3 + 7000000) / 7 - (da - 3 + 7000000) / 7;
        break;
    case DatePart::Hour:
        result = (db * 24 + b->hour) - (da * 24 + a->hour);
        break;
    case DatePart::Minute:
        result = ((db * 24 + b->hour) * 60 + b->minute) - ((da * 24 + a->hour) * 60 + a->minute);
        break;
    case DatePart::Second:
        result = (toMilliseconds(*b) / 1000) - (toMilliseconds(*a) / 1000);
        break;
    case DatePart::Millisecond:
        result = toMilliseconds(*b) - toMilliseconds(*a);
        break;
    case DatePart::Bad:
        return sqlite3_result_error(ctx, "Invalid date part in DATEDIFF.", -1);
    }
    sqlite3_result_int64(ctx, result);
}

void datePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[1]))
        return sqlite3_result_null(ctx);
    auto d = dateArg(ctx, argv[1]);
    if (!d)
        return;
    const std::int64_t days = daysFromCivil(d->year, d->month, d->day);
    switch (parseDatePart(textOf(argv[0]))) {
    case DatePart::Year:
        return sqlite3_result_int(ctx, d->year);
    case DatePart::Quarter:
        return sqlite3_result_int(ctx, (d->month - 1) / 3 + 1);
    case DatePart::Month:
        return sqlite3_result_int(ctx, d->month);
    case DatePart::DayOfYear:
        return sqlite3_result_int64(ctx, days - daysFromCivil(d->year, 1, 1) + 1);
    case DatePart::Day:
        return sqlite3_result_int(ctx, d->day);
    case DatePart::Week:
        return sqlite3_result_int64(
            ctx,
            (days - daysFromCivil(d->year, 1, 1) + ((daysFromCivil(d->year, 1, 1) + 4) % 7 + 7) % 7) / 7 + 1);
    case DatePart::WeekDay:
        return sqlite3_result_int64(ctx, ((days + 4) % 7 + 7) % 7 + 1); // Sunday = 1
    case DatePart::Hour:
        return sqlite3_result_int(ctx, d->hour);
    case DatePart::Minute:
        return sqlite3_result_int(ctx, d->minute);
    case DatePart::Second:
        return sqlite3_result_int(ctx, d->second);
    case DatePart::Millisecond:
        return sqlite3_result_int(ctx, d->millisecond);
    case DatePart::Bad:
        return sqlite3_result_error(ctx, "Invalid date part in DATEPART.", -1);
    }
}

// OBJECT_ID: the name with "tempdb..", "dbo." and brackets removed; "#x" (not "##x") lives in
// this connection's temp schema. The id is the table's root page, negative in the temp schema.
void objectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        return sqlite3_result_null(ctx);
    std::string name(trimBlanks(textOf(argv[0])));
    std::string stripped;
    for (char c : name) {
        if (c != '[' && c != ']')
            stripped += c;
    }
    for (const char* prefix : {"tempdb..", "tempdb.dbo.", "dbo."}) {
        const std::string p(prefix);
        if (stripped.size() > p.size() && compareText(stripped.substr(0, p.size()), p) == 0)
            stripped.erase(0, p.size());
    }
    const bool local = stripped.size() > 1 && stripped[0] == '#' && stripped[1] != '#';
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const char* sql =
        local ? "SELECT rootpage FROM temp.sqlite_schema WHERE type IN ('table','view') AND name = ?1 "
                "COLLATE ERPCI"
              : "SELECT rootpage FROM main.sqlite_schema WHERE type IN ('table','view') AND name = ?1 "
                "COLLATE ERPCI";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
    sqlite3_bind_text(stmt, 1, stripped.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        // Views have root page 0: give them an id all the same.
        std::int64_t id = sqlite3_column_int64(stmt, 0);
        if (id == 0)
            id = 1;
        sqlite3_result_int64(ctx, local ? -id : id);
    } else {
        sqlite3_result_null(ctx);
    }
    sqlite3_finalize(stmt);
}

// like(pattern, value[, escape]) is SQLite's form of "value LIKE pattern".
void like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1]))
        return sqlite3_result_null(ctx);
    char32_t escape = 0;
    if (argc > 2 && !isNull(argv[2])) {
        const std::u32string e = folded(textOf(argv[2]));
        if (e.size() != 1)
            return sqlite3_result_error(ctx, "The escape of LIKE must be one character.", -1);
        escape = e[0];
    }
    const std::u32string pattern = folded(valueText(argv[0]));
    const std::u32string value = folded(valueText(argv[1]));
    sqlite3_result_int(ctx, likeMatch(pattern, value, escape) ? 1 : 0);
}

} // namespace native

int registerSqlFunctions(sqlite3* db) {
    const auto table = functionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const FunctionRow& row = table[i];
        // Rows that share a SQLite function (CAST and CONVERT, YEAR and DATEPART, ...) register
        // it once, with every arity any of them calls it with.
        const auto earlier = std::find_if(table.begin(), table.begin() + static_cast<long>(i),
                                          [&](const FunctionRow& r) { return r.sqlite == row.sqlite; });
        if (!row.native.fn || earlier != table.begin() + static_cast<long>(i))
            continue;
        int minArgs = row.native.minArgs, maxArgs = row.native.maxArgs;
        for (const FunctionRow& r : table.subspan(i)) {
            if (r.sqlite == row.sqlite) {
                minArgs = std::min(minArgs, r.native.minArgs);
                maxArgs = std::max(maxArgs, r.native.maxArgs);
            }
        }
        const std::string name(row.sqlite);
        const int flags = SQLITE_UTF8 | (row.native.deterministic ? SQLITE_DETERMINISTIC : 0);
        const bool aggregate = row.native.final != nullptr;
        for (int args = minArgs; args <= maxArgs; ++args) {
            const int rc = sqlite3_create_function_v2(
                db, name.c_str(), args, flags, nullptr, aggregate ? nullptr : row.native.fn,
                aggregate ? row.native.fn : nullptr, row.native.final, nullptr);
            if (rc != SQLITE_OK)
                return rc;
        }
    }
    return SQLITE_OK;
}

} // namespace tsqlite::detail
