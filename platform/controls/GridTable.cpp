#include "platform/controls/GridTable.h"

#include "platform/controls/Grid.h"

namespace erpctl {

QList<ShownColumn> shownColumns(const Grid& grid) {
    QList<ShownColumn> columns;
    for (const QString& field : grid.visualFields()) {
        if (!grid.isColumnVisible(field))
            continue;
        const GridColumn* column = grid.columnAt(grid.columnIndex(field));
        if (!column || column->internal)
            continue;
        const bool raw = column->kind == ColumnKind::Image || column->kind == ColumnKind::CheckBox;
        columns << ShownColumn{field, column->caption, raw};
    }
    return columns;
}

QString shownCell(const Grid& grid, int row, const ShownColumn& column) {
    if (!column.raw)
        return grid.cellText(row, column.field);
    const QVariant value = grid.value(row, column.field);
    return value.isNull() ? QString() : value.toString();
}

} // namespace erpctl
