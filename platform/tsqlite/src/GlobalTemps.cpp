#include "GlobalTemps.h"

#include "Errors.h"
#include "Identity.h"
#include "SyntaxTree.h"

#include <utility>

namespace tsqlite::detail {
namespace {

bool exec(sqlite3* db, const std::string& sql, std::vector<Error>* errors) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK && errors)
        errors->push_back(errorFromSqlite(db, rc, sql));
    return rc == SQLITE_OK;
}

struct Owner {
    std::string name;
    ProcessIdentity process;
};

std::vector<Owner> owners(sqlite3* db, const char* sql, const std::string& bind) {
    std::vector<Owner> out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return out;
    if (!bind.empty())
        sqlite3_bind_text(stmt, 1, bind.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        Owner o;
        o.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        o.process.pid = sqlite3_column_int64(stmt, 1);
        o.process.startTime = sqlite3_column_int64(stmt, 2);
        out.push_back(std::move(o));
    }
    sqlite3_finalize(stmt);
    return out;
}

void dropAndForget(sqlite3* db, const std::string& name) {
    exec(db, "DROP TABLE IF EXISTS " + quoteName(name), nullptr);
    std::vector<Error> ignored;
    forgetGlobalTemp(db, name, ignored);
}

} // namespace

bool prepareGlobalTemps(sqlite3* db, std::vector<Error>& errors) {
    if (!exec(db,
              std::string("CREATE TABLE IF NOT EXISTS ") + kCatalogTable +
                  " (name TEXT PRIMARY KEY COLLATE ERPCI, pid INTEGER, start_time INTEGER, token TEXT)",
              &errors))
        return false;
    const std::string sql = std::string("SELECT name, pid, start_time FROM ") + kCatalogTable;
    for (const auto& o : owners(db, sql.c_str(), {})) {
        if (!processAlive(o.process))
            dropAndForget(db, o.name);
    }
    return true;
}

bool recordGlobalTemp(sqlite3* db, const std::string& name, const std::string& token,
                      std::vector<Error>& errors) {
    const ProcessIdentity self = currentProcess();
    const std::string sql = std::string("INSERT OR REPLACE INTO ") + kCatalogTable +
                            " (name, pid, start_time, token) VALUES (?1, ?2, ?3, ?4)";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(stmt, 2, self.pid);
        sqlite3_bind_int64(stmt, 3, self.startTime);
        sqlite3_bind_text(stmt, 4, token.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        errors.push_back(errorFromSqlite(db, rc, sql));
        return false;
    }
    return true;
}

bool forgetGlobalTemp(sqlite3* db, const std::string& name, std::vector<Error>& errors) {
    const std::string sql = std::string("DELETE FROM ") + kCatalogTable + " WHERE name = ?1";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        errors.push_back(errorFromSqlite(db, rc, sql));
        return false;
    }
    return true;
}

void dropGlobalTempsOf(sqlite3* db, const std::string& token) {
    const std::string sql =
        std::string("SELECT name, pid, start_time FROM ") + kCatalogTable + " WHERE token = ?1";
    for (const auto& o : owners(db, sql.c_str(), token))
        dropAndForget(db, o.name);
}

} // namespace tsqlite::detail
