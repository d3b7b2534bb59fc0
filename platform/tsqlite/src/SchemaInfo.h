#pragma once
// What the rewriter needs to know about the database's tables: the declared types of their
// columns. Read from SQLite's catalog and kept until the schema changes.

#include "LocaleFree.h"
#include "SqlType.h"

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tsqlite::detail {

struct ColumnInfo {
    std::string name;
    std::string declType; // normalised T-SQL spelling
};

class SchemaInfo {
public:
    explicit SchemaInfo(sqlite3* db) : m_db(db) {}
    ~SchemaInfo();
    SchemaInfo(const SchemaInfo&) = delete;
    SchemaInfo& operator=(const SchemaInfo&) = delete;

    // Checks the schema cookies; when another statement or connection changed the schema,
    // forgets the columns of the tables whose definition changed. Returns the current generation (it grows
    // with every change seen).
    std::uint64_t refresh();
    std::uint64_t generation() const { return m_generation; }
    // Forgets everything at once, when a prepared statement saw the schema change.
    void invalidate();

    // Columns of a table or view (name compared without case), or nothing when it does not exist.
    const std::vector<ColumnInfo>* columns(const std::string& table);

    // The declared type of a column name, looked up over every table and view; empty when the
    // name is unknown or its tables disagree on the kind of type.
    std::string columnType(const std::string& column);

private:
    void loadAll();
    std::optional<std::vector<ColumnInfo>> load(const std::string& schema, const std::string& table);
    std::int64_t cookie(sqlite3_stmt*& stmt, const char* sql);
    // The text of every table and view, by lower-case name (temporary and main together).
    std::map<std::string, std::string> readDefinitions();

    sqlite3* m_db;
    sqlite3_stmt* m_mainCookie = nullptr;
    sqlite3_stmt* m_tempCookie = nullptr;
    std::int64_t m_mainVersion = -1;
    std::int64_t m_tempVersion = -1;
    std::uint64_t m_generation = 0;
    std::map<std::string, std::optional<std::vector<ColumnInfo>>> m_tables; // key: lower-case name
    std::map<std::string, std::string> m_definitions; // the texts the cached columns were read under
    bool m_allLoaded = false;
    std::map<std::string, std::string> m_columnTypes; // lower-case column name -> type ("" when ambiguous)
};

} // namespace tsqlite::detail
