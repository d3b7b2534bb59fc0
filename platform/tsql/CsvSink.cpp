#include "platform/tsql/CsvSink.h"

#include "module/db/DateMillis.h"
#include "platform/tsql/CsvWriter.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace tsql {

using scadlav::Value;
using scadlav::db::Cell;
using scadlav::db::ColumnInfo;
using scadlav::db::DataType;

namespace {

bool isDateType(DataType type) {
    return type == DataType::Date || type == DataType::DBDate || type == DataType::DBTimeStamp;
}

bool isDecimalType(DataType type) {
    return type == DataType::Decimal || type == DataType::Numeric || type == DataType::Currency;
}

// The embedded database's text form of a date-time ("2026-08-31 10:11:12.345"): a computed
// column whose type the database does not know carries dates this way.
bool looksLikeTimestamp(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}(\\.\\d{1,3})?$"));
    return pattern.match(text).hasMatch();
}

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

} // namespace

Value CsvSink::cellValue(const Cell& cell, const ColumnInfo& column) {
    switch (cell.kind) {
    case Cell::Kind::Null:
        return Value::null();
    case Cell::Kind::Int:
        if (column.type == DataType::Boolean)
            return Value(cell.i != 0);
        return Value(static_cast<std::int64_t>(cell.i));
    case Cell::Kind::Double:
        if (isDecimalType(column.type) && column.scale >= 0) {
            if (auto decimal = scadlav::Decimal::fromDouble(cell.d, column.scale))
                return Value(*decimal);
        }
        return Value(cell.d);
    case Cell::Kind::Decimal:
        return Value(scadlav::Decimal(cell.i, cell.scale));
    case Cell::Kind::DateTime:
        return Value(scadlav::db::dateTimeFromMillis(cell.i));
    case Cell::Kind::Text: {
        const QString value = text(cell.text);
        if (isDateType(column.type) || (column.type == DataType::Variant && looksLikeTimestamp(value))) {
            if (auto when = scadlav::parseDateTimeText(value))
                return Value(*when);
        }
        return Value(value);
    }
    case Cell::Kind::Binary:
        return Value(
            QStringLiteral("0x") +
            QString::fromLatin1(
                QByteArray(cell.text.data(), static_cast<qsizetype>(cell.text.size())).toHex().toUpper()));
    }
    return Value::null();
}

void CsvSink::beginResultSet(const std::vector<ColumnInfo>& columns) {
    m_columns = columns;
    if (m_resultSets++ > 0)
        write(QStringLiteral("\r\n"));
    QStringList names;
    for (const ColumnInfo& column : columns)
        names.append(QString::fromStdString(column.name));
    write(CsvWriter::header(names));
}

void CsvSink::row(const Cell* cells, std::size_t count) {
    QList<Value> values;
    values.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count && i < m_columns.size(); ++i)
        values.append(cellValue(cells[i], m_columns[i]));
    write(CsvWriter::record(values));
}

void CsvSink::endResultSet() {
    std::fflush(m_out);
}

void CsvSink::write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
}

} // namespace tsql
