// "Visualizza" on more rows than the first slice, and the re-sort that reuses the rows in hand:
// whatever needs every row sees every row, and the rows reused are the ones the statement
// would return.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/CodeCombo.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

// More rows than "Visualizza" reads before it shows the grid.
constexpr int kRows = 450;

class SlicedShowTest : public QueryScreenTest {
protected:
    void addBook() {
        exec("BEGIN TRANSACTION");
        for (int i = 0; i < kRows; ++i) {
            PhaseRow row = phaseOf(QStringLiteral("R%1").arg(i / 8), 1, 10 * (i % 8 + 1));
            row.end = QDate(2026, 3, 16).addDays(i % 40).toString(Qt::ISODate);
            row.forrep = QStringLiteral("Fornitore %1").arg(i % 13);
            row.numdoc = i / 8;
            if (i % 3 == 0) { // every third covered by the previous phase's stock
                row.toSend = "5";
                row.stockBefore = "5";
            }
            addPhase(row);
        }
        exec("COMMIT");
    }
    // The book shown: the grid has its first slice of rows.
    erpctl::Grid* showBook() {
        addBook();
        open()->results().CMD_ELABORA_ButtonClick();
        return screen->controls().GRID_ORD;
    }
    db::Recordset* rows() { return screen->results().scheduleRecordset(); }
    // Notes whether rows arriving in the grid's bound model came while the wait cursor was up.
    void watchTheCursor(erpctl::Grid* grid) {
        QObject::connect(grid->boundModel(), &QAbstractItemModel::rowsInserted, grid, [this] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            readUnderWaitCursor = readUnderWaitCursor || (cursor && cursor->shape() == Qt::WaitCursor);
        });
    }
    bool readUnderWaitCursor = false;
    // The end dates of the rows in the grid's order.
    QList<qint64> endDates() {
        QList<qint64> dates;
        db::Recordset* rs = rows();
        const int field = rs->fieldIndex("PD5C_DATAFINEFASE");
        for (int r = 0; r < rs->recordCount(); ++r)
            dates << rs->cellAt(r, field).i;
        return dates;
    }
};

} // namespace

TEST_F(SlicedShowTest, ActionsDuringTheReadingSeeEveryRow) {
    erpctl::Grid* grid = showBook();
    ASSERT_NE(rows(), nullptr);
    ASSERT_TRUE(rows()->isFetching());
    EXPECT_LT(grid->rowCount(), kRows);
    EXPECT_FALSE(grid->allRowsFetched());
    EXPECT_FALSE(grid->total("PD5C_QTADAINV").has_value()); // no total of a part
    // The status bar counts the rows read so far, in the session's number format.
    EXPECT_EQ(statusBar.panelText(IStatusBar::ProgressPanel),
              QStringLiteral("T91751|%1").arg(grid->rowCount()));

    // The proposals check counts every covered row, not those read so far.
    QTimer::singleShot(0, [] {
        if (QWidget* proposals = QApplication::activeModalWidget())
            proposals->close();
    });
    screen->controls().CMD_FUNZ->triggerItem("KEY_PROP");
    ASSERT_NE(screen->results().proposalRows(), nullptr);
    EXPECT_EQ(screen->results().proposalRows()->recordCount(), (kRows + 2) / 3);
    EXPECT_EQ(grid->rowCount(), kRows);
    EXPECT_EQ(grid->total("PD5C_QTADAINV").value_or(0), 5.0 * ((kRows + 2) / 3));
}

TEST_F(SlicedShowTest, AHeaderSortWaitsForTheRest) {
    erpctl::Grid* grid = showBook();
    ASSERT_FALSE(grid->allRowsFetched());
    watchTheCursor(grid);
    grid->sortByField("PD5C_DATAFINEFASE", Qt::DescendingOrder);
    EXPECT_TRUE(readUnderWaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(grid->shownRowCount(), kRows);
    EXPECT_EQ(grid->value(grid->shownRow(0), "PD5C_DATAFINEFASE").toDate(), QDate(2026, 3, 16).addDays(39));
}

TEST_F(SlicedShowTest, AQuickSearchWaitsForTheRest) {
    erpctl::Grid* grid = showBook();
    ASSERT_FALSE(grid->allRowsFetched());
    watchTheCursor(grid);
    grid->setQuickSearch("Fornitore 12");
    EXPECT_TRUE(readUnderWaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(grid->shownRowCount(), kRows / 13 + (kRows % 13 > 12 ? 1 : 0));
}

TEST_F(SlicedShowTest, TheReSortReusesTheRowsOnlyWhileTheStatementWouldReturnThem) {
    showBook();
    ASSERT_NE(rows(), nullptr);

    // Nothing committed, no phase date reached: the rows in hand, in the re-sort's order.
    screen->controls().CBO_ORD->setText("2");
    ASSERT_NE(rows(), nullptr);
    EXPECT_EQ(rows()->sort(), "PD5C_DATAFINEFASE desc");
    EXPECT_TRUE(screen->session().currentStatement().endsWith(" ORDER BY PD5C_DATAFINEFASE desc"));
    const QList<qint64> reused = endDates();
    ASSERT_EQ(reused.size(), kRows);

    // Another planner commits: the statement runs again.
    exec("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1 WHERE PD5C_KEYGRID = 'R0-1-10'");
    screen->controls().CBO_ORD->setText("1");
    EXPECT_TRUE(rows()->sort().isEmpty());
    // Run by the database, the end-date order is the one the rows were put in.
    exec("UPDATE PD5C_SCADLAV SET PD5C_SEL = 0 WHERE PD5C_KEYGRID = 'R0-1-10'");
    screen->controls().CBO_ORD->setText("2");
    EXPECT_TRUE(rows()->sort().isEmpty());
    EXPECT_EQ(endDates(), reused);

    // The server's clock passes a phase end date: the codes may change, so the rows are read.
    qputenv("ERP_FIXED_NOW", "2026-03-16 10:30:00");
    screen->controls().CBO_ORD->setText("3");
    EXPECT_TRUE(rows()->sort().isEmpty());
    EXPECT_EQ(byKey("CTRL_DATE").value("R0-1-10"), "3");
    screen->controls().CBO_ORD->setText("2");
    EXPECT_FALSE(rows()->sort().isEmpty());
    EXPECT_EQ(endDates(), reused);
}
