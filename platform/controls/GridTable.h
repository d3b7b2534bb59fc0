#pragma once
// A grid's rows as the user sees them, for writing to a file: the shown columns in their
// current order (the grid's own mark column left out) and the text of each cell. A file cannot
// carry a picture, so icon and check-box cells give their stored code.

#include <QList>
#include <QString>

namespace erpctl {

class Grid;

struct ShownColumn {
    QString field;
    QString caption;
    bool raw = false; // the stored value rather than the shown text
};

QList<ShownColumn> shownColumns(const Grid& grid);
QString shownCell(const Grid& grid, int row, const ShownColumn& column);

} // namespace erpctl
