#pragma once
// The rows behind a record set and all its clones, held column by column in blocks of 4096
// rows (see CellColumn): the block being filled keeps a kind byte and a 64-bit payload per
// cell, a full block is packed to what its cells need (nothing for a Null column, a byte for
// a small number, the bytes of a text). A large result thus takes less than its raw data, and
// a Value is built only when a cell is read. Rows appended are readable at once, before and
// after their block is packed.

#include "module/db/CellColumn.h"
#include "module/db/CellRef.h"
#include "module/db/IBackend.h"
#include "module/db/Recordset.h"
#include "module/db/TextArena.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace scadlav::db {

struct Session;

// How a column keeps its cells, from its field type.
enum class StorageClass { Int, Double, Decimal, Bool, DateTime, Text, Binary, Any };
StorageClass storageClassOf(DataType type);

class RowStore {
public:
    explicit RowStore(std::vector<FieldInfo> fields);

    int columnCount() const { return static_cast<int>(m_fields.size()); }
    std::uint32_t rowCount() const { return m_rows; }
    const FieldInfo& field(int column) const { return m_fields[static_cast<std::size_t>(column)]; }
    const std::vector<FieldInfo>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const;
    StorageClass storageClass(int column) const { return m_classes[static_cast<std::size_t>(column)]; }

    CellRef cell(std::uint32_t row, int column) const {
        return m_columns[static_cast<std::size_t>(column)].read(row, m_text, m_loading);
    }
    Value value(std::uint32_t row, int column) const;

    // Loading: one row from a backend, each cell converted to its column's type (a cell that
    // does not convert is kept as it came, never dropped).
    void appendBackendRow(const Cell* cells, std::size_t count);
    // After loading: gives columns of unknown type the type their cells have, trims spare
    // capacity.
    void finishLoading();

    // The value as the column would store it; nullopt with a reason when it does not fit.
    std::optional<Value> normalize(int column, const Value& value, QString* error) const;
    // Writes normalized values (from normalize()).
    void setValue(std::uint32_t row, int column, const Value& normalized);
    std::uint32_t appendRow(const std::vector<std::pair<int, Value>>& normalized);

    // Takes the rows of `fresh` (same fields) in place of its own: used by requery, so that
    // every cursor over this store sees the new rows.
    void replaceRows(RowStore& fresh);
    std::size_t memoryBytes() const;
    // 8 bytes per non-Null number or date plus the bytes of each text: the data itself.
    std::size_t rawBytes() const;

    // The cursors over this store, told about changes made through any of them.
    void attach(Recordset* cursor);
    void detach(Recordset* cursor);
    void notifyRowChanged(std::uint32_t row);
    void notifyRowAppended(std::uint32_t row);
    void notifyRowsReplaced();

    // Where the rows came from: the statement and the connection, for requery and write-back.
    QString source;
    std::shared_ptr<Session> session;
    bool updatable = true;

private:
    // A tag is CellKind | scale << 3.
    using Column = CellColumn;
    void put(Column& column, CellKind kind, int scale, std::uint64_t payload);
    // A text of a row being loaded: kept in the loading arena until its block is packed.
    std::uint64_t loadingText(std::string_view text);
    // Packs the block just filled, if the last rows filled one.
    void rowsAdded();
    void packBlock(std::uint32_t block);
    std::pair<std::uint8_t, std::uint64_t> encode(const Value& value);
    void storeCell(int column, const Cell& cell);
    void writeSlot(std::uint32_t row, int column, const Value& value);
    void forEachCursor(const std::function<void(Recordset*)>& action);

    std::vector<FieldInfo> m_fields;
    std::vector<StorageClass> m_classes;
    BlockArena m_arena;   // the packed blocks of m_columns; declared first, released last
    BlockArena m_filling; // the blocks being filled while loading
    std::vector<Column> m_columns;
    QHash<QString, int> m_exact; // name as the result spells it -> column
    QHash<QString, int> m_index; // case-folded name -> column
    TextArena m_text;            // texts of cells not packed (edits, columns of mixed kinds)
    TextArena m_loading;         // texts of the block being loaded, until it is packed
    std::uint32_t m_rows = 0;
    bool m_loaded = false; // finishLoading() was called
    // Where the columns keep their cells; blocks being filled come from m_filling until loaded.
    CellColumn::Memory m_memory{m_text, m_loading, m_arena, &m_filling};
    std::vector<Recordset*> m_cursors;
};

} // namespace scadlav::db
