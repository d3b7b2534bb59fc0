#include "platform/controls/FilterTable.h"

#include "platform/controls/ControlTexts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace erpctl {

namespace {

// Value editors that know the row's length limit, and hint the date form on date rows.
class ValueDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const QModelIndex caption = index.siblingAtColumn(FilterTable::CaptionColumn);
            const int maxLength = caption.data(FilterTable::MaxLengthRole).toInt();
            if (maxLength > 0)
                edit->setMaxLength(maxLength);
            if (caption.data(FilterTable::DateRowRole).toBool())
                edit->setPlaceholderText(controlText(91410, QStringLiteral("gg/mm/aaaa")));
            if (QObject* table = this->parent())
                edit->installEventFilter(table);
        }
        return editor;
    }
};

} // namespace

FilterTable::FilterTable(QWidget* parent) : QTableWidget(0, ColumnCount, parent) {
    setHorizontalHeaderLabels(
        {controlText(91418, QStringLiteral("Campo")), controlText(91419, QStringLiteral("Da")),
         controlText(91420, QStringLiteral("Descrizione")), controlText(91421, QStringLiteral("A")),
         controlText(91420, QStringLiteral("Descrizione"))});
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setItemDelegate(new ValueDelegate(this));
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(CaptionColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(FromColumn, QHeaderView::Interactive);
    header->setSectionResizeMode(ToColumn, QHeaderView::Interactive);
    header->setSectionResizeMode(FromDescriptionColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ToDescriptionColumn, QHeaderView::Stretch);
    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("M")) * 14;
    setColumnWidth(FromColumn, valueWidth);
    setColumnWidth(ToColumn, valueWidth);
}

int FilterTable::sideOf(int column) {
    switch (column) {
    case FromColumn:
    case FromDescriptionColumn:
        return 1;
    case ToColumn:
    case ToDescriptionColumn:
        return 2;
    default:
        return 0;
    }
}

QModelIndex FilterTable::nextValueCell(const QModelIndex& from, bool forward) const {
    // Walks from / to cells in reading order, skipping hidden rows.
    int row = from.isValid() ? from.row() : (forward ? 0 : rowCount() - 1);
    int column = from.isValid() ? from.column() : (forward ? CaptionColumn : ColumnCount);
    const int cells = rowCount() * 2;
    for (int step = 0; step < cells + 2; ++step) {
        if (forward) {
            if (column < FromColumn) {
                column = FromColumn;
            } else if (column < ToColumn) {
                column = ToColumn;
            } else {
                column = FromColumn;
                ++row;
            }
        } else {
            if (column > ToColumn) {
                column = ToColumn;
            } else if (column > FromColumn) {
                column = FromColumn;
            } else {
                column = ToColumn;
                --row;
            }
        }
        if (row < 0 || row >= rowCount())
            return from;
        if (!isRowHidden(row))
            return model()->index(row, column);
    }
    return from;
}

QModelIndex FilterTable::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    switch (cursorAction) {
    case MoveNext:
        return nextValueCell(current, true);
    case MovePrevious:
        return nextValueCell(current, false);
    case MoveRight:
    case MoveLeft: {
        if (!current.isValid())
            break;
        return nextValueCell(current, cursorAction == MoveRight).row() == current.row()
                   ? nextValueCell(current, cursorAction == MoveRight)
                   : current;
    }
    default:
        break;
    }
    return QTableWidget::moveCursor(cursorAction, modifiers);
}

void FilterTable::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    if (state() != EditingState && current.isValid()) {
        const int side = sideOf(current.column());
        switch (event->key()) {
        case Qt::Key_F4:
            if (side > 0)
                emit lookupRequested(current.row(), side);
            event->accept();
            return;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            if (side > 0)
                emit clearRequested(current.row(), side);
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Enter goes down to the same side of the next visible row.
            int row = current.row() + 1;
            while (row < rowCount() && isRowHidden(row))
                ++row;
            if (row < rowCount())
                setCurrentCell(row, isValueColumn(current.column()) ? current.column() : int(FromColumn));
            event->accept();
            return;
        }
        default:
            break;
        }
    }
    QTableWidget::keyPressEvent(event);
}

bool FilterTable::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QLineEdit*>(watched);
    if (editor && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F4) {
        const QModelIndex current = currentIndex();
        const int side = current.isValid() ? sideOf(current.column()) : 0;
        if (side > 0) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
            emit lookupRequested(current.row(), side);
            return true;
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void FilterTable::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click on a description asks for the list of that side's values.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() &&
        (index.column() == FromDescriptionColumn || index.column() == ToDescriptionColumn)) {
        emit lookupRequested(index.row(), sideOf(index.column()));
        event->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(event);
}

} // namespace erpctl
