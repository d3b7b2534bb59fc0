// "Visualizza", "Parametri", the re-sort and the function menu, driven through the screen's
// controls on an embedded database with a fixed clock.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

QStringList menuKeys(FRMPD_KVB_SCADLAV* s) {
    return s->controls().CMD_FUNZ->itemKeys();
}

} // namespace

// Now is 15/03/2026 10:30 on the server.
TEST_F(QueryScreenTest, ClassificationCodesAtTheirBoundaries) {
    int sequence = 0;
    for (PhaseRow row : std::initializer_list<PhaseRow>{
             // Dates: late whatever the quantities; running with nothing moving; running with work
             // reported.
             {.key = "LATE", .end = "2026-03-14", .consolid = "3", .inWork = "2"},
             {.key = "IDLE", .start = "2026-03-15"},
             {.key = "MOVING", .consolid = "2", .inWork = "4"},
             {.key = "FUTURE", .start = "2026-03-20", .end = "2026-03-25", .inWork = "1"},
             {.key = "NODATES", .start = "NULL", .end = "NULL", .inWork = "3"},
             // Stock of the previous phase against the quantity to send.
             {.key = "COVERED", .toSend = "10", .stockBefore = "10"},
             {.key = "PART", .toSend = "10", .stockBefore = "4"},
             {.key = "NOSTOCK", .toSend = "10"},
             {.key = "ZEROSTOCK", .toSend = "10", .stockBefore = "0"},
             // Left out: a settled phase, a closed order, one fully reported, one too old.
             {.key = "SETTLED", .phaseState = 3},
             {.key = "CLOSED", .state = 9},
             {.key = "DONE", .consolid = "10"},
             {.key = "OLD", .documentDate = "2025-01-01"}}) {
        row.sequence = sequence += 10;
        addPhase(row);
    }
    open()->results().CMD_ELABORA_ButtonClick();
    ASSERT_NE(screen->results().scheduleRecordset(), nullptr) << messages.boxes().size();

    const QMap<QString, QString> date = byKey("CTRL_DATE"), qta = byKey("CTRL_QTA"), soll = byKey("SOLL");
    EXPECT_EQ(date.keys(), (QStringList{"COVERED", "FUTURE", "IDLE", "LATE", "MOVING", "NODATES", "NOSTOCK",
                                        "PART", "ZEROSTOCK"}));
    // CTRL_DATE, CTRL_QTA and SOLL of a row; "-" where that code is not the point.
    for (const auto& [key, codes] :
         std::initializer_list<std::pair<QString, QString>>{{"LATE", "3 4 3"},
                                                            {"IDLE", "2 - 4"},
                                                            {"MOVING", "1 - 2"},
                                                            {"FUTURE", "- - 1"},
                                                            {"NODATES", "1 - null"},
                                                            {"COVERED", "- 1 -"},
                                                            {"PART", "- 2 -"},
                                                            {"NOSTOCK", "- 4 -"},
                                                            {"ZEROSTOCK", "- 4 -"}}) {
        const QStringList wanted = codes.split(QLatin1Char(' '));
        QStringList got{date.value(key), qta.value(key), soll.value(key)};
        for (int i = 0; i < 3; ++i)
            got[i] = wanted[i] == u"-" ? wanted[i] : got[i];
        EXPECT_EQ(got.join(QLatin1Char(' ')), codes) << key.toStdString();
    }

    // The joined columns come along: the construction note and the unit of measure.
    EXPECT_EQ(byKey("DO46_NOTECOSTR").value("LATE"), "nota LATE");
    EXPECT_EQ(byKey("MG66_UM1").value("LATE"), "PZ");

    // The function menu hands the reminder screen only the rows its classification selects; the
    // screen opens modally and is looked at and closed from inside.
    int reminderRows = -1;
    QString reminderScreen;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            reminderScreen = modal->objectName();
            reminderRows =
                screen->results().reminderRows() ? screen->results().reminderRows()->recordCount() : -1;
            modal->close();
        }
    });
    screen->controls().CMD_FUNZ->triggerItem("KEY_SOLL");
    EXPECT_EQ(reminderScreen, "FRMPD_KVB_STSOLL");
    EXPECT_EQ(reminderRows, 2); // LATE and MOVING
    EXPECT_EQ(screen->results().reminderRows(), nullptr);
    EXPECT_TRUE(messages.boxes().isEmpty());
}

