#include "platform/tsql/CsvWriter.h"

#include "module/value/CsvField.h"

#include <QLocale>
#include <cmath>

namespace tsql {

namespace {

QString doubleText(double d) {
    if (!std::isfinite(d))
        return QString::number(d);
    // The shortest text that reads back as the same double, in fixed notation.
    QString text = QString::number(d, 'f', QLocale::FloatingPointShortest);
    if (text == u"-0")
        text = QStringLiteral("0");
    return text;
}

} // namespace

QString CsvWriter::fieldText(const scadlav::Value& value) {
    using Kind = scadlav::Value::Kind;
    switch (value.kind()) {
    case Kind::Empty:
    case Kind::Null:
        return {};
    case Kind::Bool:
        return value.asBool() ? QStringLiteral("1") : QStringLiteral("0");
    case Kind::Int:
        return QString::number(value.asInt());
    case Kind::Decimal:
        return value.asDecimal().toString();
    case Kind::Double:
        return doubleText(value.asDouble());
    case Kind::DateTime:
        return value.asDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind::Text:
        return value.asText();
    case Kind::Array:
        break;
    }
    return value.toText();
}

QString CsvWriter::header(const QStringList& names) {
    return scadlav::csvLine(names);
}

QString CsvWriter::record(const QList<scadlav::Value>& values) {
    QStringList fields;
    fields.reserve(values.size());
    for (const scadlav::Value& value : values)
        fields.append(fieldText(value));
    return scadlav::csvLine(fields);
}

} // namespace tsql
