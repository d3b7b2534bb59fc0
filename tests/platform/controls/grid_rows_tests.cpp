// What the grid shows of its bound rows: header sort, quick search, totals, fitted widths and
// icon meanings, with the grid's row numbers staying those of the bound model throughout.
#include "platform/controls/ControlTexts.h"
#include "platform/controls/DateText.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridBar.h"
#include "platform/controls/GridModel.h"
#include "platform/controls/ImageList.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace erpctl;

namespace {

struct Row {
    const char* supplier;
    QVariant quantity;
    QDate end;
    int soll;
};

// Five phases with a supplier, a quantity, an end date and a reminder code.
std::unique_ptr<QStandardItemModel> phases() {
    const QList<Row> rows = {
        {"Rossi", 10.5, QDate(2026, 3, 1), 1},  {"bianchi", 2.25, QDate(2026, 1, 15), 3},
        {"Verdi", QVariant(), QDate(), 4},      {"Bianchi srl", 1000.0, QDate(2026, 2, 10), 2},
        {"Rossi", 0.75, QDate(2026, 1, 15), 3},
    };
    auto model = std::make_unique<QStandardItemModel>(0, 4);
    model->setHorizontalHeaderLabels({"FORREP", "QTA", "DATAFINE", "SOLL"});
    for (const Row& row : rows) {
        QList<QStandardItem*> items;
        for (const QVariant& v : {QVariant(QString::fromUtf8(row.supplier)), row.quantity,
                                  row.end.isValid() ? QVariant(row.end.startOfDay()) : QVariant(),
                                  QVariant(qlonglong(row.soll))}) {
            auto* item = new QStandardItem;
            if (v.isValid())
                item->setData(v, Qt::EditRole);
            items << item;
        }
        model->appendRow(items);
    }
    return model;
}

class GridRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        images.addStatusImages();
        grid.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
        grid.addColumn("FORREP", "Forn./Rep.", ColumnKind::Text, 1500);
        grid.addColumn("QTA", "Qta res.", ColumnKind::Number, 1000, true, "###,###,###,##0.00");
        grid.addColumn("DATAFINE", "Data fine", ColumnKind::Date, 1000);
        grid.addImageColumn("SOLL", "Soll.", &images, 700);
        model = phases();
        grid.resize(900, 300);
        grid.bind(model.get());
    }

    // Suppliers of the rows shown, top to bottom.
    QStringList shownSuppliers() const {
        QStringList names;
        for (int i = 0; i < grid.shownRowCount(); ++i)
            names << grid.value(grid.shownRow(i), "FORREP").toString();
        return names;
    }

    void clickHeader(const QString& field) {
        QHeaderView* header = grid.horizontalHeader();
        const int section = grid.columnIndex(field);
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    ImageList images;
    Grid grid;
    std::unique_ptr<QStandardItemModel> model;
};

} // namespace

TEST_F(GridRowsTest, HeaderClicksSortAscendingThenDescendingWithEmptyCellsFirst) {
    grid.show();
    clickHeader("QTA");
    EXPECT_EQ(shownSuppliers(), (QStringList{"Verdi", "Rossi", "bianchi", "Rossi", "Bianchi srl"}));
    EXPECT_TRUE(grid.horizontalHeader()->isSortIndicatorShown());
    EXPECT_EQ(grid.horizontalHeader()->sortIndicatorSection(), grid.columnIndex("QTA"));
    EXPECT_EQ(grid.horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);

    clickHeader("QTA");
    EXPECT_EQ(grid.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shownSuppliers(), (QStringList{"Bianchi srl", "Rossi", "bianchi", "Rossi", "Verdi"}));

    // Texts ignore case; equal values keep the bound order (stable), dates sort as dates.
    grid.sortByField("FORREP");
    EXPECT_EQ(shownSuppliers(), (QStringList{"bianchi", "Bianchi srl", "Rossi", "Rossi", "Verdi"}));
    grid.sortByField("DATAFINE", Qt::DescendingOrder);
    EXPECT_EQ(shownSuppliers(), (QStringList{"Rossi", "Bianchi srl", "bianchi", "Rossi", "Verdi"}));
    EXPECT_EQ(grid.cellText(grid.shownRow(0), "DATAFINE"), "01/03/2026");

    grid.clearSort();
    EXPECT_EQ(shownSuppliers(), (QStringList{"Rossi", "bianchi", "Verdi", "Bianchi srl", "Rossi"}));
    EXPECT_FALSE(grid.horizontalHeader()->isSortIndicatorShown());
}

