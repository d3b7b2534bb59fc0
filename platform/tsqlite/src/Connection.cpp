#include "Collation.h"
#include "Errors.h"
#include "Identity.h"
#include "Impl.h"
#include "Registry.h"
#include "Runner.h"

#include <filesystem>

namespace tsqlite {
namespace {

using detail::errorFromSqlite;
using detail::makeError;

// Runs a statement that returns no rows, for set-up work on a fresh connection.
bool runSetup(sqlite3* db, const char* sql, std::vector<Error>& errors) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) {
        errors.push_back(errorFromSqlite(db, rc, sql));
        return false;
    }
    return true;
}

} // namespace

Connection::Impl::~Impl() {
    if (db)
        sqlite3_close_v2(db);
}

Connection::Connection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Connection::~Connection() = default;

std::unique_ptr<Connection> Connection::open(const std::string& path, std::vector<Error>& errors,
                                             bool create) {
    std::error_code ec;
    if (!create && !std::filesystem::exists(path, ec)) {
        errors.push_back(
            makeError(kErrCannotOpen, "The database file '" + path + "' does not exist", "08001"));
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->token = detail::newConnectionToken();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    int rc = sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        errors.push_back(makeError(kErrCannotOpen,
                                   "The database file '" + path + "' cannot be opened: " +
                                       (impl->db ? sqlite3_errmsg(impl->db) : sqlite3_errstr(rc)),
                                   "08001"));
        return nullptr;
    }
    sqlite3_extended_result_codes(impl->db, 1);
    if (sqlite3_db_readonly(impl->db, "main") == 1) {
        errors.push_back(makeError(kErrCannotOpen, "The database file '" + path + "' is read-only", "HY000"));
        return nullptr;
    }
    sqlite3_busy_timeout(impl->db, impl->busyTimeoutMs);
    detail::registerCollation(impl->db);
    // The header is read here for the first time: a file that is not a database fails now.
    if (!runSetup(impl->db, "PRAGMA journal_mode=WAL", errors))
        return nullptr;
    if (!runSetup(impl->db, "PRAGMA synchronous=NORMAL", errors))
        return nullptr;
    for (const auto& initializer : detail::connectionInitializers())
        initializer(impl->db);
    return std::unique_ptr<Connection>(new Connection(std::move(impl)));
}

bool Connection::execute(std::string_view tsql, ResultSink* sink, std::vector<Error>& errors,
                         const ExecOptions& options, std::int64_t* rowsAffected) {
    sqlite3* db = m_impl->db;
    if (options.timeoutSeconds > 0)
        sqlite3_busy_timeout(db, options.timeoutSeconds * 1000);
    const char* tail = tsql.data();
    const char* end = tsql.data() + tsql.size();
    bool ok = true;
    while (tail < end) {
        sqlite3_stmt* stmt = nullptr;
        const char* start = tail;
        int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &stmt, &tail);
        if (rc != SQLITE_OK) {
            errors.push_back(errorFromSqlite(db, rc, std::string(start, tail)));
            ok = false;
            break;
        }
        if (!stmt)
            continue;
        rc = detail::runPrepared(db, stmt, sink, options.noRecords, rowsAffected);
        if (rc != SQLITE_DONE) {
            errors.push_back(errorFromSqlite(db, rc, sqlite3_sql(stmt)));
            sqlite3_finalize(stmt);
            ok = false;
            break;
        }
        sqlite3_finalize(stmt);
    }
    if (options.timeoutSeconds > 0)
        sqlite3_busy_timeout(db, m_impl->busyTimeoutMs);
    return ok;
}

bool Connection::callProcedure(std::string_view name, const std::vector<Parameter>& parameters,
                               ResultSink* sink, std::vector<Error>& errors) {
    auto procedure = detail::findProcedure(name);
    if (!procedure) {
        errors.push_back(makeError(kErrNoSuchObject,
                                   "Could not find stored procedure '" + std::string(name) + "'", "42000"));
        return false;
    }
    return (*procedure)(*this, parameters, sink, errors);
}

bool Connection::translate(std::string_view tsql, std::vector<std::string>& sqliteStatements,
                           std::vector<Error>& errors) {
    sqliteStatements.emplace_back(tsql);
    return true;
}

sqlite3* Connection::handle() const {
    return m_impl->db;
}

const std::string& Connection::path() const {
    return m_impl->path;
}

} // namespace tsqlite
