#include "SqlType.h"
#include "LocaleFree.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tsqlite::detail {

SqlType parseSqlType(std::string_view declared) {
    if (const auto bar = declared.find('|'); bar != std::string_view::npos) {
        SqlType t = parseSqlType(declared.substr(0, bar));
        const SqlType source = parseSqlType(declared.substr(bar + 1));
        t.sourceClass = source.cls;
        t.sourceBase = source.base;
        return t;
    }
    SqlType t;
    std::string s;
    for (char c : declared) {
        if (!isAsciiSpace(c))
            s += asciiLower(c);
    }
    const auto open = s.find('(');
    t.base = s.substr(0, open);
    std::string args;
    if (open != std::string::npos) {
        const auto close = s.find(')', open);
        args = s.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    }
    int first = -1, second = -1;
    if (!args.empty()) {
        const auto comma = args.find(',');
        const std::string a = args.substr(0, comma);
        first = a == "max" ? -2 : std::atoi(a.c_str());
        if (comma != std::string::npos)
            second = std::atoi(args.substr(comma + 1).c_str());
    }
    const std::string& b = t.base;
    if (b == "char" || b == "nchar" || b == "varchar" || b == "nvarchar" || b == "text" || b == "ntext" ||
        b == "sysname" || b == "uniqueidentifier" || b == "xml") {
        t.cls = TypeClass::Text;
        t.length = first;
        t.fixedLength = (b == "char" || b == "nchar");
        if (t.fixedLength && t.length == -1)
            t.length = 1;
    } else if (b == "int" || b == "integer" || b == "smallint" || b == "tinyint" || b == "bigint") {
        t.cls = TypeClass::Integer;
        t.integerBits = b == "tinyint" ? 8 : b == "smallint" ? 16 : b == "bigint" ? 64 : 32;
    } else if (b == "decimal" || b == "numeric" || b == "dec") {
        t.cls = TypeClass::Decimal;
        t.precision = first == -1 ? 18 : first;
        t.scale = second == -1 ? 0 : second;
    } else if (b == "money" || b == "smallmoney") {
        t.cls = TypeClass::Decimal;
        t.precision = 19;
        t.scale = 4;
    } else if (b == "float" || b == "real" || b == "double") {
        t.cls = TypeClass::Float;
    } else if (b == "bit") {
        t.cls = TypeClass::Bit;
    } else if (b == "datetime" || b == "smalldatetime" || b == "date" || b == "datetime2" || b == "time") {
        t.cls = TypeClass::Date;
    }
    return t;
}

std::string numberLiteralType(std::string_view text) {
    if (text.find_first_of("eE") != std::string_view::npos)
        return "float";
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return text.size() > 9 ? "bigint" : "int";
    const std::size_t leadingZeros = std::min(text.find_first_not_of('0'), dot);
    const std::size_t scale = text.size() - dot - 1;
    const std::size_t precision = std::max<std::size_t>(dot - leadingZeros + scale, 1);
    return "decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

std::string SqlType::spelling() const {
    std::string out = base;
    if (cls == TypeClass::Decimal && (base == "decimal" || base == "numeric" || base == "dec"))
        out += "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    else if (cls == TypeClass::Text && length != -1 && base != "text" && base != "ntext")
        out += "(" + (length == -2 ? std::string("max") : std::to_string(length)) + ")";
    return out;
}

} // namespace tsqlite::detail