TEST_F(GridRowsTest, RowNumbersStayThoseOfTheBoundModelUnderASort) {
    QSignalSpy moved(&grid, &Grid::rowChanged);
    grid.setCurrentRow(3); // "Bianchi srl"
    grid.sortByField("QTA", Qt::DescendingOrder);
    // The current row is still the same phase, now shown at the top.
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(grid.currentIndex().row(), 0);

    // A click on the second shown line reports the bound row, as screens move their cursor by it.
    grid.setCurrentIndex(grid.model()->index(1, grid.columnIndex("FORREP")));
    EXPECT_EQ(grid.currentRow(), 0); // "Rossi" 10,50
    ASSERT_FALSE(moved.isEmpty());
    EXPECT_EQ(moved.last().at(0).toInt(), 0);

    // Writing through the grid reaches the bound row, and the sorted view shows the new value.
    ASSERT_TRUE(grid.setValue(4, "QTA", 5000.0));
    EXPECT_EQ(model->data(model->index(4, 1), Qt::EditRole).toDouble(), 5000.0);
    EXPECT_EQ(grid.model()->data(grid.model()->index(grid.model()->rowCount() - 1, 0)).toString(), "Verdi");
}

TEST_F(GridRowsTest, QuickSearchNarrowsTheRowsAsShownInAnyVisibleColumnAndFollowsTheModel) {
    grid.setQuickSearch("rossi");
    EXPECT_EQ(shownSuppliers(), (QStringList{"Rossi", "Rossi"}));
    // Numbers and dates are searched as the grid shows them.
    grid.setQuickSearch("1.000,00");
    EXPECT_EQ(shownSuppliers(), (QStringList{"Bianchi srl"}));
    grid.setQuickSearch("15/01");
    EXPECT_EQ(shownSuppliers(), (QStringList{"bianchi", "Rossi"}));
    // Typing on narrows within the rows found; deleting widens again.
    grid.setQuickSearch("15/01/2026");
    EXPECT_EQ(grid.shownRowCount(), 2);
    grid.setQuickSearch("15/01/2027");
    EXPECT_EQ(grid.shownRowCount(), 0);
    EXPECT_EQ(grid.currentRow(), -1);
    grid.setQuickSearch("BIANCHI");
    EXPECT_EQ(shownSuppliers(), (QStringList{"bianchi", "Bianchi srl"}));

    // A hidden column is not searched; showing it again makes it count.
    grid.setColumnVisible("FORREP", false);
    EXPECT_EQ(grid.shownRowCount(), 0);
    grid.setColumnVisible("FORREP", true);
    EXPECT_EQ(grid.shownRowCount(), 2);

    // Search and sort work together, and a value written afterwards is found by the next search.
    grid.sortByField("QTA", Qt::DescendingOrder);
    EXPECT_EQ(shownSuppliers(), (QStringList{"Bianchi srl", "bianchi"}));
    model->setData(model->index(2, 0), QStringLiteral("Bianchi & figli"), Qt::EditRole);
    grid.setQuickSearch("");
    grid.setQuickSearch("bianchi");
    EXPECT_EQ(shownSuppliers(), (QStringList{"Bianchi srl", "bianchi", "Bianchi & figli"}));

    grid.setQuickSearch("");
    EXPECT_EQ(grid.shownRowCount(), 5);

    // Rows added or removed in the model keep the sort and the search.
    grid.setQuickSearch("rossi");
    grid.sortByField("QTA");
    QList<QStandardItem*> items{new QStandardItem("Rossi"), new QStandardItem};
    items[1]->setData(0.1, Qt::EditRole);
    model->appendRow(items);
    EXPECT_EQ(shownSuppliers(), (QStringList{"Rossi", "Rossi", "Rossi"}));
    EXPECT_EQ(grid.shownRow(0), 5);
    model->removeRows(0, 1);
    EXPECT_EQ(grid.shownRowCount(), 2);
    EXPECT_EQ(grid.rowCount(), 5);
}

