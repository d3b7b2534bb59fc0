#pragma once
// The table a Grid shows: its own columns laid over a bound model whose horizontal header
// names the fields and whose EditRole holds the raw values. Each grid column picks its field
// by name; model fields without a grid column are not shown. Values are turned into display
// text, icons and check marks here, for the visible cells only, so a model of 100 000 rows
// costs nothing until it is scrolled.

#include "platform/controls/GridColumn.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QLocale>
#include <QPointer>

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

    // The bound model; nullptr unbinds. The grid does not own it.
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

    // What a cell shows as text, following the column's kind, picture and the locale.
    QString displayText(const GridColumn& column, const QVariant& value) const;

    void setEditingAllowed(bool allowed) { m_editingAllowed = allowed; }
    bool editingAllowed() const { return m_editingAllowed; }

private:
    void connectSource();
    QHash<QString, int> readFields() const;
    void matchColumns();
    void onSourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    QList<GridColumn> m_columns;
    QPointer<QAbstractItemModel> m_source;
    QHash<QString, int> m_fieldColumns; // upper-case field name -> column of the bound model
    QList<QMetaObject::Connection> m_connections;
    QLocale m_locale;
    QString m_dateFormat;
    int m_suspended = 0;
    bool m_changedWhileSuspended = false;
    bool m_editingAllowed = false;
};

} // namespace erpctl
