#include "module/db/odbc/OdbcCatalog.h"

#include "module/db/odbc/OdbcHandle.h"
#include "module/db/odbc/OdbcText.h"

#include <QString>

namespace scadlav::db::odbc {

namespace {

std::string folded(const std::string& name) {
    return QString::fromStdString(name).toCaseFolded().toStdString();
}

// Collects column `nameColumn` of the rows of a catalog result whose table name (column 3)
// is `table`: table names are patterns for some catalog functions, so other tables may match.
void collectNames(SQLHSTMT stmt, TextMode mode, const std::string& table, SQLUSMALLINT nameColumn,
                  std::set<std::string>& names) {
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        std::string tableName;
        std::string name;
        bool isNull = false;
        if (!readTextField(stmt, 3, mode, tableName, isNull) || isNull || folded(tableName) != table)
            continue;
        if (readTextField(stmt, nameColumn, mode, name, isNull) && !isNull)
            names.insert(folded(name));
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
}

SQLRETURN listColumns(SQLHSTMT stmt, const std::string& table, TextMode mode) {
    if (mode == TextMode::Wide) {
        WideText wide = toWide(table);
        return SQLColumnsW(stmt, nullptr, 0, nullptr, 0, wideData(wide), SQL_NTS, nullptr, 0);
    }
    std::string narrow = table;
    return SQLColumns(stmt, nullptr, 0, nullptr, 0, narrowData(narrow), SQL_NTS, nullptr, 0);
}

SQLRETURN listPrimaryKeys(SQLHSTMT stmt, const std::string& table, TextMode mode) {
    if (mode == TextMode::Wide) {
        WideText wide = toWide(table);
        return SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, wideData(wide), SQL_NTS);
    }
    std::string narrow = table;
    return SQLPrimaryKeys(stmt, nullptr, 0, nullptr, 0, narrowData(narrow), SQL_NTS);
}

} // namespace

void OdbcCatalog::resolve(ColumnInfo& column) {
    // Temporary tables live in another catalog (tempdb) that the lookup would not find.
    if (column.baseTable.empty() || column.baseTable.front() == '#')
        return;
    const Table& info = table(column.baseTable);
    if (!info.known)
        return;
    const std::string name = folded(column.baseColumn);
    if (!info.columns.contains(name)) {
        column.baseTable.clear();
        column.baseColumn.clear();
        return;
    }
    column.inPrimaryKey = info.keys.contains(name);
}

const OdbcCatalog::Table& OdbcCatalog::table(const std::string& name) {
    const std::string key = folded(name);
    auto it = m_tables.find(key);
    if (it != m_tables.end())
        return it->second;
    // A table the catalog does not list yet is asked for again next time: it may be created
    // in between.
    Table info = read(name);
    if (!info.known) {
        m_unknown = std::move(info);
        return m_unknown;
    }
    return m_tables.emplace(key, std::move(info)).first->second;
}

OdbcCatalog::Table OdbcCatalog::read(const std::string& name) {
    Table result;
    SQLHDBC connection = m_connection ? m_connection() : SQL_NULL_HANDLE;
    if (connection == SQL_NULL_HANDLE)
        return result;
    OdbcHandle stmt;
    if (!stmt.allocate(SQL_HANDLE_STMT, connection))
        return result;

    const std::string key = folded(name);
    if (SQL_SUCCEEDED(listColumns(stmt.get(), name, m_mode)))
        collectNames(stmt.get(), m_mode, key, 4, result.columns);
    result.known = !result.columns.empty();
    if (result.known && SQL_SUCCEEDED(listPrimaryKeys(stmt.get(), name, m_mode)))
        collectNames(stmt.get(), m_mode, key, 4, result.keys);
    return result;
}

} // namespace scadlav::db::odbc
