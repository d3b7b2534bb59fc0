#include "module/db/SqlLiteral.h"

#include <QStringList>
#include <cmath>
#include <cstdio>

namespace scadlav::db {

QString sqlLiteral(const Value& value, Dialect dialect, bool unicodeText) {
    switch (value.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
    case Value::Kind::Array:
        return QStringLiteral("NULL");
    case Value::Kind::Bool:
        return value.asBool() ? QStringLiteral("1") : QStringLiteral("0");
    case Value::Kind::Int:
        return QString::number(value.asInt());
    case Value::Kind::Decimal:
        return value.asDecimal().toString();
    case Value::Kind::Double: {
        const double d = value.asDouble();
        if (!std::isfinite(d))
            return QStringLiteral("NULL");
        return QString::number(d, 'g', 17);
    }
    case Value::Kind::Text: {
        QString text = value.asText();
        text.replace(u'\'', QStringLiteral("''"));
        const bool n = unicodeText && dialect == Dialect::SqlServer;
        return (n ? QStringLiteral("N'") : QStringLiteral("'")) + text + u'\'';
    }
    case Value::Kind::DateTime: {
        // Written digit by digit: a write-back of a row with ten dates formats ten of them,
        // and QDateTime::toString reads its format pattern again for each.
        const QDateTime& t = value.asDateTime();
        const QDate d = t.date();
        const QTime h = t.time();
        if (!t.isValid() || d.year() < 1 || d.year() > 9999)
            return QStringLiteral("''");
        char buffer[40];
        const int length =
            dialect == Dialect::SqlServer
                ? std::snprintf(buffer, sizeof buffer, "'%04d%02d%02d %02d:%02d:%02d", d.year(), d.month(),
                                d.day(), h.hour(), h.minute(), h.second())
                : std::snprintf(buffer, sizeof buffer, "'%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(),
                                d.day(), h.hour(), h.minute(), h.second());
        QString out = QString::fromLatin1(buffer, length);
        if (h.msec() != 0)
            out += QString::asprintf(".%03d", h.msec());
        return out + u'\'';
    }
    }
    return QStringLiteral("NULL");
}

QString sqlIdentifier(const QString& name) {
    QString plain = name.trimmed();
    if (plain.startsWith(u'[') && plain.endsWith(u']') && !plain.contains(QStringLiteral("].")))
        return plain;
    const QStringList parts = plain.split(u'.');
    QStringList quoted;
    for (QString part : parts) {
        if (part.isEmpty()) { // "tempdb..#T": the owner left out
            quoted << part;
            continue;
        }
        part.replace(u']', QStringLiteral("]]"));
        quoted << u'[' + part + u']';
    }
    return quoted.join(u'.');
}

} // namespace scadlav::db
