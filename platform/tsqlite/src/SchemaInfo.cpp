#include "SchemaInfo.h"
#include "LocaleFree.h"

#include "Runner.h"

#include <cctype>

namespace tsqlite::detail {

SchemaInfo::~SchemaInfo() {
    sqlite3_finalize(m_mainCookie);
    sqlite3_finalize(m_tempCookie);
}

std::int64_t SchemaInfo::cookie(sqlite3_stmt*& stmt, const char* sql) {
    if (!stmt && sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        return -1;
    std::int64_t value = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    return value;
}

void SchemaInfo::invalidate() {
    m_mainVersion = m_tempVersion = -1;
    m_tables.clear();
    m_definitions.clear();
    refresh();
}

std::uint64_t SchemaInfo::refresh() {
    const std::int64_t main = cookie(m_mainCookie, "PRAGMA main.schema_version");
    const std::int64_t temp = cookie(m_tempCookie, "PRAGMA temp.schema_version");
    if (main != m_mainVersion || temp != m_tempVersion) {
        m_mainVersion = main;
        m_tempVersion = temp;
        ++m_generation;
        // Only the tables whose definition changed are read again: a work table created for
        // every order line must not cost reading the columns of every table of the database.
        std::map<std::string, std::string> definitions = readDefinitions();
        for (auto it = m_tables.begin(); it != m_tables.end();) {
            const auto before = m_definitions.find(it->first);
            const auto now = definitions.find(it->first);
            const bool same =
                (before == m_definitions.end() && now == definitions.end()) ||
                (before != m_definitions.end() && now != definitions.end() && before->second == now->second);
            it = same ? std::next(it) : m_tables.erase(it);
        }
        m_definitions = std::move(definitions);
        m_columnTypes.clear();
        m_allLoaded = false;
    }
    return m_generation;
}

std::map<std::string, std::string> SchemaInfo::readDefinitions() {
    std::map<std::string, std::string> definitions;
    // A local temporary table shadows a main table of the same name: both texts count.
    for (const char* sql : {"SELECT name, sql FROM temp.sqlite_schema WHERE type IN ('table','view')",
                            "SELECT name, sql FROM main.sqlite_schema WHERE type IN ('table','view')"}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            continue;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* name = sqlite3_column_text(stmt, 0);
            const auto* text = sqlite3_column_text(stmt, 1);
            if (!name)
                continue;
            std::string& definition = definitions[lowerCase(reinterpret_cast<const char*>(name))];
            definition += text ? reinterpret_cast<const char*>(text) : "";
            definition += '\x1f';
        }
        sqlite3_finalize(stmt);
    }
    return definitions;
}

std::optional<std::vector<ColumnInfo>> SchemaInfo::load(const std::string& schema, const std::string& table) {
    std::string sql = "PRAGMA " + schema + ".table_info(\"";
    for (char c : table)
        sql += c == '"' ? std::string("\"\"") : std::string(1, c);
    sql += "\")";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    std::vector<ColumnInfo> columns;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ColumnInfo c;
        if (auto* name = sqlite3_column_text(stmt, 1))
            c.name = reinterpret_cast<const char*>(name);
        if (auto* type = sqlite3_column_text(stmt, 2))
            c.declType = normaliseType(reinterpret_cast<const char*>(type));
        columns.push_back(std::move(c));
    }
    sqlite3_finalize(stmt);
    if (columns.empty())
        return std::nullopt;
    return columns;
}

const std::vector<ColumnInfo>* SchemaInfo::columns(const std::string& table) {
    const std::string key = lowerCase(table);
    auto it = m_tables.find(key);
    if (it == m_tables.end()) {
        // Local temporary tables ("#x") shadow the main schema, as SQLite resolves names.
        auto found = load("temp", table);
        if (!found)
            found = load("main", table);
        it = m_tables.emplace(key, std::move(found)).first;
    }
    return it->second ? &*it->second : nullptr;
}

void SchemaInfo::loadAll() {
    m_allLoaded = true;
    std::vector<std::string> names;
    for (const char* sql : {"SELECT name FROM main.sqlite_schema WHERE type IN ('table','view')",
                            "SELECT name FROM temp.sqlite_schema WHERE type IN ('table','view')"}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            continue;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    for (const auto& name : names) {
        const auto* cols = columns(name);
        if (!cols)
            continue;
        for (const auto& c : *cols) {
            const std::string key = lowerCase(c.name);
            auto found = m_columnTypes.find(key);
            if (found == m_columnTypes.end()) {
                m_columnTypes.emplace(key, c.declType);
            } else if (!found->second.empty() && found->second != c.declType &&
                       parseSqlType(found->second).cls != parseSqlType(c.declType).cls) {
                found->second.clear();
            }
        }
    }
}

std::string SchemaInfo::columnType(const std::string& column) {
    if (!m_allLoaded)
        loadAll();
    auto it = m_columnTypes.find(lowerCase(column));
    return it == m_columnTypes.end() ? std::string() : it->second;
}

} // namespace tsqlite::detail
