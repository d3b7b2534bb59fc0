#pragma once
// The table a Grid shows: its own columns laid over a bound model whose horizontal header
// names the fields and whose EditRole holds the raw values. Each grid column picks its field
// by name; model fields without a grid column are not shown. Values are turned into display
// text, icons and check marks here, for the visible cells only, so a model of 100 000 rows
// costs nothing until it is scrolled.
//
// The rows shown can differ from the bound model's: a sort by one column and a quick search
// over the visible columns give a list of the bound rows to show, in order. The model's own
// row numbers (index.row()) are positions in that list; value() and setValue() take rows of
// the bound model, which is what screens keep their cursors on.

#include "platform/controls/GridColumn.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <optional>
#include <vector>

namespace erpctl {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Header role holding a column's field name.
    static constexpr int FieldRole = Qt::UserRole + 1;

    explicit GridModel(QObject* parent = nullptr);

    // Columns. Changing them resets the model.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }
    GridColumn& column(int index) { return m_columns[index]; }
    int columnOf(const QString& field) const;

    // The bound model; nullptr unbinds. The grid does not own it. Another model than the one
    // bound drops the sort (its rows come in their own order).
    void setSourceModel(QAbstractItemModel* source);
    QAbstractItemModel* sourceModel() const { return m_source; }
    // Column of the bound model holding a field (any field, also one without a grid column).
    int sourceColumnOf(const QString& field) const;

    void setLocale(const QLocale& locale);
    const QLocale& locale() const { return m_locale; }

    // Raw value of a field at a row, straight from the bound model.
    QVariant value(int row, const QString& field) const;
    bool setValue(int row, const QString& field, const QVariant& value);

    // Display updates of the bound model are held back while suspended and shown at once at
    // the end, so a loop writing every row repaints once.
    void suspendUpdates();
    void resumeUpdates();
    bool updatesSuspended() const { return m_suspended > 0; }

    // Re-reads the field names of the bound model and repaints every cell.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // Has the bound model read every row it will have (a model read in slices may not yet).
    bool allRowsFetched() const { return !m_source || !m_source->canFetchMore({}); }
    // Reads the bound model's remaining rows now: sorting, searching, totals and exports work
    // on every row, never on the part read so far.
    void fetchAllRows();

    // --- Rows shown ---
    // Sorts the shown rows by a column (stable, so equal values keep the bound model's order);
    // -1 shows them in the bound model's order again.
    void sortRows(int column, Qt::SortOrder order);
    int sortColumn() const { return columnOf(m_sortField); }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // Forgets the search texts (the visible columns changed); the search is applied again.
    void invalidateSearch();
    // Reads the search texts ahead, in short slices while the event loop is idle, so that the
    // first letter typed finds them ready (for a grid with a search box).
    void setSearchPreparedInAdvance(bool inAdvance);
    bool searchPrepared() const { return m_searchCacheValid; }
    // Shows only the rows whose visible cells contain the text (ignoring case), as displayed;
    // an empty text shows every row.
    void setSearchText(const QString& text);
    const QString& searchText() const { return m_searchText; }
    // Row of the bound model shown at a position, and the position of a bound row (-1 when
    // the row is not shown).
    int sourceRow(int shownRow) const;
    int shownRow(int sourceRow) const;
    // Sum of a number column over the rows shown; nullopt for a column that is no number or
    // has no value in any shown row.
    std::optional<double> columnTotal(int column) const;

    // What a cell shows as text, following the column's kind, picture and the locale.
    QString displayText(const GridColumn& column, const QVariant& value) const;

    void setEditingAllowed(bool allowed) { m_editingAllowed = allowed; }
    bool editingAllowed() const { return m_editingAllowed; }

private:
    void connectSource();
    QHash<QString, int> readFields() const;
    void matchColumns();
    void onSourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    bool rowsMapped() const { return !m_sortField.isEmpty() || !m_searchText.isEmpty(); }
    // Recomputes the list of shown rows (call between begin and end of a reset).
    void rebuildRows();
    std::vector<int> matchingRows(const QString& needle, const std::vector<int>* within) const;
    void sortShownRows();
    const std::vector<QString>& searchTexts() const;
    // Reads the search texts of up to `count` more rows.
    void readSearchTexts(int count) const;
    // The rows or values changed: the texts are read again (ahead, when asked to).
    void forgetSearchTexts();
    // Rows were added after the last: the texts read so far stay.
    void extendSearchTexts();

    QList<GridColumn> m_columns;
    QPointer<QAbstractItemModel> m_source;
    QHash<QString, int> m_fieldColumns; // upper-case field name -> column of the bound model
    QList<QMetaObject::Connection> m_connections;
    QLocale m_locale;
    QString m_dateFormat;
    int m_suspended = 0;
    bool m_changedWhileSuspended = false;
    bool m_editingAllowed = false;

    QString m_sortField; // field of the sort column, empty for the bound model's order
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_searchText;
    std::vector<int> m_rows;    // bound rows shown, in order (used while rowsMapped())
    std::vector<int> m_shownAt; // bound row -> position in m_rows, -1 when not shown
    // Per bound row, the visible cells' display texts folded to lower case, built at the first
    // search and kept until the rows, the values or the visible columns change.
    mutable std::vector<QString> m_searchCache;
    mutable bool m_searchCacheValid = false;
    mutable int m_searchRowsRead = 0;
    mutable QList<int> m_searchColumns;
    bool m_searchInAdvance = false;
    QTimer* m_searchReader = nullptr;
};

} // namespace erpctl
