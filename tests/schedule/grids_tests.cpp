// The schedule grids as laid out at the first activation and as they show the rows.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/GridColumn.h"
#include "platform/controls/ImageList.h"

#include <QPushButton>

using namespace scadlav;
using namespace scadlav::testing;

TEST_F(QueryScreenTest, GridColumnsKindsAndHiddenColumns) {
    open();
    erpctl::Grid* ord = screen->controls().GRID_ORD;
    EXPECT_EQ(ord->gridColumnCount(), 55);
    EXPECT_EQ(screen->controls().GRID_DETT->gridColumnCount(), 21);
    EXPECT_EQ(screen->controls().GRID_CLI->gridColumnCount(), 7);
    EXPECT_EQ(ord->keyField(), QStringLiteral("PD5C_KEYGRID"));
    EXPECT_EQ(screen->controls().GRID_DETT->keyField(), QStringLiteral("KEY_GRID"));
    EXPECT_EQ(screen->controls().GRID_CLI->keyField(), QStringLiteral("DO11_NUMDOC"));
    EXPECT_EQ(ord->layoutKey(), QStringLiteral("FRMPD_KVB_SCADLAV.GRID_ORD"));

    for (const char* hidden : {"PD5C_KEYGRID", "DO30_DESCART", "DO41_CODCOMMESSA", "PD1H_DESCR"})
        EXPECT_FALSE(ord->isColumnVisible(QString::fromLatin1(hidden))) << hidden;
    EXPECT_TRUE(ord->isColumnVisible(QStringLiteral("CTRL_QTA")));
    const erpctl::GridColumn* soll = ord->columnAt(ord->columnIndex(QStringLiteral("SOLL")));
    ASSERT_NE(soll, nullptr);
    EXPECT_EQ(soll->kind, erpctl::ColumnKind::Image);
    EXPECT_EQ(soll->images.data(), screen->controls().IMG_STATO);
    // The caption is used twice; project captions stand untranslated.
    EXPECT_EQ(ord->columnAt(ord->columnIndex(QStringLiteral("PD5C_DISPPREC")))->caption,
              QStringLiteral("T78540"));
    EXPECT_EQ(ord->columnAt(ord->columnIndex(QStringLiteral("PD68_DESCRPROG")))->caption,
              QStringLiteral("Descr. progetto"));
    EXPECT_TRUE(screen->controls().GRID_DETT->isColumnEditable(QStringLiteral("DATA_INI")));
    EXPECT_FALSE(screen->controls().GRID_DETT->isColumnEditable(QStringLiteral("DO46_DATAINIZIO")));
}

TEST_F(QueryScreenTest, CellsShowListCaptionsFormatsAndNoIconForNull) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    a.phaseState = 99;
    a.start = QStringLiteral("NULL");
    a.end = QStringLiteral("NULL");
    a.inWork = QStringLiteral("2.5");
    addPhase(a);
    PhaseRow b;
    b.key = QStringLiteral("B");
    b.sequence = 20;
    b.phaseState = 2;
    b.ordered = QStringLiteral("1234.5");
    addPhase(b);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    erpctl::Grid* g = screen->controls().GRID_ORD;
    const int ra = g->findRow(QStringLiteral("PD5C_KEYGRID"), QStringLiteral("A"));
    const int rb = g->findRow(QStringLiteral("PD5C_KEYGRID"), QStringLiteral("B"));
    ASSERT_GE(ra, 0);
    ASSERT_GE(rb, 0);
    EXPECT_EQ(g->cellText(ra, QStringLiteral("PD5C_INDSTATOORD")), QString());
    EXPECT_EQ(g->cellText(rb, QStringLiteral("PD5C_INDSTATOORD")), QStringLiteral("T8486"));
    EXPECT_EQ(g->cellText(rb, QStringLiteral("PD5C_INDSTATOCONS")), QStringLiteral("T35297"));
    EXPECT_TRUE(g->value(ra, QStringLiteral("SOLL")).isNull());
    EXPECT_EQ(g->value(rb, QStringLiteral("CTRL_QTA")).toInt(), 4);
    EXPECT_EQ(g->cellText(ra, QStringLiteral("PD5C_SEQUENZA")), QStringLiteral("10"));
    EXPECT_EQ(
        g->cellText(rb, QStringLiteral("PD5C_QTA1ORD")).remove(QLatin1Char('.')).remove(QLatin1Char(',')),
        QStringLiteral("123450"));
}

TEST_F(QueryScreenTest, UserLayoutIsRestoredAndStored) {
    layouts.layouts[{7, QStringLiteral("FRMPD_KVB_SCADLAV.GRID_ORD")}] =
        QByteArray(R"({"columns":[{"field":"PD5C_FORREP","width":3000,"visible":false}]})");
    open();
    EXPECT_FALSE(screen->controls().GRID_ORD->isColumnVisible(QStringLiteral("PD5C_FORREP")));
    screen->controls().GRID_ORD->setColumnVisible(QStringLiteral("PD5C_DESCFASE"), false);
    const QByteArray stored = layouts.layouts.value({7, QStringLiteral("FRMPD_KVB_SCADLAV.GRID_ORD")});
    EXPECT_TRUE(stored.contains("PD5C_DESCFASE"));
}
