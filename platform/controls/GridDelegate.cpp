#include "platform/controls/GridDelegate.h"

#include "platform/controls/ControlTexts.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridModel.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>

namespace erpctl {

GridDelegate::GridDelegate(Grid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const GridColumn* column = m_grid->columnAt(index.column());
    if (!column)
        return nullptr;
    if (column->kind == ColumnKind::List) {
        auto* combo = new QComboBox(parent);
        for (const auto& item : column->listItems)
            combo->addItem(item.caption, item.code);
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (column->kind == ColumnKind::Date)
        edit->setPlaceholderText(controlText(91410, QStringLiteral("gg/mm/aaaa")));
    if (column->kind == ColumnKind::Number)
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFont(option.font);
    return edit;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const QVariant value = index.data(Qt::EditRole);
        combo->setCurrentIndex(-1);
        for (int i = 0; i < combo->count(); ++i) {
            if (listCodeMatches(combo->itemData(i), value)) {
                combo->setCurrentIndex(i);
                break;
            }
        }
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(m_grid->editorText(index));
        edit->selectAll();
    }
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (combo->currentIndex() >= 0)
            m_grid->commitCellInput(index, combo->currentData(), false);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        m_grid->commitCellInput(index, edit->text(), true);
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const GridColumn* column = m_grid->columnAt(index.column());
    if (column && column->kind == ColumnKind::Image) {
        option->decorationAlignment = Qt::AlignCenter;
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->features &= ~QStyleOptionViewItem::HasDisplay;
    }
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    const GridColumn* column = m_grid->columnAt(index.column());
    if (!column || column->kind != ColumnKind::CheckBox) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The style puts a check indicator at the left edge; a column of marks reads better centred.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const Qt::CheckState state = opt.checkState;
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, opt.widget);
    opt.features &= ~(QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    QStyleOptionViewItem check = opt;
    check.rect = QRect(QPoint(0, 0), box.size());
    check.rect.moveCenter(option.rect.center());
    check.state =
        (opt.state & ~QStyle::State_HasFocus) | (state == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, opt.widget);
}

} // namespace erpctl
