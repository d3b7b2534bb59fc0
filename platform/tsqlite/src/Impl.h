#pragma once
// State of one open connection, shared by the files that implement Connection.

#include "SchemaInfo.h"
#include "StatementCache.h"
#include "Translator.h"

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tsqlite {

namespace detail {

// A command's own time limit on waiting for the database's lock, the connection's own back after.
// With a notice, the wait is SQLite's own schedule of short sleeps timed by the clock, and the
// notice is given once when one wait has lasted half a second.
class LockWait {
public:
    LockWait(sqlite3* db, const ExecOptions& options, int usualMs)
        : m_db(db), m_usualMs(usualMs), m_set(options.timeoutSeconds != 0 || options.onLongWait),
          m_notice(options.onLongWait) {
        const int timeoutSeconds = options.timeoutSeconds;
        // Without a limit SQLite still needs one: 24 days stand for it. A process that dies
        // holding the lock gives it back with its file locks, so the wait ends with the holder.
        m_limitMs = timeoutSeconds == 0                                      ? usualMs
                    : timeoutSeconds > 0 && timeoutSeconds < kLongestSeconds ? timeoutSeconds * 1000
                                                                             : kLongestSeconds * 1000;
        if (!m_set)
            return;
        if (m_notice)
            sqlite3_busy_handler(m_db, &LockWait::waitOnce, this);
        else
            sqlite3_busy_timeout(m_db, m_limitMs);
    }
    ~LockWait() {
        if (m_set)
            sqlite3_busy_timeout(m_db, m_usualMs);
    }
    LockWait(const LockWait&) = delete;
    LockWait& operator=(const LockWait&) = delete;

private:
    static constexpr int kLongestSeconds = std::numeric_limits<int>::max() / 1000;
    static constexpr int kNoticeAfterMs = 500;

    // SQLite's busy handler: `count` is 0 at the first refusal of each lock the statement asks
    // for. Returns 0 to give up with SQLITE_BUSY.
    static int waitOnce(void* self, int count) {
        auto* wait = static_cast<LockWait*>(self);
        static constexpr int kDelaysMs[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
        const auto now = std::chrono::steady_clock::now();
        if (count == 0)
            wait->m_since = now;
        const long long waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - wait->m_since).count();
        if (waited >= wait->m_limitMs)
            return 0;
        if (waited >= kNoticeAfterMs && !wait->m_noticed) {
            wait->m_noticed = true;
            wait->m_notice();
        }
        const int delay = count < static_cast<int>(std::size(kDelaysMs)) ? kDelaysMs[count] : 100;
        sqlite3_sleep(static_cast<int>(std::min<long long>(delay, wait->m_limitMs - waited)));
        return 1;
    }

    sqlite3* m_db;
    int m_usualMs;
    bool m_set;
    const std::function<void()>& m_notice;
    int m_limitMs = 0;
    std::chrono::steady_clock::time_point m_since;
    bool m_noticed = false;
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
