// The order detail: the phases of the schedule row's order line, copied once per line into the
// detail table and shown on the first sub-phase of the row's phase.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "tests/support/doubles/MemoryErrorLog.h"

using namespace scadlav;
using namespace scadlav::testing;

namespace {

class OrderDetailTest : public QueryScreenTest {
protected:
    // Order R1 line 1 with phases 10, 20, 30; line 2 with phase 10; order R2 line 1 with phase 10.
    void SetUp() override {
        factory.registerClass(classnames::ErrorLog, [this] {
            auto log = std::make_unique<doubles::MemoryErrorLog>();
            errorLog = log.get();
            return log;
        });
        for (int sequence : {10, 20, 30})
            addLine(QStringLiteral("R1"), 1, sequence);
        addLine(QStringLiteral("R1"), 2, 10);
        addLine(QStringLiteral("R2"), 1, 10);
        open();
        screen->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
    }
    void addLine(const QString& numreg, int line, int sequence) {
        PhaseRow row;
        row.key = QStringLiteral("%1-%2-%3").arg(numreg).arg(line).arg(sequence);
        row.numreg = numreg;
        row.line = line;
        row.sequence = sequence;
        addPhase(row);
    }
    // Stands the schedule grid on the row with `key`, as the planner's click would.
    void goTo(const QString& key) {
        erpctl::Grid* grid = screen->controls().GRID_ORD;
        const int row = grid->findRow(QStringLiteral("PD5C_KEYGRID"), key);
        ASSERT_GE(row, 0) << key.toStdString();
        grid->setCurrentRow(row);
    }
    int tableRows() {
        auto rs = db.execute(QStringLiteral("SELECT COUNT(*) FROM ") + screen->detail().detailTableName());
        return rs && rs->isOpen() ? int(rs->value(0).toInt64().value_or(-1)) : -1;
    }
    QStringList shownSequences() {
        QStringList out;
        db::Recordset* rs = screen->detail().detailRecordset();
        for (int row = 0; rs && row < rs->recordCount(); ++row)
            out << rs->valueAt(row, rs->fieldIndex(QStringLiteral("DO46_CODSEQFASE"))).toText();
        return out;
    }
    doubles::MemoryErrorLog* errorLog = nullptr;

    QString currentSequence() {
        const QVariant key = screen->controls().GRID_DETT->currentKey();
        return key.toString();
    }
};

} // namespace

TEST_F(OrderDetailTest, OpensOnTheRowsPhaseAndLoadsEachLineOnce) {
    goTo(QStringLiteral("R1-1-20"));
    screen->detail().CMD_DETT_Click();
    EXPECT_TRUE(screen->detail().isOpen());
    EXPECT_EQ(screen->controls().CMD_DETT->caption(), QStringLiteral("T78528"));
    EXPECT_FALSE(screen->controls().GRID_DETT->isHidden());
    EXPECT_EQ(shownSequences(), (QStringList{"10", "20", "30"}));
    EXPECT_EQ(currentSequence(), QStringLiteral("A200")) << "the schedule row's phase is current";
    EXPECT_EQ(tableRows(), 3);

    // Following the schedule grid: another line of the same order shows its own phases only.
    goTo(QStringLiteral("R1-2-10"));
    EXPECT_EQ(shownSequences(), QStringList{"10"});
    EXPECT_EQ(tableRows(), 4);

    // Back to a line already loaded: only the filter changes, nothing is copied again.
    goTo(QStringLiteral("R1-1-30"));
    EXPECT_EQ(shownSequences(), (QStringList{"10", "20", "30"}));
    EXPECT_EQ(currentSequence(), QStringLiteral("A300"));
    EXPECT_EQ(tableRows(), 4);

    // Closed, the detail no longer follows and copies nothing; reopened it shows the same rows.
    screen->detail().CMD_DETT_Click();
    EXPECT_FALSE(screen->detail().isOpen());
    EXPECT_EQ(screen->controls().CMD_DETT->caption(), QStringLiteral("T78529"));
    EXPECT_TRUE(screen->controls().GRID_DETT->isHidden());
    goTo(QStringLiteral("R2-1-10"));
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
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_FORREP = NULL, PD5C_SEQUENZA = 1, PD5C_PROGSFASE = 10 "
                        "WHERE PD5C_KEYGRID = 'R1-1-10'"));
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEQUENZA = 11 WHERE PD5C_KEYGRID = 'R1-1-20'"));
    goTo(QStringLiteral("R1-1-30"));
    screen->detail().CMD_DETT_Click();
    auto rs = db.execute(QStringLiteral("SELECT KEY_GRID, FORREP, FASE_IE, QTARES, IND_DIR, DATA_INI FROM ") +
                         screen->detail().detailTableName() + QStringLiteral(" ORDER BY DO46_CODSEQFASE"));
    ASSERT_TRUE(rs && rs->isOpen());
    ASSERT_EQ(rs->recordCount(), 3);
    rs->moveFirst();
    EXPECT_EQ(rs->value(QStringLiteral("KEY_GRID")).toText(), QStringLiteral("A110"));
    EXPECT_EQ(rs->value(QStringLiteral("FORREP")).toText(), QString());
    EXPECT_FALSE(rs->value(QStringLiteral("FORREP")).isNull());
    EXPECT_EQ(rs->value(QStringLiteral("FASE_IE")).toText(), QStringLiteral("E"));
    EXPECT_EQ(rs->value(QStringLiteral("QTARES")).toText(), QStringLiteral("10"));
    EXPECT_EQ(rs->value(QStringLiteral("IND_DIR")).toInt64(), 0);
    EXPECT_TRUE(rs->value(QStringLiteral("DATA_INI")).isNull());
    rs->moveNext();
    EXPECT_EQ(rs->value(QStringLiteral("KEY_GRID")).toText(), QStringLiteral("A110"));
}

TEST_F(OrderDetailTest, ALineThatLostThePhaseStandsOnItsFirstRowAndFailuresAreLogged) {
    goTo(QStringLiteral("R1-1-20"));
    screen->detail().CMD_DETT_Click();
    // The loaded line no longer has the row's phase (as after a rebuild by somebody else): the
    // detail keeps its rows and stands on the first.
    db::Recordset* detail = screen->detail().detailRecordset();
    ASSERT_TRUE(detail->moveTo(1));
    ASSERT_TRUE(detail->setValue(QStringLiteral("DO46_CODSEQFASE"), Value(25)));
    ASSERT_TRUE(detail->update()) << detail->lastErrorText().toStdString();
    goTo(QStringLiteral("R1-2-10"));
    goTo(QStringLiteral("R1-1-20"));
    EXPECT_EQ(shownSequences(), (QStringList{"10", "25", "30"}));
    EXPECT_EQ(currentSequence(), QStringLiteral("A100"));

    // The table is gone (a lost connection): the row change logs the failure and shows nothing.
    exec(QStringLiteral("DROP TABLE ") + screen->detail().detailTableName());
    messages.records.clear();
    goTo(QStringLiteral("R2-1-10"));
    EXPECT_TRUE(messages.boxes().isEmpty());
    ASSERT_TRUE(errorLog);
    ASSERT_FALSE(errorLog->records.isEmpty());
    EXPECT_EQ(errorLog->records.last().routine, QStringLiteral("GRID_ORD_RowChanged"));
}
