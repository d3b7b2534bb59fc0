#pragma once
// The statements that write a record-set row back to its base tables.

#include "module/db/IBackend.h"
#include "module/db/RowStore.h"

#include <QString>
#include <optional>
#include <vector>

namespace scadlav::db {

struct WriteStatement {
    QString table;
    QString sql;
    // Set when the row is located by all its original values (the result carries no key of
    // the table): a COUNT over the same condition, run first, so that a statement that would
    // change several rows, or none, is refused before it runs.
    QString countSql;
    // For updates: the literals of `sql` and of `countSql`, each written there as '?' (see
    // IBackend::executeWithLiterals). Empty for an insert, whose values are written in.
    std::vector<StatementLiteral> literals;
    std::vector<StatementLiteral> countLiterals;
};

// What writing rows of one result back needs that is the same for every row, worked out once:
// each column's quoted name and, per base table, the columns whose values as read locate a row.
// A record set keeps one per result it writes to, since a pass may write back a row of every
// hundred thousand read.
class WritePlan {
public:
    explicit WritePlan(const RowStore& store);
    const RowStore* store() const { return m_store; }
    const QString& columnName(int column) const { return m_names[static_cast<std::size_t>(column)]; }

    struct Locator {
        std::vector<int> columns; // once each, even when the result selects a column twice
        bool keyed = false;       // the columns are the table's key
    };
    // Built on the first write to `table`.
    const Locator& locator(const QString& table) const;

private:
    const RowStore* m_store;
    std::vector<QString> m_names;
    mutable std::vector<std::pair<QString, Locator>> m_locators;
};

// UPDATE statements, one per base table touched by `changes` (column -> normalized value) of
// store row `row`. The row is located by the table's key columns as they were read, else by
// all the table's columns as they were read. Columns with no base table are left out.
std::vector<WriteStatement> buildUpdates(const WritePlan& plan, std::uint32_t row,
                                         const std::vector<std::pair<int, Value>>& changes, Dialect dialect);

// The INSERT for a new row; nullopt when its values belong to no base table, or to several
// (with an explanation in `error` for the latter).
std::optional<WriteStatement> buildInsert(const RowStore& store,
                                          const std::vector<std::pair<int, Value>>& values, Dialect dialect,
                                          QString* error);

} // namespace scadlav::db
