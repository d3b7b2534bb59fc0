#pragma once
// A T-SQL column type as declared ("decimal(14,3)", "nvarchar(20)", "datetime", ...).

#include <string>
#include <string_view>

namespace tsqlite::detail {

enum class TypeClass { Unknown, Text, Integer, Decimal, Float, Bit, Date };

struct SqlType {
    std::string base;   // lower case: "decimal", "nvarchar", ...
    int length = -1;    // char types: n; -2 for "max"; -1 when not given
    int precision = -1; // decimal/numeric
    int scale = 0;
    TypeClass cls = TypeClass::Unknown;
    bool fixedLength = false; // char(n) and nchar(n) pad with blanks
    int integerBits = 0;      // tinyint 8 (unsigned), smallint 16, int 32, bigint 64
    // For a conversion to text whose source is a number the translation knows the type of
    // ("varchar(4)|decimal(4,0)"): that type's class and name, which decide what a number too
    // long for the text becomes.
    TypeClass sourceClass = TypeClass::Unknown;
    std::string sourceBase;

    // Normalised declaration text, e.g. "decimal(14,3)".
    std::string spelling() const;
};

// Understands the T-SQL type names; an unknown name gives cls Unknown with `base` set.
SqlType parseSqlType(std::string_view declared);

// The type SQL Server gives a number written in a statement: "int", "bigint", "float" (with an
// exponent) or "decimal(p,s)" with as many digits as written ("0.1" is decimal(1,1)).
std::string numberLiteralType(std::string_view text);

} // namespace tsqlite::detail
