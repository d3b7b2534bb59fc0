#pragma once
// Filling an empty table with INSERT ... SELECT: the indexes that only speed up reads are
// dropped before the rows go in and built again from the full table afterwards, all in one
// transaction. Inserting a million rows into an index whose keys arrive in no particular order
// costs a descent through a large tree per row and grows faster than the rows; building the index
// from the finished table sorts the keys once and writes its pages in order.
//
// Other connections never see the table without its indexes: the drop, the insert and the
// rebuild commit together (or roll back together, also when the process dies halfway). Unique
// indexes stay in place, so a duplicate key still fails the insert itself with its usual error.

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <string>
#include <vector>

namespace tsqlite::detail {

class DeferredIndexes {
public:
    explicit DeferredIndexes(sqlite3* db) : m_db(db) {}
    DeferredIndexes(const DeferredIndexes&) = delete;
    DeferredIndexes& operator=(const DeferredIndexes&) = delete;
    ~DeferredIndexes(); // rolls back what finish() did not end

    // When `table` is empty and has indexes to defer: opens the transaction (a savepoint inside
    // the caller's own transaction) and drops them. False on a database error; having nothing
    // to defer is not one (active() tells).
    bool begin(const std::string& table, std::vector<Error>& errors);
    bool active() const { return m_state != State::Idle; }

    // After the insert: builds the indexes again and commits when the insert succeeded,
    // otherwise rolls everything back. False when the rebuild or the commit failed (rolled back).
    bool finish(bool insertSucceeded, std::vector<Error>& errors);

private:
    enum class State { Idle, Transaction, Savepoint };
    bool run(const std::string& sql, std::vector<Error>& errors);
    void rollback();

    sqlite3* m_db;
    State m_state = State::Idle;
    std::vector<std::string> m_definitions; // CREATE INDEX texts, to run again
};

} // namespace tsqlite::detail
