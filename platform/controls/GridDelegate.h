#pragma once
// Draws and edits the cells of a Grid: icons and check boxes centred, and for editable cells
// an editor fitting the column's kind (a combo of captions for list columns, a line edit for
// the others). The typed value goes back through the grid, which converts and checks it.

#include <QStyledItemDelegate>

namespace erpctl {

class Grid;

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(Grid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    Grid* m_grid;
};

} // namespace erpctl
