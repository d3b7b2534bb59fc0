#pragma once
// The record grid: a table over a bound model (a record set seen through a Qt model), with
// columns defined by the screen, value lists, status icons, check boxes, editing under the
// screen's control, row marks written straight to the model, a column chooser and a layout
// that can be saved and restored.

#include "platform/controls/GridColumn.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTableView>
#include <optional>

class QMenu;

namespace erpctl {

class GridModel;
class GridFooter;

class Grid : public QTableView {
    Q_OBJECT
public:
    // Key of the row-marking feature.
    static inline const QString SelectionFeatureKey = QStringLiteral("SEL");

    explicit Grid(QWidget* parent = nullptr);
    ~Grid() override;

    // Opens the editor of a cell (asking beforeEdit first), as a double click does.
    using QTableView::edit;

    // --- Columns (widths in twips, 1440 to the inch) ---
    void removeAllColumns();
    // Adds a column and returns its index; -1 when the field is empty or already a column.
    int addColumn(const QString& field, const QString& caption, ColumnKind kind, int widthTwips,
                  bool visible = true, const QString& format = {});
    int addListColumn(const QString& field, const QString& caption, const QList<ListItem>& items,
                      int widthTwips, bool visible = true);
    int addImageColumn(const QString& field, const QString& caption, ImageList* images, int widthTwips,
                       bool visible = true);
    int addCheckColumn(const QString& field, const QString& caption, int widthTwips, bool visible = true);
    // What each code of an image column means: the icon's tooltip and the legend's lines.
    void setImageMeanings(const QString& field, const QList<ListItem>& meanings);
    int gridColumnCount() const;
    const GridColumn* columnAt(int index) const;
    int columnIndex(const QString& field) const;
    // Fields of the screen's columns, in their current left-to-right order.
    QStringList visualFields() const;
    void setColumnVisible(const QString& field, bool visible);
    bool isColumnVisible(const QString& field) const;
    void setColumnWidthTwips(const QString& field, int widthTwips);
    int columnWidthTwips(const QString& field) const;

    // --- Rows shown: sort, quick search, totals ---
    // Row numbers everywhere else in this class are rows of the bound model, whatever is shown.
    // A click on a column header sorts the shown rows by it (a second click descending) and
    // the header draws the direction; an empty field shows the bound model's order again.
    void sortByField(const QString& field, Qt::SortOrder order = Qt::AscendingOrder);
    void clearSort() { sortByField(QString()); }
    QString sortField() const;
    Qt::SortOrder sortOrder() const;
    // Shows only the rows with the text in any visible column (as shown, ignoring case).
    void setQuickSearch(const QString& text);
    QString quickSearch() const;
    // Reads what the search looks through ahead, while the event loop is idle, so that the
    // first letter typed answers at once (set by a search box over the grid).
    void setQuickSearchReadAhead(bool ahead);
    bool quickSearchReady() const;
    int shownRowCount() const;
    // A bound model read in slices may not have every row yet; fetchAllRows() reads the rest
    // now (with the wait cursor), for whatever must see every row (an export, a count).
    bool allRowsFetched() const;
    void fetchAllRows();
    // The bound row shown at a position from the top, -1 outside.
    int shownRow(int position) const;
    // A totals line under the rows: the sum of each named number column over the rows shown.
    void setTotalFields(const QStringList& fields);
    const QStringList& totalFields() const { return m_totalFields; }
    std::optional<double> total(const QString& field) const;
    // A total as the column shows its numbers; empty when there is none.
    QString totalText(const QString& field) const;

    // Key columns that stay in sight when the user scrolls right: once the scroll would take
    // one of them past the left edge, it is drawn there, over the rows, as in a spreadsheet's
    // frozen panes. Until then every column stays where the layout puts it.
    void setFrozenFields(const QStringList& fields);
    const QStringList& frozenFields() const { return m_frozenFields; }
    // The frozen fields drawn at the left edge now, in their order.
    QStringList stuckFields() const;

    // --- Binding ---
    // Binds a model; columns keep their definitions and pick their fields by name. The grid
    // does not take ownership. nullptr unbinds.
    void bind(QAbstractItemModel* model);
    void unbind() { bind(nullptr); }
    QAbstractItemModel* boundModel() const;
    void setModel(QAbstractItemModel* model) override;
    int rowCount() const;

    // Raw value of any field of the bound model (also one that is not a grid column).
    QVariant value(int row, const QString& field) const;
    bool setValue(int row, const QString& field, const QVariant& value);
    // The text a cell shows (empty for icons and check boxes).
    QString cellText(int row, const QString& field) const;

    // --- Position ---
    int currentRow() const;
    void setCurrentRow(int row);
    // Field of the current column, "" when there is none.
    QString currentField() const;

    // First row whose field equals the value (texts ignoring case and trailing blanks,
    // numbers by value), -1 when none does.
    int findRow(const QString& field, const QVariant& value) const;
    // The key field's value of the current row (see setKeyField).
    QVariant currentKey() const;