TEST_F(GridRowsTest, TotalsSumTheRowsShownAndFormatLikeTheColumn) {
    grid.setTotalFields({"QTA"});
    EXPECT_DOUBLE_EQ(*grid.total("QTA"), 1013.5);
    EXPECT_EQ(grid.totalText("QTA"), "1.013,50");
    grid.setQuickSearch("rossi");
    EXPECT_DOUBLE_EQ(*grid.total("QTA"), 11.25);
    grid.setQuickSearch("verdi"); // only an empty quantity
    EXPECT_FALSE(grid.total("QTA").has_value());
    EXPECT_EQ(grid.totalText("QTA"), "");
    EXPECT_FALSE(grid.total("FORREP").has_value()); // not a number column

    // The line sits under the rows and repaints once the values change.
    grid.setQuickSearch("");
    grid.show();
    QWidget* line = grid.findChild<QWidget*>("GridTotals");
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisible());
    EXPECT_GE(line->geometry().top(), grid.viewport()->geometry().bottom());
    model->setData(model->index(0, 1), 20.5, Qt::EditRole);
    EXPECT_DOUBLE_EQ(*grid.total("QTA"), 1023.5);
}

TEST_F(GridRowsTest, IconsSayWhatTheyMeanAndTheBarShowsCountLegendAndSearch) {
    grid.setImageMeanings("SOLL", {{1, "Non ancora in scadenza"}, {2, "In corso"}, {3, "Scaduto"}});
    const QModelIndex overdue = grid.model()->index(1, grid.columnIndex("SOLL"));
    EXPECT_EQ(grid.model()->data(overdue, Qt::ToolTipRole).toString(), "Scaduto");
    const QModelIndex noMeaning = grid.model()->index(2, grid.columnIndex("SOLL"));
    EXPECT_FALSE(grid.model()->data(noMeaning, Qt::ToolTipRole).isValid());

    GridBar bar;
    bar.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    bar.setGrid(&grid);
    EXPECT_EQ(bar.rowCountText(), "5 righe");
    QTest::keyClicks(bar.searchBox(), "ross");
    EXPECT_EQ(grid.shownRowCount(), 2);
    EXPECT_EQ(bar.findChild<QLabel*>("LBL_RIGHE")->text(), "2 di 5 righe");

    std::unique_ptr<QMenu> legend(bar.createLegend(nullptr));
    QStringList lines;
    for (QAction* action : legend->actions())
        lines << action->text();
    EXPECT_EQ(lines, (QStringList{"Soll.", "Non ancora in scadenza", "In corso", "Scaduto"}));
    // The legend is offered only while an icon column with meanings is shown.
    EXPECT_FALSE(bar.legendButton()->isHidden());
    grid.setColumnVisible("SOLL", false);
    EXPECT_TRUE(bar.legendButton()->isHidden());
    grid.setColumnVisible("SOLL", true);
    EXPECT_FALSE(bar.legendButton()->isHidden());

    // The bar follows its grid's visibility, and the control texts follow the installed catalog.
    grid.hide();
    EXPECT_TRUE(bar.isHidden());
    grid.show();
    EXPECT_FALSE(bar.isHidden());
    setTextSource(
        [](int id, const QString& italian) { return id == 91424 ? QStringLiteral("%1 rows") : italian; });
    bar.searchBox()->clear();
    EXPECT_EQ(bar.rowCountText(), "5 rows");
    setTextSource({});
}

