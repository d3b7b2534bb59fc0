#include "module/db/SqlLiteral.h"

#include <QStringList>
#include <cmath>

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
        const QDateTime& t = value.asDateTime();
        QString form = dialect == Dialect::SqlServer ? QStringLiteral("yyyyMMdd HH:mm:ss")
                                                     : QStringLiteral("yyyy-MM-dd HH:mm:ss");
        if (t.time().msec() != 0)
            form += QStringLiteral(".zzz");
        return u'\'' + t.toString(form) + u'\'';
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
