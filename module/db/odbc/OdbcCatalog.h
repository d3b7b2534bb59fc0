#pragma once

#include "module/db/IBackend.h"
#include "module/db/odbc/OdbcText.h"

#include <sql.h>

#include <functional>
#include <map>
#include <set>
#include <string>

namespace scadlav::db::odbc {

// What the database's catalog says about the base tables of result columns: the names of
// their columns and of their primary-key columns, read once per table and kept. Write-back of
// an edited row locates it by the key, so a result column learns here whether it is a key
// column, and loses a base column the table does not have (some drivers report an alias).
class OdbcCatalog {
public:
    // `connection` gives the connection handle to read the catalog on; it may open one on
    // first use, and returns SQL_NULL_HANDLE when none is available.
    explicit OdbcCatalog(std::function<SQLHDBC()> connection) : m_connection(std::move(connection)) {}

    void setTextMode(TextMode mode) { m_mode = mode; }
    void resolve(ColumnInfo& column);
    // Forgets what was read, after the text sent may have changed a table's structure.
    void clear() { m_tables.clear(); }

private:
    struct Table {
        bool known = false; // the catalog listed the table's columns
        std::set<std::string> columns;
        std::set<std::string> keys;
    };

    const Table& table(const std::string& name);
    Table read(const std::string& name);

    std::function<SQLHDBC()> m_connection;
    TextMode m_mode = TextMode::Wide;
    std::map<std::string, Table> m_tables; // by case-folded name
    Table m_unknown;
};

} // namespace scadlav::db::odbc
