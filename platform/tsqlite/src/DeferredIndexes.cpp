#include "DeferredIndexes.h"

#include "Errors.h"

namespace tsqlite::detail {

namespace {

constexpr const char* kSavepoint = "tsqlite_deferred_indexes";

// Each row of `sql` (with `argument` as its parameter, if any) as text columns, or false on an error.
bool query(sqlite3* db, const std::string& sql, const std::string* argument,
           std::vector<std::vector<std::string>>& rows, std::vector<Error>& errors) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc == SQLITE_OK && argument)
        rc = sqlite3_bind_text(stmt, 1, argument->c_str(), static_cast<int>(argument->size()),
                               SQLITE_TRANSIENT);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(stmt);
        if (rc != SQLITE_ROW)
            break;
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            row.emplace_back(text ? text : "");
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        errors.push_back(errorFromSqlite(db, rc, sql));
        return false;
    }
    return true;
}

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

} // namespace

DeferredIndexes::~DeferredIndexes() {
    rollback();
}

bool DeferredIndexes::run(const std::string& sql, std::vector<Error>& errors) {
    const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        errors.push_back(errorFromSqlite(m_db, rc, sql));
        return false;
    }
    return true;
}

void DeferredIndexes::rollback() {
    if (m_state == State::Transaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    else if (m_state == State::Savepoint)
        sqlite3_exec(m_db, (std::string("ROLLBACK TO ") + kSavepoint + "; RELEASE " + kSavepoint).c_str(),
                     nullptr, nullptr, nullptr);
    m_state = State::Idle;
}

bool DeferredIndexes::begin(const std::string& table, std::vector<Error>& errors) {
    // Indexes made by CREATE INDEX that enforce nothing; a unique one keeps checking each row.
    std::vector<std::vector<std::string>> indexes;
    if (!query(m_db,
               "SELECT m.name, m.sql FROM pragma_index_list(?1) AS l JOIN sqlite_master AS m "
               "ON m.type = 'index' AND m.name = l.name "
               "WHERE l.\"unique\" = 0 AND l.origin = 'c' AND m.sql IS NOT NULL ORDER BY l.seq",
               &table, indexes, errors))
        return false;
    if (indexes.empty())
        return true;
    // Writing from the start: the table is checked empty in the snapshot the insert writes to.
    const bool outside = sqlite3_get_autocommit(m_db) != 0;
    if (!run(outside ? std::string("BEGIN IMMEDIATE") : std::string("SAVEPOINT ") + kSavepoint, errors))
        return false;
    m_state = outside ? State::Transaction : State::Savepoint;
    std::vector<std::vector<std::string>> any;
    if (!query(m_db, "SELECT 1 FROM " + quoted(table) + " LIMIT 1", nullptr, any, errors)) {
        rollback();
        return false;
    }
    if (!any.empty()) {
        // Rows already there would have to be indexed again: cheaper to insert as usual.
        rollback();
        return true;
    }
    for (const auto& index : indexes) {
        if (!run("DROP INDEX " + quoted(index[0]), errors)) {
            rollback();
            return false;
        }
        m_definitions.push_back(index[1]);
    }
    return true;
}

bool DeferredIndexes::finish(bool insertSucceeded, std::vector<Error>& errors) {
    if (!active())
        return true;
    if (!insertSucceeded) {
        rollback();
        return true;
    }
    for (const auto& definition : m_definitions) {
        if (!run(definition, errors)) {
            rollback();
            return false;
        }
    }
    const bool ok = run(
        m_state == State::Transaction ? std::string("COMMIT") : std::string("RELEASE ") + kSavepoint, errors);
    if (!ok)
        rollback();
    m_state = State::Idle;
    return ok;
}

} // namespace tsqlite::detail
