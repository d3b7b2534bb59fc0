#pragma once

#include "module/value/Decimal.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <variant>

namespace scadlav {

// Dates in this system are wall-clock readings with no time zone. They are held as UTC
// date-times with the same date and time of day: Qt then never converts them through the local
// zone (a system call per value, and a midnight that a daylight-saving change skips would become
// invalid), and two dates compare by their digits whatever zone built them.
QDateTime wallClock(const QDateTime& t);

// What a variant of the ERP's run-time holds: nothing yet (Empty), the database's Null, or a
// boolean, integer, exact decimal, floating, text, date-time or an array of values.
// The conversions follow the run-time's rules where the module depends on them: Empty reads
// as "" or 0, Null is kept apart from both, numeric text converts to a number.
class Value {
public:
    enum class Kind { Empty, Null, Bool, Int, Decimal, Double, Text, DateTime, Array };

    Value() = default;
    static Value null() {
        Value v;
        v.m_data = NullTag{};
        return v;
    }
    Value(bool b) : m_data(b) {}
    Value(int i) : m_data(static_cast<std::int64_t>(i)) {}
    Value(std::int64_t i) : m_data(i) {}
    Value(long long i) : m_data(static_cast<std::int64_t>(i)) {}
    Value(double d) : m_data(d) {}
    Value(const scadlav::Decimal& d) : m_data(d) {}
    Value(const QString& s) : m_data(s) {}
    Value(const char* s) : m_data(QString::fromUtf8(s)) {}
    // A date-time is kept as its wall-clock reading (see wallClock()).
    Value(const QDateTime& t) : m_data(wallClock(t)) {}
    Value(const QDate& d) : m_data(QDateTime(d, QTime(0, 0), Qt::UTC)) {}
    Value(const QList<Value>& a) : m_data(a) {}

    Kind kind() const { return static_cast<Kind>(m_data.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isEmptyOrNull() const { return isEmpty() || isNull(); }
    bool isArray() const { return kind() == Kind::Array; }
    bool isText() const { return kind() == Kind::Text; }
    bool isNumeric() const {
        Kind k = kind();
        return k == Kind::Int || k == Kind::Decimal || k == Kind::Double || k == Kind::Bool;
    }

    // Direct access; valid only for the matching kind.
    bool asBool() const { return std::get<bool>(m_data); }
    std::int64_t asInt() const { return std::get<std::int64_t>(m_data); }
    const scadlav::Decimal& asDecimal() const { return std::get<scadlav::Decimal>(m_data); }
    double asDouble() const { return std::get<double>(m_data); }
    const QString& asText() const { return std::get<QString>(m_data); }
    const QDateTime& asDateTime() const { return std::get<QDateTime>(m_data); }
    const QList<Value>& asArray() const { return std::get<QList<Value>>(m_data); }

    // Text of the value: Empty and Null give "", numbers in plain decimal notation with '.'
    // (the invariant form SQL text needs), dates as "YYYY-MM-DD HH:MM:SS" ("YYYY-MM-DD" at
    // midnight), booleans as "True"/"False" as the run-time writes them.
    QString toText() const;
    // Number conversions; std::nullopt when the value is no number (text that does not read as
    // one, a date, an array, Null). Empty reads as 0. Non-integral values round half away from
    // zero.
    std::optional<double> toDouble() const;
    std::optional<scadlav::Decimal> toDecimal() const;
    std::optional<std::int64_t> toInt64() const;
    std::optional<std::int32_t> toInt32() const;
    // Range-checked 16-bit conversion: 70000 gives std::nullopt, the caller keeps its old value.
    std::optional<std::int16_t> toInt16() const;
    std::optional<bool> toBool() const;
    // Date-time from a date value or from text in the forms the module meets: Italian
    // "dd/mm/yyyy" (also "dd/mm/yy", with "-" or "." separators, optional "hh:mm[:ss]"),
    // ISO "yyyy-mm-dd[ hh:mm:ss[.zzz]]" and "yyyymmdd[ hh:mm:ss]". Impossible dates give nullopt.
    std::optional<QDateTime> toDateTime() const;

    // A value equals another of the same kind with the same content; numbers compare by
    // value across Int, Decimal and Double.
    friend bool operator==(const Value& a, const Value& b);

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) { return true; }
    };
    std::variant<std::monostate, NullTag, bool, std::int64_t, scadlav::Decimal, double, QString, QDateTime,
                 QList<Value>>
        m_data;
};

// Reads a date written by a user or a database ("31/08/2026", "2026-08-31 10:00:00", ...).
std::optional<QDateTime> parseDateTimeText(QStringView text);

} // namespace scadlav
