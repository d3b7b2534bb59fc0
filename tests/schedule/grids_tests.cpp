// The schedule grids as laid out at the first activation and as they show the rows.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/GridColumn.h"

using namespace scadlav;
using namespace scadlav::testing;

TEST_F(QueryScreenTest, TheDetailsEditableDatesAndTheReminderLight) {
    open();
    // Only the new dates of the detail are typed in; the order's own dates stay read-only.
    EXPECT_TRUE(screen->controls().GRID_DETT->isColumnEditable("DATA_INI"));
    EXPECT_FALSE(screen->controls().GRID_DETT->isColumnEditable("DO46_DATAINIZIO"));
    // The reminder state shows as a status light, not as its code.
    erpctl::Grid* ord = screen->controls().GRID_ORD;
    EXPECT_EQ(ord->columnAt(ord->columnIndex("SOLL"))->kind, erpctl::ColumnKind::Image);
}

TEST_F(QueryScreenTest, CellsShowListCaptionsFormatsAndNoIconForNull) {
    addPhase({.key = "A", .phaseState = 99, .start = "NULL", .end = "NULL", .inWork = "2.5"});
    addPhase({.key = "B", .sequence = 20, .phaseState = 2, .ordered = "1234.5"});
    open()->results().CMD_ELABORA_ButtonClick();
    erpctl::Grid* g = screen->controls().GRID_ORD;
    const int ra = g->findRow("PD5C_KEYGRID", "A");
    const int rb = g->findRow("PD5C_KEYGRID", "B");
    ASSERT_GE(ra, 0);
    ASSERT_GE(rb, 0);
    EXPECT_EQ(g->cellText(ra, "PD5C_INDSTATOORD"), QString());
    EXPECT_EQ(g->cellText(rb, "PD5C_INDSTATOORD"), "T8486");
    EXPECT_EQ(g->cellText(rb, "PD5C_INDSTATOCONS"), "T35297");
    EXPECT_TRUE(g->value(ra, "SOLL").isNull());
    EXPECT_EQ(g->value(rb, "CTRL_QTA").toInt(), 4);
    EXPECT_EQ(g->cellText(ra, "PD5C_SEQUENZA"), "10");
    EXPECT_EQ(g->cellText(rb, "PD5C_QTA1ORD").remove(QLatin1Char('.')).remove(QLatin1Char(',')), "123450");
}

TEST_F(QueryScreenTest, UserLayoutIsRestoredAndStored) {
    layouts.layouts[{7, "FRMPD_KVB_SCADLAV.GRID_ORD"}] =
        QByteArray(R"({"columns":[{"field":"PD5C_FORREP","width":3000,"visible":false}]})");
    open();
    EXPECT_FALSE(screen->controls().GRID_ORD->isColumnVisible("PD5C_FORREP"));
    screen->controls().GRID_ORD->setColumnVisible("PD5C_DESCFASE", false);
    const QByteArray stored = layouts.layouts.value({7, "FRMPD_KVB_SCADLAV.GRID_ORD"});
    EXPECT_TRUE(stored.contains("PD5C_DESCFASE"));
}
