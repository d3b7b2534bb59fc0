#include "module/db/odbc/OdbcResultReader.h"

#include "module/db/odbc/OdbcCatalog.h"
#include "module/db/odbc/OdbcDiagnostics.h"
#include "module/db/odbc/OdbcText.h"

#include <sqlext.h>

#include <QDate>
#include <QString>
#include <algorithm>

namespace scadlav::db::odbc {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr qint64 kJulianDayOf1970 = 2'440'588;

bool timestampToMs(const SQL_TIMESTAMP_STRUCT& ts, std::int64_t& ms) {
    const QDate date(ts.year, ts.month, ts.day);
    if (!date.isValid() || ts.hour > 23 || ts.minute > 59 || ts.second > 59)
        return false;
    ms = (date.toJulianDay() - kJulianDayOf1970) * kMsPerDay +
         ((ts.hour * 60 + ts.minute) * 60 + ts.second) * std::int64_t{1000} + ts.fraction / 1'000'000;
    return true;
}

} // namespace

bool OdbcResultReader::readAll(SQLRETURN executed, bool noRecords, IRowSink* sink,
                               std::vector<ProviderError>& errors, std::int64_t* rowsAffected) {
    std::int64_t affected = -1;
    SQLRETURN rc = executed;
    bool ok = true;
    for (;;) {
        if (rc == SQL_NO_DATA) {
            // A searched UPDATE or DELETE that found no row.
            affected = 0;
        } else if (SQL_SUCCEEDED(rc)) {
            SQLSMALLINT columnCount = 0;
            if (!SQL_SUCCEEDED(SQLNumResultCols(m_stmt, &columnCount))) {
                appendDiagnostics(SQL_HANDLE_STMT, m_stmt, "reading a result", errors, m_mode);
                ok = false;
                break;
            }
            if (columnCount > 0) {
                if (!readResultSet(columnCount, noRecords ? nullptr : sink, errors)) {
                    ok = false;
                    break;
                }
            } else {
                SQLLEN count = -1;
                if (SQL_SUCCEEDED(SQLRowCount(m_stmt, &count)) && count >= 0)
                    affected = count;
            }
        } else {
            appendDiagnostics(SQL_HANDLE_STMT, m_stmt, "running the statement", errors, m_mode);
            ok = false;
            break;
        }
        // A batch answers with one result per statement; an error of a later statement
        // shows up here.
        rc = SQLMoreResults(m_stmt);
        if (rc == SQL_NO_DATA)
            break;
    }
    if (rowsAffected)
        *rowsAffected = affected;
    return ok;
}

bool OdbcResultReader::readResultSet(SQLSMALLINT columnCount, IRowSink* sink,
                                     std::vector<ProviderError>& errors) {
    if (!sink)
        return true; // the next SQLMoreResults discards the rows
    if (!describeColumns(m_stmt, columnCount, m_mode, m_columns, errors))
        return false;
    std::vector<ColumnInfo> infos;
    infos.reserve(m_columns.size());
    for (ResultColumn& column : m_columns) {
        if (m_catalog)
            m_catalog->resolve(column.info);
        infos.push_back(column.info);
    }
    m_storage.assign(m_columns.size(), std::string());
    std::vector<Cell> cells(m_columns.size());

    sink->beginResultSet(infos);
    bool ok = true;
    for (;;) {
        SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            appendDiagnostics(SQL_HANDLE_STMT, m_stmt, "fetching a row", errors, m_mode);
            ok = false;
            break;
        }
        for (std::size_t i = 0; i < cells.size() && ok; ++i) {
            if (!readCell(i, cells[i])) {
                appendDiagnostics(SQL_HANDLE_STMT, m_stmt, "reading a field", errors, m_mode);
                ok = false;
            }
        }
        if (!ok)
            break;
        sink->row(cells.data(), cells.size());
    }
    sink->endResultSet();
    return ok;
}

bool OdbcResultReader::readCell(std::size_t index, Cell& cell) {
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    std::string& storage = m_storage[index];
    cell = Cell{};
    SQLLEN indicator = 0;
    switch (m_columns[index].fetch) {
    case FetchAs::Integer: {
        SQLBIGINT value = 0;
        if (!SQL_SUCCEEDED(SQLGetData(m_stmt, column, SQL_C_SBIGINT, &value, sizeof(value), &indicator)))
            return false;
        if (indicator != SQL_NULL_DATA) {
            cell.kind = Cell::Kind::Int;
            cell.i = value;
        }
        return true;
    }
    case FetchAs::Double: {
        double value = 0;
        if (!SQL_SUCCEEDED(SQLGetData(m_stmt, column, SQL_C_DOUBLE, &value, sizeof(value), &indicator)))
            return false;
        if (indicator != SQL_NULL_DATA) {
            cell.kind = Cell::Kind::Double;
            cell.d = value;
        }
        return true;
    }
    case FetchAs::DecimalText: {
        char buffer[128] = {};
        if (!SQL_SUCCEEDED(SQLGetData(m_stmt, column, SQL_C_CHAR, buffer, sizeof(buffer), &indicator)))
            return false;
        if (indicator == SQL_NULL_DATA)
            return true;
        storage.assign(buffer);
        const QString text =
            QString::fromLatin1(storage.data(), static_cast<qsizetype>(storage.size())).trimmed();
        if (auto decimal = scadlav::Decimal::fromString(text); decimal && decimal->scale() <= 255) {
            cell.kind = Cell::Kind::Decimal;
            cell.i = decimal->units();
            cell.scale = static_cast<std::uint8_t>(decimal->scale());
        } else {
            // More digits than an exact decimal holds, or not a number at all: the record set
            // converts the text as it can.
            cell.kind = Cell::Kind::Text;
            cell.text = storage;
        }
        return true;
    }
    case FetchAs::Timestamp: {
        SQL_TIMESTAMP_STRUCT value{};
        if (!SQL_SUCCEEDED(
                SQLGetData(m_stmt, column, SQL_C_TYPE_TIMESTAMP, &value, sizeof(value), &indicator)))
            return false;
        if (indicator == SQL_NULL_DATA)
            return true;
        std::int64_t ms = 0;
        if (timestampToMs(value, ms)) {
            cell.kind = Cell::Kind::DateTime;
            cell.i = ms;
        }
        return true;
    }
    case FetchAs::WideText: {
        bool isNull = false;
        if (!readTextField(m_stmt, column, m_mode, storage, isNull))
            return false;
        if (!isNull) {
            cell.kind = Cell::Kind::Text;
            cell.text = storage;
        }
        return true;
    }
    case FetchAs::Binary: {
        bool isNull = false;
        if (!readBinary(column, storage, isNull))
            return false;
        if (!isNull) {
            cell.kind = Cell::Kind::Binary;
            cell.text = storage;
        }
        return true;
    }
    }
    return true;
}

bool OdbcResultReader::readBinary(SQLUSMALLINT column, std::string& out, bool& isNull) {
    return readFieldPieces(m_stmt, column, SQL_C_BINARY, 0, out, isNull);
}

} // namespace scadlav::db::odbc
