// The order detail: the phases of the schedule row's order line, copied once per line into the
// detail table and shown on the first sub-phase of the row's phase.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"

using namespace scadlav;
using namespace scadlav::testing;

namespace {

class OrderDetailTest : public QueryScreenTest {
protected:
    // Order R1 line 1 with phases 10, 20, 30; line 2 with phase 10; order R2 line 1 with phase 10.
    void SetUp() override {
        for (int sequence : {10, 20, 30})
            addPhase(phaseOf("R1", 1, sequence));
        addPhase(phaseOf("R1", 2, 10));
        addPhase(phaseOf("R2", 1, 10));
        open()->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
    }
    int tableRows() {
        auto rs = db.execute(QStringLiteral("SELECT COUNT(*) FROM ") + screen->detail().detailTableName());
        return rs && rs->isOpen() ? int(rs->value(0).toInt64().value_or(-1)) : -1;
    }
    QStringList shownSequences() {
        QStringList out;
        db::Recordset* rs = screen->detail().detailRecordset();
        for (int row = 0; rs && row < rs->recordCount(); ++row)
            out << rs->valueAt(row, rs->fieldIndex("DO46_CODSEQFASE")).toText();
        return out;
    }
    // Types into the detail's cell of phase `key`; false when editing was refused.
    bool type(const char* key, const char* field, const QString& text) {
        const int row = screen->controls().GRID_DETT->findRow("KEY_GRID", QLatin1String(key));
        EXPECT_GE(row, 0) << key;
        return typeInDetail(row, QLatin1String(field), text);
    }
    void clickMod(const char* key) {
        erpctl::Grid* grid = screen->controls().GRID_DETT;
        screen->detail().GRID_DETT_Click(grid->findRow("KEY_GRID", QString::fromLatin1(key)), "IND_DIR");
    }
    // A column of the row with `key`: "null", or "<none>" without exactly one such row.
    QString cell(const QString& table, const char* keyColumn, const char* key, const char* column) {
        auto rs =
            db.execute(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = '%4'")
                           .arg(QLatin1String(column), table, QLatin1String(keyColumn), QLatin1String(key)));
        if (!rs || !rs->isOpen() || rs->recordCount() != 1)
            return "<none>";
        return rs->value(0).isNull() ? "null" : rs->value(0).toText();
    }
    // A column of the detail table (as the recalculation will read it), and a schedule row's mark.
    QString stored(const char* key, const char* column) {
        return cell(screen->detail().detailTableName(), "KEY_GRID", key, column);
    }
    QString mark(const char* key) { return cell("PD5C_SCADLAV", "PD5C_KEYGRID", key, "PD5C_SEL"); }

    QString currentSequence() { return screen->controls().GRID_DETT->currentKey().toString(); }
};

} // namespace

TEST_F(OrderDetailTest, OpensOnTheRowsPhaseAndLoadsEachLineOnce) {
    // "Visualizza" made the table, named after the user's identity and the second.
    EXPECT_TRUE(
        screen->detail().detailTableName().startsWith("##TempTableDett_MARIO_PC_01_15_03_2026_10_30_00"));
    openDetailOn("R1-1-20");
    EXPECT_TRUE(screen->detail().isOpen());
    EXPECT_EQ(screen->controls().CMD_DETT->caption(), "T78528");
    EXPECT_FALSE(screen->controls().GRID_DETT->isHidden());
    EXPECT_EQ(shownSequences(), (QStringList{"10", "20", "30"}));
    EXPECT_EQ(currentSequence(), "A200") << "the schedule row's phase is current";
    EXPECT_EQ(tableRows(), 3);
    // The schedule grid keeps the upper 70 percent, the detail has the rest.
    screen->resize(1000, 700);
    screen->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen->controls().SPLITTER->firstPane(), screen->controls().GRID_ORD);
    const QList<int> panes = screen->controls().SPLITTER->sizes();
    ASSERT_EQ(panes.size(), 2);
    EXPECT_NEAR(100.0 * panes[0] / (panes[0] + panes[1]), 70.0, 2.0);

    // Following the schedule grid: another line of the same order shows its own phases only.
    goTo("R1-2-10");
    EXPECT_EQ(shownSequences(), QStringList{"10"});
    EXPECT_EQ(tableRows(), 4);

    // Back to a line already loaded: only the filter changes, nothing is copied again.
    goTo("R1-1-30");
    EXPECT_EQ(shownSequences(), (QStringList{"10", "20", "30"}));
    EXPECT_EQ(currentSequence(), "A300");
    EXPECT_EQ(tableRows(), 4);

    // Closed, the detail no longer follows and copies nothing; reopened it shows the same rows.
    screen->detail().CMD_DETT_Click();
    EXPECT_FALSE(screen->detail().isOpen());
    EXPECT_EQ(screen->controls().CMD_DETT->caption(), "T78529");
    EXPECT_TRUE(screen->controls().GRID_DETT->isHidden());
    goTo("R2-1-10");
    EXPECT_EQ(tableRows(), 4);
    screen->detail().CMD_DETT_Click();
    EXPECT_EQ(shownSequences(), QStringList{"10"});
    EXPECT_EQ(tableRows(), 5);

    // "Parametri" closes it, the next "Visualizza" starts from an empty table.
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_FALSE(screen->detail().isOpen());
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(tableRows(), 0);
    EXPECT_EQ(screen->detail().detailRecordset()->recordCount(), 0);
}

