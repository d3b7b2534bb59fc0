#include "Clock.h"
#include "Collation.h"
#include "Errors.h"
#include "GlobalTemps.h"
#include "Identity.h"
#include "Impl.h"
#include "Lexer.h"
#include "Registry.h"
#include "Runner.h"
#include "SqlFunctions.h"
#include "TableFunctions.h"

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

int registerDialect(sqlite3* db) {
    int rc = detail::registerCollation(db);
    if (rc == SQLITE_OK)
        rc = detail::registerSqlFunctions(db);
    if (rc == SQLITE_OK)
        rc = detail::registerTableFunctions(db);
    return rc;
}

Connection::Impl::~Impl() {
    endOpenQueries(*this);
    cache.clear();
    schema.reset();
    if (db) {
        detail::setClockFreeze(db, nullptr);
        detail::dropGlobalTempsOf(db, token);
        // SQLite's advice for connections before they close: statistics for the tables this
        // connection searched and that lack them or outgrew them, sampled so it stays quick. SQL
        // Server keeps its statistics by itself; without them SQLite's planner may walk a large
        // table by its company column instead of the join's index. A busy or read-only database
        // simply skips it.
        if (!reader)
            sqlite3_exec(db, "PRAGMA analysis_limit=400; PRAGMA optimize;", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
    }
}

Connection::Connection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Connection::~Connection() = default;

std::unique_ptr<Connection> Connection::openReader(const std::string& path, std::vector<Error>& errors) {
    std::unique_ptr<Connection> connection = open(path, errors);
    if (connection)
        connection->m_impl->reader = true;
    return connection;
}

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
    // Work tables created and filled statement by statement have no statistics, so SQLite takes
    // them for a million rows and, joining one to a large table, first builds a Bloom filter over
    // the whole large table: a scan per statement where SQL Server would seek a few rows. The
    // filter is only an optimisation of SQLite's own (3.38 on); without it the join seeks by
    // index, as the statements were written for.
    constexpr int kBloomFilterOptimisation = 0x00080000;
    sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, impl->db, kBloomFilterOptimisation);
    if (registerDialect(impl->db) != SQLITE_OK || detail::registerOuterRowFunction(impl->db) != SQLITE_OK) {
        errors.push_back(
            errorFromSqlite(impl->db, sqlite3_errcode(impl->db), "registering the T-SQL functions"));
        return nullptr;
    }
    // The header is read here for the first time: a file that is not a database fails now.
    if (!runSetup(impl->db, "PRAGMA journal_mode=WAL", errors))
        return nullptr;
    if (!runSetup(impl->db, "PRAGMA synchronous=NORMAL", errors))
        return nullptr;
    // The log is copied into the database once it holds 32 MiB rather than SQLite's 4 MiB: each
    // copy waits for the disk twice, and a batch job writing a million rows in small
    // transactions spent a quarter of its time waiting for those copies.
    if (!runSetup(impl->db, "PRAGMA wal_autocheckpoint=8192", errors))
        return nullptr;
    // A large page cache and a memory map: reading a whole order book through 4 KiB reads
    // costs a system call per page. The map covers up to 2 GiB less 64 KiB, the most the system's
    // SQLite maps (its compile-time limit; a larger request is cut to it): a database of a
    // million phases outgrows 1 GiB during a rebuild. The map costs address space, not memory:
    // its pages are the file's pages in the system's cache, shared by every process on the file.
    if (!runSetup(impl->db, "PRAGMA cache_size=-65536", errors))
        return nullptr;
    if (!runSetup(impl->db, "PRAGMA mmap_size=2147418112", errors))
        return nullptr;
    // Sorting a wide result spills to temporary files otherwise.
    if (!runSetup(impl->db, "PRAGMA temp_store=MEMORY", errors))
        return nullptr;
    // The system's SQLite is built to overwrite deleted rows with zeros, which writes every page
    // a delete frees: emptying a schedule of a million rows wrote its gigabyte again to the log.
    // SQL Server leaves deleted rows to be reused as well, without overwriting them.
    if (!runSetup(impl->db, "PRAGMA secure_delete=OFF", errors))
        return nullptr;
    if (!detail::prepareGlobalTemps(impl->db, errors))
        return nullptr;
    for (const auto& initializer : detail::connectionInitializers())
        initializer(impl->db);
    impl->schema = std::make_unique<detail::SchemaInfo>(impl->db);
    auto* raw = impl.get();
    auto connection = std::unique_ptr<Connection>(new Connection(std::move(impl)));
    raw->owner = connection.get();
    return connection;
}

bool Connection::execute(std::string_view tsql, ResultSink* sink, std::vector<Error>& errors,
                         const ExecOptions& options, std::int64_t* rowsAffected) {
    return m_impl->executeBatch(tsql, sink, errors, options, rowsAffected);
}

bool Connection::executeWithLiterals(std::string_view tsql, const std::vector<Literal>& literals,
                                     ResultSink* sink, std::vector<Error>& errors, const ExecOptions& options,
                                     std::int64_t* rowsAffected) {
    return m_impl->executeWithLiterals(tsql, literals, sink, errors, options, rowsAffected);
}

bool Connection::callProcedure(std::string_view name, const std::vector<Parameter>& parameters,
                               ResultSink* sink, std::vector<Error>& errors, const ExecOptions& options) {
    auto procedure = detail::findProcedure(name);
    if (!procedure) {
        errors.push_back(makeError(kErrNoSuchObject,
                                   "Could not find stored procedure '" + std::string(name) + "'", "42000"));
        return false;
    }
    const detail::LockWait wait(m_impl->db, options, m_impl->busyTimeoutMs);
    return (*procedure)(*this, parameters, sink, errors);
}

bool Connection::translate(std::string_view tsql, std::vector<std::string>& sqliteStatements,
                           std::vector<Error>& errors) {
    detail::LexResult lexed = detail::lex(tsql);
    if (!lexed.error.empty()) {
        errors.push_back(detail::statementError(lexed.error));
        return false;
    }
    m_impl->schema->refresh();
    detail::Translator translator(m_impl->db, *m_impl->schema);
    std::vector<detail::Statement> pending = detail::splitBatch(std::move(lexed.tokens));
    for (std::size_t i = 0; i < pending.size(); ++i) {
        detail::Translation translation;
        Error error;
        if (!translator.translate(pending[i].tokens, pending[i].bodyStart, translation, error, false)) {
            errors.push_back(std::move(error));
            return false;
        }
        if (translation.kind == detail::Translation::Kind::Procedure) {
            sqliteStatements.push_back("-- procedure " + translation.procedure);
            continue;
        }
        for (const auto& part : translation.parts)
            sqliteStatements.push_back(part.sql);
        // The statement an IF governs follows its condition.
        if (translation.kind == detail::Translation::Kind::Conditional) {
            auto inner = detail::splitBatch(translation.body);
            pending.insert(pending.begin() + static_cast<long>(i) + 1, inner.begin(), inner.end());
        }
    }
    return true;
}

sqlite3* Connection::handle() const {
    return m_impl->db;
}

const std::string& Connection::path() const {
    return m_impl->path;
}

Connection::CacheStatistics Connection::cacheStatistics() const {
    return m_impl->statistics;
}

} // namespace tsqlite
