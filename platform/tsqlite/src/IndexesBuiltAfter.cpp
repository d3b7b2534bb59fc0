// An INSERT ... SELECT into an empty table builds the table's non-unique indexes after the rows
// instead of keeping each up row by row. Keys that arrive in no useful order cost a descent of
// every index tree per row, which grows faster than the rows; building an index afterwards
// sorts its keys once and writes the tree in order. It all happens in one write transaction:
// no other session ever sees the table without its indexes, and a failure leaves the table and
// its indexes as they were. Unique indexes stay, so a duplicate fails the statement as before.
#include "Errors.h"
#include "Impl.h"
#include "Lexer.h"
#include "SyntaxTree.h"

#include <optional>
#include <utility>

namespace tsqlite {

using namespace detail;

namespace {

// The table an INSERT ... SELECT writes to; nothing for any other statement.
std::optional<std::string> insertSelectTarget(const std::vector<Token>& tokens) {
    if (tokens.size() < 4 || !tokens[0].is("INSERT"))
        return std::nullopt;
    std::size_t i = 1;
    if (tokens[i].is("INTO"))
        ++i;
    if (i + 2 < tokens.size() && tokens[i].is("dbo") && tokens[i + 1].isOp("."))
        i += 2;
    const Token& table = tokens[i];
    if (table.kind != TokenKind::Word && table.kind != TokenKind::Quoted)
        return std::nullopt;
    int depth = 0;
    for (std::size_t k = i + 1; k < tokens.size(); ++k) {
        if (tokens[k].kind == TokenKind::LParen)
            ++depth;
        else if (tokens[k].kind == TokenKind::RParen)
            --depth;
        else if (depth == 0 && tokens[k].is("VALUES"))
            return std::nullopt;
        else if (depth == 0 && tokens[k].is("SELECT"))
            return table.text;
    }
    return std::nullopt;
}

bool tableIsEmpty(sqlite3* db, const std::string& table) {
    const std::string sql = "SELECT 1 FROM main." + quoteName(table) + " LIMIT 1";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    const bool empty = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    return empty;
}

// Name and CREATE statement of each non-unique index of the table.
std::vector<std::pair<std::string, std::string>> plainIndexes(sqlite3* db, const std::string& table) {
    std::vector<std::pair<std::string, std::string>> out;
    sqlite3_stmt* stmt = nullptr;
    const char* sql = "SELECT name, sql FROM main.sqlite_master WHERE type = 'index' AND tbl_name = ?1 "
                      "COLLATE NOCASE AND sql IS NOT NULL AND sql NOT LIKE 'CREATE UNIQUE%'";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3_bind_text(stmt, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    sqlite3_finalize(stmt);
    return out;
}

} // namespace

bool Connection::Impl::executeBuildingIndexesAfter(const std::vector<Token>& tokens, ResultSink* sink,
                                                   std::vector<Error>& errors, const ExecOptions& options,
                                                   std::int64_t* rowsAffected, bool& handled) {
    handled = false;
    const std::optional<std::string> table = insertSelectTarget(tokens);
    if (!table || !sqlite3_get_autocommit(db))
        return false;
    // A first look without the write lock, so that an insert into a table with rows, or without
    // such indexes, does not take the lock twice.
    if (!tableIsEmpty(db, *table) || plainIndexes(db, *table).empty())
        return false;
    // Looked at again under the lock: nobody may fill the table or change its indexes after.
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false; // the statement then runs as written and meets the lock itself
    const auto indexes = tableIsEmpty(db, *table) ? plainIndexes(db, *table)
                                                  : std::vector<std::pair<std::string, std::string>>{};
    if (indexes.empty()) {
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        return false;
    }
    for (const auto& index : indexes) {
        // An index cannot be dropped while a statement of this connection still reads the table:
        // the statement then runs as written.
        const std::string drop = "DROP INDEX main." + quoteName(index.first);
        if (sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            schema->invalidate();
            return false;
        }
    }
    handled = true;
    buildingIndexesAfter = true;
    bool ok = executeStatement(tokens, 0, sink, errors, options, rowsAffected);
    buildingIndexesAfter = false;
    for (std::size_t i = 0; ok && i < indexes.size(); ++i) {
        if (const int rc = sqlite3_exec(db, indexes[i].second.c_str(), nullptr, nullptr, nullptr);
            rc != SQLITE_OK) {
            errors.push_back(errorFromSqlite(db, rc, indexes[i].second));
            ok = false;
        }
    }
    if (ok) {
        if (const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK) {
            errors.push_back(errorFromSqlite(db, rc, "COMMIT"));
            ok = false;
        }
    }
    if (!ok && !sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    schema->invalidate();
    return ok;
}

} // namespace tsqlite
