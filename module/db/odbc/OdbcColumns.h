#pragma once

#include "module/db/IBackend.h"
#include "module/db/odbc/OdbcText.h"

#include <sql.h>

#include <vector>

namespace scadlav::db::odbc {

// How a column's cells are read from the driver.
enum class FetchAs { Integer, Double, DecimalText, WideText, Timestamp, Binary };

struct ResultColumn {
    ColumnInfo info;
    FetchAs fetch = FetchAs::WideText;
};

// The field type and the way of reading for a driver's SQL type. `typeName` is the data
// source's own name for the type: it tells money apart from decimal, and decimals that a
// driver reports as text or floating point (SQLite's) apart from real text.
ResultColumn classifyColumn(SQLSMALLINT sqlType, std::string_view typeName);

// Describes the columns of the current result set of `stmt` (name, type, size, precision and
// scale, nullability, base table and column as the driver reports them). False with the
// driver's errors when it cannot describe them.
bool describeColumns(SQLHSTMT stmt, SQLSMALLINT count, TextMode mode, std::vector<ResultColumn>& columns,
                     std::vector<ProviderError>& errors);

} // namespace scadlav::db::odbc