TEST_F(QueryScreenTest, ModificationModeMarksRowsAndClearsThemViewModeLeavesThem) {
    addPhase({.key = "A"});
    exec("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1");
    const ScheduleControls& ui = open()->controls();
    screen->results().CMD_ELABORA_ButtonClick();

    EXPECT_EQ(registry(), QStringList{"7/0/1"});
    // The reminder history and the undo of the last date recalculation follow the four items.
    EXPECT_EQ(menuKeys(screen),
              (QStringList{"KEY_IMP", "KEY_PROP", "KEY_SOLL", "KEY_GIAC", "KEY_STSOLL", "KEY_ANNRIC"}));
    EXPECT_FALSE(ui.CMD_DATE->isHidden());
    EXPECT_FALSE(ui.CMD_FUNZ->isHidden());
    EXPECT_FALSE(ui.CBO_ORD->isHidden());
    EXPECT_TRUE(ui.CMD_RICALCOLA->isHidden());
    EXPECT_TRUE(ui.GRID_DETT->isEditable());
    EXPECT_EQ(ui.CMD_ELABORA->text(), "T43034");
    // "Visualizza" in modification mode cleared the marks left in the table.
    EXPECT_EQ(byKey("PD5C_SEL").value("A"), "0");

    // A mark reaches the table at once.
    ASSERT_EQ(ui.GRID_ORD->rowCount(), 1);
    ASSERT_TRUE(ui.GRID_ORD->setRowMarked(0, true)) << ui.GRID_ORD->lastMessage().toStdString();
    auto rs = db.execute("SELECT PD5C_SEL FROM PD5C_SCADLAV");
    EXPECT_EQ(rs->value(0).toText(), "1");

    // Back to the parameters: marks cleared, registry row gone, parameter view.
    screen->results().CMD_ELABORA_ButtonClick();
    rs = db.execute("SELECT PD5C_SEL FROM PD5C_SCADLAV");
    EXPECT_EQ(rs->value(0).toText(), "0");
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(ui.GRID_ORD->isHidden());
    EXPECT_TRUE(ui.CMD_FUNZ->isHidden());
    EXPECT_TRUE(ui.CBO_ORD->isHidden());
    EXPECT_EQ(ui.CMD_ELABORA->text(), "T60970");

    // The translated caption starts the show sequence again.
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(registry(), QStringList{"7/0/1"});
    screen->results().CMD_ELABORA_ButtonClick();

    // View mode: no date recalculation, no marks, and the marks left alone.
    exec("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1");
    ui.CHK_MODIFICA->setValueText("0");
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(registry(), QStringList{"7/0/0"});
    EXPECT_TRUE(ui.CMD_DATE->isHidden());
    EXPECT_FALSE(ui.GRID_DETT->isEditable());
    EXPECT_FALSE(ui.GRID_ORD->setRowMarked(0, false));
    screen->results().CMD_ELABORA_ButtonClick();
    rs = db.execute("SELECT PD5C_SEL FROM PD5C_SCADLAV");
    EXPECT_EQ(rs->value(0).toText(), "1");
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(QueryScreenTest, OtherPlannersRefuseTheScheduleOrOfferViewMode) {
    addPhase({.key = "A"});
    // A rebuild running on another planner's screen refuses it.
    exec("INSERT INTO PD5D_ACCESSISCAD VALUES(2,1,0)");
    open()->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(boxIds(), QList<int>{78507});
    EXPECT_EQ(registry(), QStringList{"2/1/0"});
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->controls().GRID_ORD->isHidden());

    // Another planner's screen, on its own connection, is in modification mode.
    exec("UPDATE PD5D_ACCESSISCAD SET PD5D_FLGRIC = 0, PD5D_FLGVISU = 1");
    messages.records.clear();
    messages.answerNext(msgbox::ResultNo);
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(boxIds(), QList<int>{78508});
    EXPECT_EQ(registry(), QStringList{"2/0/1"});
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->canShow());
    EXPECT_EQ(screen->results().scheduleRecordset(), nullptr);

    messages.answerNext(msgbox::ResultYes);
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(registry(), (QStringList{"2/0/1", "7/0/0"}));
    EXPECT_EQ(screen->controls().CHK_MODIFICA->valueText(), "0");
    EXPECT_EQ(menuKeys(screen), (QStringList{"KEY_IMP", "KEY_PROP", "KEY_GIAC", "KEY_STSOLL"}));
    ASSERT_NE(screen->results().scheduleRecordset(), nullptr);
    EXPECT_EQ(screen->results().scheduleRecordset()->recordCount(), 1);
}

