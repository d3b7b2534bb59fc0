#pragma once
// A client-side record set: a cursor over a table of named, typed, nullable fields held in
// memory. Clones share the rows (a value written through one cursor is read by all) but each
// has its own filter, sort and position.
//
// Three ways to fill one:
// - open(sql, connection): runs the statement and keeps its rows; update() writes a changed
//   row back to its base table at once (located by the table's primary key, or by all its
//   original values when the result carries no key), and requery() runs the statement again;
// - Connection::execute(): the first result set of a statement, read-only;
// - in memory: appendField() ..., open(), then addNew() / setValue() / update().
//
// Nothing here throws. A failing call returns false, leaves the record set usable as it was
// and puts the reason in lastError() (and, for database failures, in the connection's
// errors()). Reading a field that does not exist gives an Empty value and an error.
//
// Values come back in the kind of their field: int/smallint/bigint as Int, decimal and numeric
// (scale 0 included) as exact Decimal, float as Double, bit as Bool, dates as DateTime, text as
// Text, a database Null as Value::null(). Read numbers with Value::toInt64()/toDecimal(), which
// accept every numeric kind.

#include "module/db/CellRef.h"
#include "module/db/Connection.h"
#include "module/db/DbError.h"
#include "module/db/IBackend.h"
#include "module/value/Value.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace scadlav::db {

class RowStore;
struct Session;
class FilterPredicate;
class WritePlan;

enum class CursorType { Unspecified = -1, ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { Unspecified = -1, ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4 };
enum class EditMode { None = 0, InProgress = 1, Add = 2 };

// Field attributes, numbered as the run-time numbers them.
inline constexpr int kFldUpdatable = 0x4;
inline constexpr int kFldFixed = 0x10;
inline constexpr int kFldIsNullable = 0x20;
inline constexpr int kFldMayBeNull = 0x40;
inline constexpr int kFldKeyColumn = 0x8000;

// What a field is. The base table and column are set for a field read straight from a table.
struct FieldInfo {
    QString name;
    DataType type = DataType::Variant;
    int definedSize = 0;
    int precision = 0;
    int numericScale = -1; // decimal places a decimal field rounds to; -1 keeps the value's own
    int attributes = kFldMayBeNull | kFldIsNullable;
    QString baseTable;
    QString baseColumn;
    bool inPrimaryKey = false;
};

// What changed, for whoever shows the rows (RecordsetModel).
struct RecordsetEvent {
    enum class Kind {
        Reset,          // rows, filter or sort changed: every row index may mean another row
        CurrentChanged, // the position moved; `row` is the new current row or -1
        RowChanged,     // values of the row at `row` changed (through this cursor or a clone)
        RowAppended,    // a row was appended at `row`
        RowsFetched,    // rows read in a slice were added from `row` on (see openInSlices)
        FetchFailed,    // reading the rest of the rows failed: the record set closed itself
        Destroyed,      // the record set object is going away: forget it
    };
    Kind kind = Kind::Reset;
    int row = -1;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // --- building an in-memory record set (before open()) ---
    // Names are unique without regard to case. Fails once the record set is open.
    bool appendField(const QString& name, DataType type, int definedSize = 0,
                     int attributes = kFldMayBeNull | kFldIsNullable);
    bool setPrecision(const QString& name, int precision);
    bool setNumericScale(const QString& name, int scale);
    // Opens the in-memory record set built with appendField(): empty, updatable.
    bool open();

    // --- opening from SQL text ---
    // Runs `source` on `connection` and keeps its first result set (a statement that returns
    // no rows is an error). The record set stays closed on failure.
    bool open(const QString& source, Connection& connection, CursorType cursorType = CursorType::Dynamic,
              LockType lockType = LockType::Optimistic, int options = kExecUnspecified);
    // Opens like open() but reads only the first `firstRows` rows now; the rest are read by
    // fetchMore() (a grid's model calls it while the window is idle) or all at once by any call
    // that needs every row: recordCount(), moveLast(), moving past the rows read, setFilter(),
    // setSort(), clone(), addNew(). So no caller ever works on part of the rows; only
    // fetchedCount() and valueAt() below it look at the rows read so far. A database that
    // cannot read in slices reads everything here, as open() does.
    bool openInSlices(const QString& source, Connection& connection, LockType lockType, int firstRows);
    // Reads up to `maxRows` more rows; returns how many came, or -1 when reading failed (the
    // record set is then closed, its rows dropped, and lastError() tells why).
    int fetchMore(int maxRows);
    // Reads every remaining row; false when that failed (see fetchMore()).
    bool fetchAll();
    // Rows remain to be read.
    bool isFetching() const { return m_fetch != nullptr; }
    // Rows read so far (all rows once isFetching() is false); -1 when closed.
    int fetchedCount() const;

    // Runs the source statement again and replaces the rows seen by this cursor and all its
    // clones; each cursor then applies its own filter and sort again and stands on its first
    // row. On failure the rows stay as they were.
    bool requery();
    // Closes this cursor (clones stay open). Closing a closed record set does nothing.
    void close();
    ObjectState state() const;
    bool isOpen() const { return state() == ObjectState::Open; }
    QString source() const;
    LockType lockType() const;
    void setCursorLocation(CursorLocation) {} // always client-side

    // --- position ---
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool eof() const;
    bool bof() const;
    // Rows visible through the filter; 0 when empty, -1 when closed.
    int recordCount() const;
    // Index of the current row among the visible ones, -1 at BOF/EOF; moveTo() stands on a
    // row by that index.
    int currentIndex() const;
    bool moveTo(int index);

