#pragma once
// A large SELECT of the embedded database read on both cores. The connection of the record set
// reads the first rows, as a single cursor would, so that the first rows come at once; a helper
// connection on its own thread, on the same snapshot, counts the rows of the table the plan walks
// first (its outer rows), picks the outer row at which the two parts take equally long, stops the
// first part there and reads from there on into a buffer. Once the first part is read, the
// buffered rows follow, in the statement's order. The caller sees one cursor and one result,
// exactly what a single cursor reads.
//
// Taken only when it can give the same rows: the statement reads its rows in the order of an
// index (a plan that sorts reads everything before its first row anyway), the connection has no
// transaction or half-read statement of its own (its uncommitted rows or older snapshot would
// not be the helper's), and the database's write lock is free for the moment both snapshots
// are taken (held, so that nothing commits in between).

#include "module/db/IBackend.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tsqlite {
class Connection;
}

namespace scadlav::db {

// How many outer rows the plans of the statements split lately walked, by text: the next read of
// the same statement splits at once instead of counting them first. A count that is no longer
// right only makes the two parts less even.
class RowCountMemory {
public:
    std::int64_t rows(const std::string& text) const; // -1: not known
    void remember(const std::string& text, std::int64_t rows);

private:
    std::unordered_map<std::string, std::int64_t> m_rows;
};

// Reads of this process whose second part started: for the benchmarks and the tests.
std::int64_t splitReadsStarted();

// A split read of `text` on `connection`, or nullptr when it cannot be read that way: read it
// with a single cursor then.
std::unique_ptr<IRowCursor> openSplitRead(tsqlite::Connection& connection, std::string_view text,
                                          std::shared_ptr<RowCountMemory> counts);

} // namespace scadlav::db
