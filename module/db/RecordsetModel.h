#pragma once
// A table model over a record-set cursor, for the grids. Cells are read only when a view asks
// for them, so 100 000 rows show at once. The model follows the cursor: a new filter, sort or
// requery resets it, values written through any clone refresh their row, and the cursor's
// position is reported as the current row. Edits go through the record set (update() with
// write-back); one that fails is reported and the cell keeps its value.

#include "module/db/Recordset.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>
#include <QVariant>

namespace scadlav::db {

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A record set destroyed while bound leaves the model empty (and unbound).
    explicit RecordsetModel(Recordset* recordset = nullptr, QObject* parent = nullptr);
    ~RecordsetModel() override;

    void setRecordset(Recordset* recordset);
    Recordset* recordset() const { return m_recordset; }
    // Whether setData() may write (grids that only show data turn it off).
    void setEditable(bool editable) { m_editable = editable; }

    // A record set opened in slices (Recordset::openInSlices) shows the rows read so far; with
    // background fetching on, the rest are read in short slices while the event loop is idle,
    // so the window keeps painting and answering. Views may also ask for more (fetchMore).
    void setFetchInBackground(bool background);
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // Reads every remaining row now (for an action that needs them all); false when reading
    // failed.
    bool fetchAll();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Moves the cursor to the row, writes the value and commits it (write-back included).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The cursor's current row, -1 when at BOF/EOF.
    int currentRow() const;
    // Moves the cursor (a grid's selection follows from currentRowChanged()).
    bool setCurrentRow(int row);

    // Conversions between record-set values and what item views use.
    static QVariant toVariant(const Value& value);
    static Value fromVariant(const QVariant& value);
    static QString displayText(const Value& value);

signals:
    void currentRowChanged(int row);
    // A value was written through the model and committed.
    void edited(int row, int column, const scadlav::Value& oldValue, const scadlav::Value& newValue);
    // An edit was refused (type, read-only, write-back failure); the cell keeps its old value.
    void editFailed(int row, int column, const QString& message);
    // Rows read so far while a record set is read in slices, and the end of the reading:
    // every row read, or a failure (the record set closed itself; `reason` says why).
    void fetchProgress(int rows);
    void fetchFinished(int rows);
    void fetchFailed(const QString& reason);

private:
    void onEvent(const RecordsetEvent& event);
    void fetchSlice();
    void scheduleFetch();
    void announceRows();

    Recordset* m_recordset = nullptr;
    int m_rows = 0; // rows the views know of
    bool m_background = false;
    bool m_inSlice = false; // reading in the background (not for a caller that needs the rows)
    QElapsedTimer m_announced;
    QTimer m_pump;
    int m_listener = 0;
    bool m_editable = true;
};

} // namespace scadlav::db
