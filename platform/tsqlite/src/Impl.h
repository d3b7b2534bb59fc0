#pragma once
// State of one open connection, shared by the files that implement Connection.

#include "SchemaInfo.h"
#include "StatementCache.h"
#include "Translator.h"

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tsqlite {

namespace detail {

// A command's own time limit on waiting for the database's lock, the connection's own back after.
class LockWait {
public:
    LockWait(sqlite3* db, int timeoutSeconds, int usualMs)
        : m_db(db), m_usualMs(usualMs), m_set(timeoutSeconds != 0) {
        // Without a limit SQLite still needs one: 24 days stand for it. A process that dies
        // holding the lock gives it back with its file locks, so the wait ends with the holder.
        if (m_set)
            sqlite3_busy_timeout(m_db, timeoutSeconds > 0 && timeoutSeconds < kLongestSeconds
                                           ? timeoutSeconds * 1000
                                           : kLongestSeconds * 1000);
    }
    ~LockWait() {
        if (m_set)
            sqlite3_busy_timeout(m_db, m_usualMs);
    }
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

private:
    static constexpr int kLongestSeconds = std::numeric_limits<int>::max() / 1000;
    sqlite3* m_db;
    int m_usualMs;
    bool m_set;
};

} // namespace detail

struct Connection::Impl {
    sqlite3* db = nullptr;
    std::string path;
    std::string token; // identifies this connection as the creator of "##" tables
    int busyTimeoutMs = 10000;
    bool reader = false; // opened by openReader()
    std::unique_ptr<detail::SchemaInfo> schema;
    detail::StatementCache cache;
    Connection* owner = nullptr;
    Connection::CacheStatistics statistics;
    // Queries open on this connection, ended when it closes.
    std::vector<Query::Impl*> openQueries;
    // Rows this connection changed, by table, counted from the first dataVersion() call.
    struct ChangeLog {
        bool watching = false;
        std::uint64_t counted = 0;
        std::unordered_map<std::string, std::uint64_t> byTable; // upper-case name
    };
    ChangeLog changes;
    bool buildingIndexesAfter = false; // the INSERT ... SELECT runs with its indexes dropped
    // Statements sent with their literals apart, by text and the kinds of their literals: the
    // shape under which the statement cache keeps their translation.
    std::unordered_map<std::string, std::string> literalShapes;

    ~Impl();

    bool executeBatch(std::string_view tsql, ResultSink* sink, std::vector<Error>& errors,
                      const ExecOptions& options, std::int64_t* rowsAffected);
    bool executeStatement(const std::vector<detail::Token>& tokens, std::size_t bodyStart, ResultSink* sink,
                          std::vector<Error>& errors, const ExecOptions& options, std::int64_t* rowsAffected);
    bool executeWithLiterals(std::string_view tsql, const std::vector<Literal>& literals, ResultSink* sink,
                             std::vector<Error>& errors, const ExecOptions& options,
                             std::int64_t* rowsAffected);

private:
    // An INSERT ... SELECT into an empty table outside a transaction, its non-unique indexes
    // built after the rows (IndexesBuiltAfter.cpp). `handled` false: run the statement as usual.
    bool executeBuildingIndexesAfter(const std::vector<detail::Token>& tokens, ResultSink* sink,
                                     std::vector<Error>& errors, const ExecOptions& options,
                                     std::int64_t* rowsAffected, bool& handled);
    bool runPart(sqlite3_stmt* stmt, const std::vector<detail::ParamRef>& params,
                 const std::vector<const detail::Token*>& literals, ResultSink* sink,
                 const ExecOptions& options, std::int64_t* rowsAffected, detail::CachedPart* cached,
                 std::vector<Error>& errors);
    bool afterSuccess(const detail::Translation& translation, std::vector<Error>& errors);
    // Runs the translation the cache keeps, with `literals` bound.
    bool runCached(detail::CacheEntry& entry, const std::vector<const detail::Token*>& literals,
                   ResultSink* sink, const ExecOptions& options, std::int64_t* rowsAffected,
                   std::vector<Error>& errors);
    // Runs an UPDATE that writes only the rows that change and reports, as the rows affected,
    // the count of the rows its WHERE selects; both under one savepoint, so the count sees the
    // snapshot the update ran on and a failure undoes the update.
    bool runCountedUpdate(sqlite3_stmt* update, const std::vector<detail::ParamRef>& updateParams,
                          sqlite3_stmt* count, const std::vector<detail::ParamRef>& countParams,
                          const std::vector<const detail::Token*>& literals, const ExecOptions& options,
                          std::int64_t* rowsAffected, std::vector<Error>& errors);
};

// Ends the queries still open on a connection that is closing.
void endOpenQueries(Connection::Impl& connection);

namespace detail {
// The function by which a query read in parts numbers its outer rows (Query.cpp).
int registerOuterRowFunction(sqlite3* db);
} // namespace detail

} // namespace tsqlite