TEST_F(GridRowsTest, WidthsShowCaptionsAndValuesUntilTheUserSizesAColumn) {
    const int column = grid.columnIndex("FORREP");
    model->setData(model->index(0, 0), QStringLiteral("Officina meccanica di precisione Rossi"),
                   Qt::EditRole);
    grid.bind(nullptr);
    grid.bind(model.get());
    const int fitted = grid.columnWidth(column);
    EXPECT_GE(fitted, grid.fontMetrics().horizontalAdvance("Officina meccanica di precisione Rossi"));
    // A short caption over short values keeps its design width as the least.
    EXPECT_GE(grid.columnWidth(grid.columnIndex("SOLL")), 700 * grid.logicalDpiX() / 1440);

    grid.horizontalHeader()->resizeSection(column, 60);
    const QByteArray layout = grid.saveLayout();
    grid.bind(nullptr);
    grid.bind(model.get());
    EXPECT_NEAR(grid.columnWidth(column), 60, 1);

    // A double click on the header's edge fits the column to what it shows.
    grid.show();
    QHeaderView* header = grid.horizontalHeader();
    const QPoint edge(header->sectionViewportPosition(column) + header->sectionSize(column) - 1,
                      header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, edge);
    EXPECT_GE(grid.columnWidth(column),
              grid.fontMetrics().horizontalAdvance("Officina meccanica di precisione"));
    grid.horizontalHeader()->resizeSection(column, 60);

    Grid other;
    other.addColumn("FORREP", "Forn./Rep.", ColumnKind::Text, 1500);
    other.bind(model.get());
    ASSERT_TRUE(other.restoreLayout(layout));
    EXPECT_NEAR(other.columnWidth(0), 60, 2);
}

TEST_F(GridRowsTest, KeyColumnsStickToTheLeftEdgeOnlyOnceScrolledPast) {
    for (int i = 0; i < 8; ++i)
        grid.addColumn(QStringLiteral("EXTRA%1").arg(i), QStringLiteral("Extra"), ColumnKind::Text, 3000);
    grid.setFrozenFields({"FORREP", "DATAFINE"});
    grid.resize(500, 300);
    grid.show();
    QTableView* frozen = grid.findChild<QTableView*>("FrozenColumns");
    ASSERT_NE(frozen, nullptr);
    EXPECT_EQ(grid.stuckFields(), QStringList());
    EXPECT_FALSE(frozen->isVisible());

    // Past half the supplier: it sticks; further on, the date (after the quantity) sticks too.
    QScrollBar* across = grid.horizontalScrollBar();
    across->setValue(grid.columnWidth(grid.columnIndex("FORREP")) / 2);
    EXPECT_EQ(grid.stuckFields(), QStringList{"FORREP"});
    EXPECT_TRUE(frozen->isVisible());
    EXPECT_EQ(frozen->width(), grid.columnWidth(grid.columnIndex("FORREP")));
    across->setValue(across->maximum());
    EXPECT_EQ(grid.stuckFields(), (QStringList{"FORREP", "DATAFINE"}));
    EXPECT_FALSE(frozen->isColumnHidden(grid.columnIndex("DATAFINE")));
    EXPECT_TRUE(frozen->isColumnHidden(grid.columnIndex("QTA")));

    // Both parts show the same row; a click on the stuck part is a click on the grid.
    QSignalSpy clicked(&grid, &Grid::cellClicked);
    const QModelIndex cell = frozen->model()->index(3, grid.columnIndex("FORREP"));
    QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, frozen->visualRect(cell).center());
    EXPECT_EQ(grid.currentRow(), 3);
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked.first().at(1).toString(), "FORREP");

    across->setValue(0);
    EXPECT_EQ(grid.stuckFields(), QStringList());
    EXPECT_FALSE(frozen->isVisible());
}

TEST(DateFormats, DateColumnsShowDigitsWhateverTheMachineLocale) {
    // Italian is covered by the grid's cells; a four-digit year must not be widened again.
    EXPECT_EQ(localeDateFormat(QLocale(QLocale::English, QLocale::UnitedKingdom)), "dd/MM/yyyy");

    const QLocale machine;
    QLocale::setDefault(QLocale::c());
    Grid grid;
    grid.addColumn("D", "Data", ColumnKind::Date, 1000);
    QStandardItemModel model(1, 1);
    model.setHorizontalHeaderLabels({"D"});
    model.setData(model.index(0, 0), QDateTime(QDate(2026, 11, 4), QTime(0, 0)), Qt::EditRole);
    grid.bind(&model);
    EXPECT_EQ(grid.cellText(0, "D"), "04/11/2026");
    EXPECT_GE(grid.columnWidth(0), grid.fontMetrics().horizontalAdvance("04/11/2026"));
    QLocale::setDefault(machine);
}
