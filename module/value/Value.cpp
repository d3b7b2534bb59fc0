#include "module/value/Value.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace scadlav {
namespace {

std::optional<QDateTime> makeDateTime(int y, int m, int d, int hh, int mm, int ss, int ms) {
    QDate date(y, m, d);
    QTime time(hh, mm, ss, ms);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QDateTime wallClock(const QDateTime& t) {
    if (!t.isValid() || t.timeSpec() == Qt::UTC)
        return t;
    return QDateTime(t.date(), t.time(), Qt::UTC);
}

std::optional<QDateTime> parseDateTimeText(QStringView text) {
    static const QRegularExpression iso(
        QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?$)"));
    static const QRegularExpression compact(
        QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})(?: (\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?)?$)"));
    static const QRegularExpression italian(
        QStringLiteral(R"(^(\d{1,2})[/.-](\d{1,2})[/.-](\d{2}|\d{4})(?: +(\d{1,2})[:.](\d{2})(?:[:.](\d{2}))?)?$)"));
    const QString t = text.trimmed().toString();
    auto num = [](const QRegularExpressionMatch& m, int i) { return m.captured(i).isEmpty() ? 0 : m.captured(i).toInt(); };
    auto millis = [](const QRegularExpressionMatch& m, int i) {
        QString f = m.captured(i);
        return f.isEmpty() ? 0 : f.leftJustified(3, u'0').toInt();
    };
    if (auto m = iso.match(t); m.hasMatch())
        return makeDateTime(num(m, 1), num(m, 2), num(m, 3), num(m, 4), num(m, 5), num(m, 6), millis(m, 7));
    if (auto m = compact.match(t); m.hasMatch())
        return makeDateTime(num(m, 1), num(m, 2), num(m, 3), num(m, 4), num(m, 5), num(m, 6), millis(m, 7));
    if (auto m = italian.match(t); m.hasMatch()) {
        int year = num(m, 3);
        if (m.captured(3).size() == 2)
            year += year < 30 ? 2000 : 1900; // the run-time's two-digit year window
        return makeDateTime(year, num(m, 2), num(m, 1), num(m, 4), num(m, 5), num(m, 6), 0);
    }
    return std::nullopt;
}

QString Value::toText() const {
    switch (kind()) {
    case Kind::Empty:
    case Kind::Null:
    case Kind::Array:
        return {};
    case Kind::Bool:
        return asBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Int:
        return QString::number(asInt());
    case Kind::Decimal:
        return asDecimal().toString();
    case Kind::Double: {
        double d = asDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<std::int64_t>(d));
        return QString::number(d, 'g', 15);
    }
    case Kind::Text:
        return asText();
    case Kind::DateTime: {
        const QDateTime& t = asDateTime();
        if (t.time() == QTime(0, 0))
            return t.date().toString(Qt::ISODate);
        return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    }
    return {};
}

std::optional<scadlav::Decimal> Value::toDecimal() const {
    switch (kind()) {
    case Kind::Empty:
        return scadlav::Decimal();
    case Kind::Bool:
        return scadlav::Decimal::fromInt(asBool() ? -1 : 0); // the run-time's True is -1
    case Kind::Int:
        return scadlav::Decimal::fromInt(asInt());
    case Kind::Decimal:
        return asDecimal();
    case Kind::Double:
        return scadlav::Decimal::fromDouble(asDouble(), 10);
    case Kind::Text: {
        QString t = asText().trimmed();
        if (auto d = scadlav::Decimal::fromString(t))
            return d;
        // Numbers as a user types them in an Italian locale: "1.234,5" or "12,5".
        if (t.contains(u',')) {
            QString plain = t;
            plain.remove(u'.');
            plain.replace(u',', u'.');
            if (auto d = scadlav::Decimal::fromString(plain))
                return d;
        }
        bool ok = false;
        double d = t.toDouble(&ok); // exponent notation
        if (ok)
            return scadlav::Decimal::fromDouble(d, 10);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> Value::toDouble() const {
    if (kind() == Kind::Double)
        return asDouble();
    if (kind() == Kind::Text) {
        bool ok = false;
        double d = asText().trimmed().toDouble(&ok);
        if (ok)
            return d;
    }
    if (auto d = toDecimal())
        return d->toDouble();
    return std::nullopt;
}

std::optional<std::int64_t> Value::toInt64() const {
    if (kind() == Kind::Int)
        return asInt();
    if (kind() == Kind::Double) {
        double d = std::round(asDouble());
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    auto d = toDecimal();
    if (!d)
        return std::nullopt;
    return d->rounded(0).units();
}

std::optional<std::int32_t> Value::toInt32() const {
    auto v = toInt64();
    if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<std::int16_t> Value::toInt16() const {
    auto v = toInt64();
    if (!v || *v < std::numeric_limits<std::int16_t>::min() || *v > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(*v);
}

std::optional<bool> Value::toBool() const {
    switch (kind()) {
    case Kind::Bool:
        return asBool();
    case Kind::Text: {
        QString t = asText().trimmed();
        if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
            return false;
        break;
    }
    default:
        break;
    }
    auto d = toDecimal();
    if (!d)
        return std::nullopt;
    return !d->isZero();
}

std::optional<QDateTime> Value::toDateTime() const {
    switch (kind()) {
    case Kind::DateTime:
        return asDateTime();
    case Kind::Text:
        return parseDateTimeText(asText());
    default:
        return std::nullopt;
    }
}

bool operator==(const Value& a, const Value& b) {
    if (a.isNumeric() && b.isNumeric() && a.kind() != Value::Kind::Bool && b.kind() != Value::Kind::Bool) {
        if (a.kind() == Value::Kind::Double || b.kind() == Value::Kind::Double)
            return a.toDouble() == b.toDouble();
        return a.toDecimal() == b.toDecimal();
    }
    return a.m_data == b.m_data;
}

} // namespace scadlav
