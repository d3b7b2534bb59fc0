#pragma once

#include "module/db/IBackend.h"
#include "module/db/odbc/OdbcColumns.h"

#include <sql.h>

#include <string>
#include <vector>

namespace scadlav::db::odbc {

class OdbcCatalog;

// Reads everything an executed statement returns: each result set with rows (described,
// completed from the catalog and streamed into a sink row by row), the row counts of the
// statements that changed data, and the errors raised on the way, in the order the server
// sent them.
class OdbcResultReader {
public:
    OdbcResultReader(SQLHSTMT stmt, TextMode mode, OdbcCatalog* catalog)
        : m_stmt(stmt), m_mode(mode), m_catalog(catalog) {}

    // `executed` is what SQLExecDirect or SQLExecute returned. With `noRecords` (or no sink)
    // result rows are skipped. `rowsAffected` receives the count of the last statement that
    // changed data, -1 when none did. False at the first error, with the driver's errors.
    bool readAll(SQLRETURN executed, bool noRecords, IRowSink* sink, std::vector<ProviderError>& errors,
                 std::int64_t* rowsAffected);

private:
    bool readResultSet(SQLSMALLINT columnCount, IRowSink* sink, std::vector<ProviderError>& errors);
    bool readCell(std::size_t index, Cell& cell);
    bool readBinary(SQLUSMALLINT column, std::string& out, bool& isNull);

    SQLHSTMT m_stmt;
    TextMode m_mode;
    OdbcCatalog* m_catalog;
    std::vector<ResultColumn> m_columns;
    std::vector<std::string> m_storage; // per column, backs the text views of the current row
};

} // namespace scadlav::db::odbc
