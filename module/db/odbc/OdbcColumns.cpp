#include "module/db/odbc/OdbcColumns.h"

#include "module/db/odbc/OdbcDiagnostics.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <QByteArray>
#include <algorithm>
#include <climits>

namespace scadlav::db::odbc {

namespace {

// SQL Server's own types as its drivers report them.
constexpr SQLSMALLINT kSsVariant = -150;
constexpr SQLSMALLINT kSsTime2 = -154;
constexpr SQLSMALLINT kSsTimestampOffset = -155;

bool typeNameIs(std::string_view typeName, std::string_view expected) {
    return QByteArray(typeName.data(), static_cast<qsizetype>(typeName.size()))
               .trimmed()
               .compare(QByteArray(expected.data(), static_cast<qsizetype>(expected.size())),
                        Qt::CaseInsensitive) == 0;
}

ResultColumn make(DataType type, FetchAs fetch) {
    ResultColumn column;
    column.info.type = type;
    column.fetch = fetch;
    return column;
}

int clampedSize(SQLULEN size) {
    return size > static_cast<SQLULEN>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

} // namespace

ResultColumn classifyColumn(SQLSMALLINT sqlType, std::string_view typeName) {
    if (typeNameIs(typeName, "money") || typeNameIs(typeName, "smallmoney"))
        return make(DataType::Currency, FetchAs::DecimalText);
    if (typeNameIs(typeName, "decimal"))
        return make(DataType::Decimal, FetchAs::DecimalText);
    if (typeNameIs(typeName, "numeric"))
        return make(DataType::Numeric, FetchAs::DecimalText);

    switch (sqlType) {
    case SQL_BIT:
        return make(DataType::Boolean, FetchAs::Integer);
    case SQL_TINYINT:
        return make(DataType::UnsignedTinyInt, FetchAs::Integer);
    case SQL_SMALLINT:
        return make(DataType::SmallInt, FetchAs::Integer);
    case SQL_INTEGER:
        return make(DataType::Integer, FetchAs::Integer);
    case SQL_BIGINT:
        return make(DataType::BigInt, FetchAs::Integer);
    case SQL_REAL:
        return make(DataType::Single, FetchAs::Double);
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return make(DataType::Double, FetchAs::Double);
    case SQL_DECIMAL:
        return make(DataType::Decimal, FetchAs::DecimalText);
    case SQL_NUMERIC:
        return make(DataType::Numeric, FetchAs::DecimalText);
    case SQL_CHAR:
        return make(DataType::Char, FetchAs::WideText);
    case SQL_VARCHAR:
        return make(DataType::VarChar, FetchAs::WideText);
    case SQL_LONGVARCHAR:
        return make(DataType::LongVarChar, FetchAs::WideText);
    case SQL_WCHAR:
        return make(DataType::WChar, FetchAs::WideText);
    case SQL_WVARCHAR:
        return make(DataType::VarWChar, FetchAs::WideText);
    case SQL_WLONGVARCHAR:
        return make(DataType::LongVarWChar, FetchAs::WideText);
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return make(DataType::DBDate, FetchAs::Timestamp);
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return make(DataType::DBTimeStamp, FetchAs::Timestamp);
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case kSsTime2:
        // A time of day has no date to carry it: it is kept as its text.
        return make(DataType::DBTime, FetchAs::WideText);
    case kSsTimestampOffset:
        return make(DataType::VarWChar, FetchAs::WideText);
    case SQL_GUID:
        return make(DataType::Guid, FetchAs::WideText);
    case SQL_BINARY:
        return make(DataType::Binary, FetchAs::Binary);
    case SQL_VARBINARY:
        return make(DataType::VarBinary, FetchAs::Binary);
    case SQL_LONGVARBINARY:
        return make(DataType::LongVarBinary, FetchAs::Binary);
    case kSsVariant:
    default:
        return make(DataType::Variant, FetchAs::WideText);
    }
}

bool describeColumns(SQLHSTMT stmt, SQLSMALLINT count, TextMode mode, std::vector<ResultColumn>& columns,
                     std::vector<ProviderError>& errors) {
    columns.clear();
    columns.reserve(static_cast<std::size_t>(count));
    for (SQLUSMALLINT index = 1; index <= static_cast<SQLUSMALLINT>(count); ++index) {
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
        // The name is read below in the connection's text mode; some drivers dislike a missing
        // name buffer, so a small one is passed and ignored.
        SQLCHAR ignoredName[8] = {};
        SQLSMALLINT ignoredLength = 0;
        SQLRETURN rc = SQLDescribeCol(stmt, index, ignoredName, sizeof(ignoredName), &ignoredLength, &sqlType,
                                      &size, &digits, &nullable);
        if (!SQL_SUCCEEDED(rc)) {
            appendDiagnostics(SQL_HANDLE_STMT, stmt, "describing a result column", errors, mode);
            return false;
        }
        ResultColumn column =
            classifyColumn(sqlType, columnTextAttribute(stmt, index, SQL_DESC_TYPE_NAME, mode));
        ColumnInfo& info = column.info;
        info.name = columnTextAttribute(stmt, index, SQL_DESC_NAME, mode);
        info.nullable = nullable != SQL_NO_NULLS;

        switch (column.fetch) {
        case FetchAs::DecimalText:
            if (sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC) {
                info.precision = clampedSize(size);
                info.scale = digits;
            } else {
                // The driver reports the decimal as text or floating point: its size is the
                // precision, the scale it does not tell.
                info.precision = clampedSize(size);
                info.scale = -1;
            }
            break;
        case FetchAs::WideText:
        case FetchAs::Binary:
            info.definedSize = clampedSize(size);
            break;
        case FetchAs::Integer:
        case FetchAs::Double:
            info.precision = clampedSize(size);
            break;
        case FetchAs::Timestamp:
            break;
        }

        info.baseTable = columnTextAttribute(stmt, index, SQL_DESC_BASE_TABLE_NAME, mode);
        if (!info.baseTable.empty())
            info.baseColumn = columnTextAttribute(stmt, index, SQL_DESC_BASE_COLUMN_NAME, mode);
        if (info.baseColumn.empty())
            info.baseTable.clear();
        columns.push_back(std::move(column));
    }
    return true;
}

} // namespace scadlav::db::odbc
