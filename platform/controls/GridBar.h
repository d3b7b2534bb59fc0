#pragma once
// The line above a grid: a quick search box that narrows the rows shown as the user types,
// the number of rows shown, a legend of the grid's icons (only while the grid shows icons with
// a meaning) and an export button. It shows and hides with its grid.

#include <QWidget>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace erpctl {

class Grid;

class GridBar : public QWidget {
    Q_OBJECT
public:
    explicit GridBar(QWidget* parent = nullptr);

    void setGrid(Grid* grid);
    Grid* grid() const { return m_grid; }

    QLineEdit* searchBox() const { return m_search; }
    QPushButton* exportButton() const { return m_export; }
    QToolButton* legendButton() const { return m_legend; }
    QString rowCountText() const;
    // The legend as a menu: for each icon column, its caption and what each icon means.
    QMenu* createLegend(QWidget* parent) const;

signals:
    void exportRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The row count and whether there is a legend to offer.
    void updateContent();

    Grid* m_grid = nullptr;
    QLineEdit* m_search;
    QLabel* m_count;
    QToolButton* m_legend;
    QPushButton* m_export;
};

} // namespace erpctl
