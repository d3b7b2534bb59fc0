#pragma once
// The table of the filter panel: caption | from | description | to | description. Only the
// from and to cells take input; Tab and Enter move between them, F4 asks for the list of
// values (or the calendar of a date row), Delete empties a value.

#include <QTableWidget>

namespace erpctl {

class FilterTable : public QTableWidget {
    Q_OBJECT
public:
    enum Column {
        CaptionColumn = 0,
        FromColumn,
        FromDescriptionColumn,
        ToColumn,
        ToDescriptionColumn,
        ColumnCount
    };
    // Data of a row's caption item that shapes its value editors.
    static constexpr int MaxLengthRole = Qt::UserRole + 1;
    static constexpr int DateRowRole = Qt::UserRole + 2;

    explicit FilterTable(QWidget* parent = nullptr);

    static bool isValueColumn(int column) { return column == FromColumn || column == ToColumn; }
    // 1 for the from side, 2 for the to side, 0 for the caption.
    static int sideOf(int column);

signals:
    void lookupRequested(int row, int side);
    void clearRequested(int row, int side);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    // F4 in a cell being typed in keeps what was typed and opens the list.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QModelIndex nextValueCell(const QModelIndex& from, bool forward) const;
};

} // namespace erpctl