    void setKeyField(const QString& field) { m_keyField = field; }
    const QString& keyField() const { return m_keyField; }
    void setLayoutKey(const QString& key) { m_layoutKey = key; }
    const QString& layoutKey() const { return m_layoutKey; }

    // --- Editing ---
    // Editing needs both the grid editable and the column open to editing.
    void setEditable(bool editable);
    bool isEditable() const;
    void setColumnEditable(const QString& field, bool open = true);
    bool isColumnEditable(const QString& field) const;
    void closeAllColumnsForEdit();
    // True while a cell editor is open.
    bool isEditing() const { return state() == EditingState; }

    // --- Row marks ---
    // The field that holds a row's mark (0/1). When it is not one of the grid's columns, the
    // grid shows a mark column of its own at the left while marking is on.
    void setSelectionField(const QString& field);
    const QString& selectionField() const { return m_selectionField; }
    // Switches a feature by key; only "SEL" (row marks) exists. False for an unknown key, or
    // when marking is switched on with no selection field.
    bool setFeatureEnabled(const QString& key, bool enabled);
    bool isFeatureEnabled(const QString& key) const;
    bool isRowMarked(int row) const;
    // Writes 1 or 0 into the selection field of the row: the bound model saves it at once.
    // False when marking is off or the model refuses the write.
    bool setRowMarked(int row, bool marked);
    bool toggleRowMark(int row);

    // --- Display ---
    void redisplay();
    void refresh();
    void suspendDisplay();
    void resumeDisplay();
    bool isDisplaySuspended() const;

    // --- Layout ---
    // Column order, widths and visibility, as a small JSON text the host's layout service
    // stores. Restoring ignores fields the grid does not have; false (nothing changed) for a
    // text that is no layout.
    QByteArray saveLayout() const;
    bool restoreLayout(const QByteArray& layout);
    // The menu offered on the header: one check per column to show or hide it.
    QMenu* createColumnChooser(QWidget* parent);

    // Asks the screen whether the focus may leave the grid (signal validate). The grid calls
    // it itself when it loses the focus, and takes the focus back when refused.
    bool requestLeave();

    const QString& lastMessage() const { return m_lastMessage; }

    // Used by the cell editors.
    QString editorText(const QModelIndex& index);
    void commitCellInput(const QModelIndex& index, const QVariant& input, bool typedText);

signals:
    void rowChanged(int row, int previousRow);
    void cellClicked(int row, const QString& field);
    void cellDoubleClicked(int row, const QString& field);
    // Before a cell enters editing (also before a check box cell is toggled).
    void beforeEdit(int row, const QString& field, bool& cancel);
    // Before an edited value is written; cancel with a message to refuse it.
    void validateCell(int row, const QString& field, const QVariant& value, bool& cancel, QString& message);
    // After an edited value has been written to the bound model.
    void afterEdit(int row, const QString& field);
    void editRejected(int row, const QString& field, const QString& message);
    // The focus is about to leave the grid; cancel keeps it.
    void validate(bool& cancel);
    void rowMarkChanged(int row, bool marked);
    void columnVisibilityChanged(const QString& field, bool visible);
    // The rows shown changed (new rows, a sort, a search).
    void shownRowsChanged();
    // The user moved or resized a column (the screen may save the layout).
    void layoutEdited();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int appendColumn(GridColumn column);
    void setColumns(const QList<GridColumn>& columns);
    void updateMarkColumn();
    bool isMarkColumn(int column) const;
    void applyViewState();
    void onClicked(const QModelIndex& index);
    void onCurrentChanged(const QModelIndex& current);
    void onModelAboutToBeReset();
    void onModelReset();
    void showMessage(const QModelIndex& index, const QString& message);
    void reopenEditor(const QModelIndex& index, const QString& text);
    int firstVisibleColumn() const;
    double fontScale() const;
    int twipsToPixels(int twips) const;
    int shownWidth(const GridColumn& column) const;
    void fitColumns();
    int pixelsToTwips(int pixels) const;
    int viewRowOf(int boundRow) const;
    void onHeaderClicked(int logical);
    void updateSortIndicator();
    void updateFrozen();
    void scheduleTotals();
    void computeTotals();

    GridModel* m_model;
    QStringList m_order; // fields in left-to-right order
    QString m_selectionField;
    bool m_selectionOn = false;
    QString m_keyField;
    QString m_layoutKey;
    QString m_lastMessage;
    QPersistentModelIndex m_retryIndex;
    QString m_retryText;
    int m_lastRow = -1;
    int m_rowBeforeReset = -1;
    bool m_rebinding = false;
    bool m_applying = false;
    bool m_leaveCheck = false;
    int m_suspended = 0;
    QStringList m_totalFields;
    QHash<QString, QString> m_totalTexts; // field -> shown total
    GridFooter* m_footer = nullptr;
    QStringList m_frozenFields;
    QTableView* m_frozen = nullptr; // draws the stuck key columns over the left edge
    QList<int> m_stuck;             // their columns, left to right
    bool m_totalsPending = false;
};

} // namespace erpctl