TEST_F(OrderDetailTest, CopiesEveryColumnTheWayTheTableWantsIt) {
    // A null supplier becomes the empty text; sequence 1 sub-phase 10 and sequence 11 sub-phase 0
    // both read A110.
    exec("UPDATE PD5C_SCADLAV SET PD5C_FORREP = NULL, PD5C_SEQUENZA = 1, PD5C_PROGSFASE = 10 "
         "WHERE PD5C_KEYGRID = 'R1-1-10'");
    exec("UPDATE PD5C_SCADLAV SET PD5C_SEQUENZA = 11 WHERE PD5C_KEYGRID = 'R1-1-20'");
    openDetailOn("R1-1-30");
    auto rs = db.execute(QStringLiteral("SELECT KEY_GRID, FORREP, FASE_IE, QTARES, IND_DIR, DATA_INI FROM ") +
                         screen->detail().detailTableName() + " ORDER BY DO46_CODSEQFASE");
    ASSERT_TRUE(rs && rs->isOpen());
    ASSERT_EQ(rs->recordCount(), 3);
    rs->moveFirst();
    QStringList first;
    for (int i = 0; i < rs->fieldCount(); ++i)
        first << (rs->value(i).isNull() ? "null" : rs->value(i).toText());
    EXPECT_EQ(first, (QStringList{"A110", "", "E", "10", "0", "null"}));
    rs->moveNext();
    EXPECT_EQ(rs->value("KEY_GRID").toText(), "A110");
}

TEST_F(OrderDetailTest, ALineThatLostThePhaseStandsOnItsFirstRowAndFailuresAreLogged) {
    openDetailOn("R1-1-20");
    // The loaded line no longer has the row's phase (as after a rebuild by somebody else): the
    // detail keeps its rows and stands on the first.
    db::Recordset* detail = screen->detail().detailRecordset();
    ASSERT_TRUE(detail->moveTo(1));
    ASSERT_TRUE(detail->setValue("DO46_CODSEQFASE", Value(25)));
    ASSERT_TRUE(detail->update()) << detail->lastErrorText().toStdString();
    goTo("R1-2-10");
    goTo("R1-1-20");
    EXPECT_EQ(shownSequences(), (QStringList{"10", "25", "30"}));
    EXPECT_EQ(currentSequence(), "A100");

    // The table is gone (a lost connection): the row change logs the failure and shows nothing.
    exec(QStringLiteral("DROP TABLE ") + screen->detail().detailTableName());
    messages.records.clear();
    goTo("R2-1-10");
    EXPECT_TRUE(messages.boxes().isEmpty());
    ASSERT_FALSE(errorLog.records.isEmpty());
    EXPECT_EQ(errorLog.records.last().routine, "GRID_ORD_RowChanged");
}

