#pragma once

#include "module/value/Value.h"

#include <QString>
#include <cstdint>

namespace scadlav {

// The line break that ends most fragments of the statements the module assembles.
inline const QString CRLF = QStringLiteral("\r\n");

class IDateObject;
class INumericFormatter;

// Small helpers that turn values into safe T-SQL text and read record-set fields without
// tripping over Null. None of them raises an error to its caller.

// The text of a field with trailing blanks removed; Empty, Null and "" give "" (never Null).
QString RTrimN(const Value& Expression);
// `defaultValue` when `value` is Null or Empty, otherwise `value` unchanged.
Value NVL(const Value& value, const Value& defaultValue);
// `Valore` unless it is Empty, Null or blanks only; then `ValIfNull`.
Value NVL_DOP(const Value& Valore, const Value& ValIfNull);
// Every ' becomes "' + char(39) + '", for a value placed inside a quoted literal that is itself
// assembled as SQL text.
QString Escapa(const QString& st);

// The host objects FormattaValoreSQL uses for numbers (kind 2) and dates (kind 3). When one
// is missing, a fresh one is asked of the host's object factory for the call; the date object
// then reads `connectionString` to pick the server's literal form.
struct SqlFormatters {
    INumericFormatter* numeric = nullptr;
    IDateObject* date = nullptr;
    QString connectionString;
};

// Value kinds of FormattaValoreSQL.
namespace sqlkind {
inline constexpr std::int32_t Text = 0;
inline constexpr std::int32_t Number = 1;
inline constexpr std::int32_t FormattedNumber = 2;
inline constexpr std::int32_t Date = 3;
inline constexpr std::int32_t UnicodeText = 4;
} // namespace sqlkind

// The SQL text standing for a value: blank values give "null" when nullable, otherwise "''"
// (text), "N''" (Unicode text) or Empty; text is quoted with its quotes doubled; numbers
// become decimals; dates go through the host's date object. An unknown kind or a date the
// date object rejects gives Empty.
Value FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable,
                        const SqlFormatters& formatters = {});

// A name safe inside a temporary table's name: ASCII letters, digits and '#' stay, every other
// character (accented letters included) becomes '_'. Same length as the input.
QString ParseTableName(const QString& fstr_Name);

} // namespace scadlav