    // --- fields ---
    int fieldCount() const;
    const FieldInfo& fieldInfo(int index) const;
    int fieldIndex(const QString& name) const; // -1 when there is no such field
    // Value of a field of the current row (Value::null() for a database Null).
    Value value(const QString& name) const;
    Value value(int index) const;
    // Value of a field of any visible row, without moving (for grids).
    Value valueAt(int row, int index) const;
    // The stored cell of a visible row as the row store holds it (dates as wall-clock
    // milliseconds, texts as UTF-8 views valid until the row changes), for code that reads
    // many rows and needs no Value; a Null cell outside the rows. Pending edits are not seen.
    CellRef cellAt(int row, int index) const;
    // Writes a field of the current row into the row's edit buffer; update() commits it.
    // The value is converted to the field's type; a value that does not convert (text that is
    // no number for a numeric field, ...) is refused with an error and nothing changes.
    bool setValue(const QString& name, const Value& value);
    bool setValue(int index, const Value& value);

    // --- editing ---
    // Starts a new row at the end; its fields are Null until set. update() appends it.
    bool addNew();
    // Commits the edit buffer: writes it back to the database when the rows came from a
    // table (UPDATE, or INSERT after addNew()), then into the shared rows. A row that the
    // database no longer holds as it was read is an error; the edit stays pending.
    bool update();
    void cancelUpdate();
    EditMode editMode() const;

    // --- filter, sort, clone ---
    // Shows only the rows matching `expression`: comparisons "FIELD op literal" joined by AND,
    // op among = <> < > <= >=, literal a number or a quoted text ('' inside for a quote).
    // Text compares without case and without trailing blanks. An empty expression shows all
    // rows. A bad expression is refused with an error and the previous filter stays.
    // The cursor stands on the first visible row afterwards.
    bool setFilter(const QString& expression);
    void clearFilter() { setFilter(QString()); }
    QString filter() const;
    // Orders the visible rows by a comma-separated list of fields, each ascending unless
    // followed by DESC; Nulls first; rows with equal keys keep their original order.
    // An empty list restores the original order. The current row stays current.
    bool setSort(const QString& fieldList);
    QString sort() const;
    // A second cursor over the same rows, in their original order with no filter and no sort,
    // standing on its first row. Returns nullptr when this record set is closed.
    std::unique_ptr<Recordset> clone() const;

    // --- errors and notification ---
    // The reason of the most recent failed call on this record set.
    const DbError& lastError() const { return m_lastError; }
    QString lastErrorText() const { return m_lastError.description; }
    // Memory the shared rows take, for diagnostics and benchmarks.
    std::size_t storeMemoryBytes() const;
    // The raw size of the shared rows: 8 bytes per non-Null number or date, the UTF-8 bytes of
    // each text; what storeMemoryBytes() is measured against.
    std::size_t storeRawBytes() const;
    // Returns an id for removeListener(). Listeners run synchronously, after the change.
    int addListener(std::function<void(const RecordsetEvent&)> listener);
    void removeListener(int id);

    // --- for the connection and the row store ---
    // Opens this (closed) record set over rows already loaded.
    void openOnStore(std::shared_ptr<RowStore> store, LockType lockType);
    void storeRowsReplaced();
    void storeRowChanged(std::uint32_t storeRow);
    void storeRowAppended(std::uint32_t storeRow);

private:
    struct PendingFetch;
    bool failStatement(const Session& session);
    // Opens this record set over rows a statement returned (nullptr: it returned none).
    bool openLoaded(std::shared_ptr<RowStore> store, const QString& source, std::shared_ptr<Session> session,
                    LockType lockType);
    // Reads every remaining row; a failure closes the record set (its rows are not the result).
    void completeFetch() const;
    int shownCount() const;
    bool ensureOpen();
    bool ensureCurrentRow();
    bool fail(std::int64_t number, const QString& description) const;
    bool failFromSession();
    bool commitPendingBeforeMove();
    void rebuildView();
    std::uint32_t storeRowAt(int index) const;
    int indexOfStoreRow(std::uint32_t storeRow) const;
    void setCurrent(int index);
    void notify(RecordsetEvent::Kind kind, int row);
    void attach(std::shared_ptr<RowStore> store);
    void detach();

    std::shared_ptr<RowStore> m_store;
    // Store rows visible through filter and sort; `m_identityView` means all store rows in order.
    std::vector<std::uint32_t> m_view;
    bool m_identityView = true;
    int m_current = 0;  // index into the view; == count means EOF
    bool m_bof = false; // before the first row
    QString m_filterText;
    std::shared_ptr<FilterPredicate> m_filter;
    QString m_sortText;
    std::vector<int> m_sortFields;
    std::vector<bool> m_sortDescending;
    LockType m_lockType = LockType::Optimistic;
    // Edit buffer of the current row: field index -> new value.
    EditMode m_editMode = EditMode::None;
    std::vector<std::pair<int, Value>> m_pending;
    // Fields appended before open() of an in-memory record set.
    std::vector<FieldInfo> m_building;
    mutable DbError m_lastError;
    bool m_appendingHere = false; // this cursor is appending the row the store reports
    std::unique_ptr<PendingFetch> m_fetch;
    std::unique_ptr<WritePlan> m_writePlan; // for m_store, made on the first write back
    int m_nextListenerId = 1;
    std::vector<std::pair<int, std::function<void(const RecordsetEvent&)>>> m_listeners;
};

} // namespace scadlav::db