TEST_F(OrderDetailTest, TypedDatesKeepTheLineInOrderAndMoveTheAnchor) {
    openDetailOn("R1-1-20");
    messages.records.clear();

    // A start on 20: accepted, "Avanti", the schedule row marked.
    ASSERT_TRUE(type("A200", "DATA_INI", "10/05/2026"));
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_EQ(stored("A200", "IND_DIR"), "1");
    EXPECT_EQ(mark("R1-1-20"), "1");
    EXPECT_FALSE(screen->detail().dateEditPending());

    // An earlier start on 30 is refused and cleared; 20 keeps its date and its anchor.
    ASSERT_TRUE(type("A300", "DATA_INI", "09/05/2026"));
    EXPECT_EQ(boxIds(), QList<int>{78517});
    EXPECT_EQ(stored("A300", "DATA_INI"), "null");
    EXPECT_EQ(stored("A200", "IND_DIR"), "1");
    EXPECT_TRUE(screen->detail().dateEditPending());
    bool cancel = false;
    screen->detail().GRID_DETT_Validate(cancel);
    EXPECT_TRUE(cancel) << "the grid keeps the focus while the edit is pending";

    // The same date on 30: equal dates pass, 30 becomes the anchor and 20 drops to none.
    messages.records.clear();
    ASSERT_TRUE(type("A300", "DATA_INI", "10-05-2026"));
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_EQ(stored("A300", "IND_DIR"), "1");
    EXPECT_EQ(stored("A200", "IND_DIR"), "0");

    // An end on 20 before its own start, and an end on 10 after the later starts.
    ASSERT_TRUE(type("A200", "DATA_FINE", "01/05/2026"));
    ASSERT_TRUE(type("A100", "DATA_FINE", "20/05/2026"));
    EXPECT_EQ(boxIds(), (QList<int>{78518, 78519}));
    EXPECT_EQ(stored("A100", "DATA_FINE"), "null");

    // Clearing the only date of 30: no direction, the schedule row unmarked.
    ASSERT_TRUE(type("A300", "DATA_INI", QString()));
    EXPECT_EQ(stored("A300", "IND_DIR"), "0");
    EXPECT_EQ(mark("R1-1-20"), "0");
}

TEST_F(OrderDetailTest, ClosedPhasesWrongDatesAndModClicks) {
    exec("UPDATE PD5C_SCADLAV SET PD5C_INDSTATOORD = 3 WHERE PD5C_KEYGRID = 'R1-1-10'");
    openDetailOn("R1-1-20");

    // A "Saldata" phase never enters editing.
    EXPECT_FALSE(type("A100", "DATA_INI", "10/05/2026"));
    EXPECT_FALSE(screen->detail().dateEditPending());

    // Text that is no date, or a date the database cannot hold, is refused and never stored.
    for (const QString& bad :
         QStringList{"31/02/2026", "domani", "00/00/0000", "01/01/0000", "01/01/10000", "01/01/1700"}) {
        type("A200", "DATA_INI", bad);
        EXPECT_EQ(stored("A200", "DATA_INI"), "null") << bad.toStdString();
        EXPECT_FALSE(screen->controls().GRID_DETT->lastMessage().isEmpty());
    }
    EXPECT_EQ(screen->controls().GRID_DETT->lastMessage(), "T90424|01/01/1700");

    // "Mod." on an undated phase does nothing; on a dated one it turns to the next direction and
    // takes the anchor.
    clickMod("A300");
    EXPECT_EQ(stored("A300", "IND_DIR"), "0");
    // A two-digit year is read in the century the planner means.
    ASSERT_TRUE(type("A200", "DATA_FINE", "12/05/26"));
    EXPECT_TRUE(stored("A200", "DATA_FINE").startsWith("2026-05-12"))
        << stored("A200", "DATA_FINE").toStdString();
    EXPECT_EQ(stored("A200", "IND_DIR"), "2");
    clickMod("A200");
    EXPECT_EQ(stored("A200", "IND_DIR"), "3");
    ASSERT_TRUE(type("A300", "DATA_FINE", "14/05/2026"));
    clickMod("A300");
    EXPECT_EQ(stored("A300", "IND_DIR"), "3");
    EXPECT_EQ(stored("A200", "IND_DIR"), "0") << "one anchor per line";
}