TEST_F(QueryScreenTest, BadParametersAreRefusedBeforeAnythingChanges) {
    addPhase({.key = "A"});
    const ScheduleControls& ui = open()->controls();
    ui.lstStati->setAllChecked(false);
    screen->results().CMD_ELABORA_ButtonClick();
    ui.lstStati->setChecked("K2", true);
    ui.TXT_DATAMIN->setText("31/02/2026");
    screen->results().CMD_ELABORA_ButtonClick();
    ui.TXT_DATAMIN->setText("01/01/2026");
    ui.EnhancedQuery->setFromValue("DO11_NUMDOC", "abc");
    screen->results().CMD_ELABORA_ButtonClick();

    EXPECT_EQ(boxIds(), (QList<int>{51499, 90401, 90402}));
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->canShow());
    EXPECT_EQ(screen->results().scheduleRecordset(), nullptr);
}

TEST_F(QueryScreenTest, FilterPanelAndStatesReachTheServer) {
    for (const PhaseRow& row : {PhaseRow{.key = "P1", .sequence = 10, .state = 1, .department = "R1"},
                                PhaseRow{.key = "P2", .sequence = 20, .state = 2, .department = "R1"},
                                PhaseRow{.key = "Q1", .sequence = 30, .state = 1, .department = "R'2"},
                                PhaseRow{.key = "Q2", .sequence = 40, .state = 2, .department = "R'2"}})
        addPhase(row);
    const ScheduleControls& ui = open()->controls();
    ui.lstStati->setChecked("K1", false);
    ui.EnhancedQuery->setFromValue("DO46_CODREPARTO", "R'2");
    ui.EnhancedQuery->setToValue("DO46_CODREPARTO", "R'2");
    screen->results().CMD_ELABORA_ButtonClick();
    ASSERT_TRUE(messages.boxes().isEmpty()) << messages.boxes().value(0).text.toStdString();
    EXPECT_EQ(keysInOrder(), QStringList{"Q2"});
    EXPECT_TRUE(screen->session().currentStatement().endsWith(
        " AND PD5C_INDSTATOCONS IN(0,2,3,4) ORDER BY "
        "PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_NUMDOC,PD5C_SEQUENZA,PD5C_DATAFINEFASE"));
}

TEST_F(QueryScreenTest, EndDateSortDiffersBetweenShowAndReSort) {
    // Same end date, document numbers 1 and 2; a later end date with number 3.
    addPhase({.key = "A", .numdoc = 1});
    addPhase({.key = "B", .sequence = 20, .numdoc = 2});
    addPhase({.key = "C", .sequence = 30, .numdoc = 3, .end = "2026-04-01"});
    const ScheduleControls& ui = open()->controls();
    ui.CBO_ORD->setText("2");
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(keysInOrder(), (QStringList{"B", "A", "C"}));

    // The planner picks "Data fine", the order shown, from the list again: the re-sort's order.
    ui.CBO_ORD->showPopup();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(ui.CBO_ORD->view(), &enter);
    EXPECT_EQ(ui.CBO_ORD->text(), "2");
    EXPECT_EQ(keysInOrder().value(0), "C");

    const int layoutColumns = ui.GRID_ORD->gridColumnCount();
    ui.CBO_ORD->setText("1");
    ui.CBO_ORD->setText("2");
    EXPECT_EQ(keysInOrder().first(), "C");
    // The grid follows the new record set with the columns it was laid out with.
    EXPECT_EQ(ui.GRID_ORD->gridColumnCount(), layoutColumns);
    EXPECT_EQ(ui.GRID_ORD->rowCount(), 3);

    // No state ticked: the re-sort tells why and shows nothing.
    ui.lstStati->setAllChecked(false);
    ui.CBO_ORD->setText("3");
    EXPECT_EQ(boxIds(), QList<int>{51499});
    EXPECT_EQ(ui.GRID_ORD->rowCount(), 0);
}
