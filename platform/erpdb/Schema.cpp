#include "erpdb.h"

#include "SchemaScript.h"

#include <sqlite3.h>

namespace erpdb {

bool createSchema(tsqlite::Connection& connection, std::vector<tsqlite::Error>& errors) {
    for (std::string_view statement : detail::schemaStatements()) {
        if (!connection.execute(statement, nullptr, errors, {true, 0, {}}))
            return false;
    }
    return true;
}

bool hasSchema(tsqlite::Connection& connection) {
    sqlite3_stmt* stmt = nullptr;
    const char* sql =
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'PD5C_SCADLAV' COLLATE NOCASE";
    if (sqlite3_prepare_v2(connection.handle(), sql, -1, &stmt, nullptr) != SQLITE_OK)
        return false;
    const bool found = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

} // namespace erpdb
