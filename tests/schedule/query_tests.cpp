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
#include <QFile>
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
    PhaseRow r;
    int seq = 10;
    auto add = [&](const QString& key, auto&& set) {
        PhaseRow row;
        row.key = key;
        row.sequence = seq;
        seq += 10;
        set(row);
        addPhase(row);
    };
    // Dates: late whatever the quantities; running with nothing moving; running with work reported.
    add(QStringLiteral("LATE"), [](PhaseRow& p) {
        p.end = QStringLiteral("2026-03-14");
        p.consolid = QStringLiteral("3");
        p.inWork = QStringLiteral("2");
    });
    add(QStringLiteral("IDLE"), [](PhaseRow& p) { p.start = QStringLiteral("2026-03-15"); });
    add(QStringLiteral("MOVING"), [](PhaseRow& p) {
        p.consolid = QStringLiteral("2");
        p.inWork = QStringLiteral("4");
    });
    add(QStringLiteral("FUTURE"), [](PhaseRow& p) {
        p.start = QStringLiteral("2026-03-20");
        p.end = QStringLiteral("2026-03-25");
        p.inWork = QStringLiteral("1");
    });
    add(QStringLiteral("NODATES"), [](PhaseRow& p) {
        p.start = QStringLiteral("NULL");
        p.end = QStringLiteral("NULL");
        p.inWork = QStringLiteral("3");
    });
    // Stock of the previous phase against the quantity to send.
    add(QStringLiteral("COVERED"), [](PhaseRow& p) {
        p.toSend = QStringLiteral("10");
        p.stockBefore = QStringLiteral("10");
    });
    add(QStringLiteral("PART"), [](PhaseRow& p) {
        p.toSend = QStringLiteral("10");
        p.stockBefore = QStringLiteral("4");
    });
    add(QStringLiteral("NOSTOCK"), [](PhaseRow& p) { p.toSend = QStringLiteral("10"); });
    add(QStringLiteral("ZEROSTOCK"), [](PhaseRow& p) {
        p.toSend = QStringLiteral("10");
        p.stockBefore = QStringLiteral("0");
    });
    // Left out: a settled phase, a closed order, one fully reported, one too old.
    add(QStringLiteral("SETTLED"), [](PhaseRow& p) { p.phaseState = 3; });
    add(QStringLiteral("CLOSED"), [](PhaseRow& p) { p.state = 9; });
    add(QStringLiteral("DONE"), [](PhaseRow& p) { p.consolid = QStringLiteral("10"); });
    add(QStringLiteral("OLD"), [](PhaseRow& p) { p.documentDate = QStringLiteral("2025-01-01"); });

    open();
    screen->results().CMD_ELABORA_ButtonClick();
    ASSERT_NE(screen->results().scheduleRecordset(), nullptr) << messages.boxes().size();

    const QMap<QString, QString> date = byKey(QStringLiteral("CTRL_DATE"));
    const QMap<QString, QString> qta = byKey(QStringLiteral("CTRL_QTA"));
    const QMap<QString, QString> soll = byKey(QStringLiteral("SOLL"));
    EXPECT_EQ(date.keys(), (QStringList{"COVERED", "FUTURE", "IDLE", "LATE", "MOVING", "NODATES", "NOSTOCK",
                                        "PART", "ZEROSTOCK"}));
    EXPECT_EQ(date.value("LATE"), "3");
    EXPECT_EQ(date.value("IDLE"), "2");
    EXPECT_EQ(date.value("MOVING"), "1");
    EXPECT_EQ(date.value("NODATES"), "1");
    EXPECT_EQ(qta.value("COVERED"), "1");
    EXPECT_EQ(qta.value("PART"), "2");
    EXPECT_EQ(qta.value("NOSTOCK"), "4");
    EXPECT_EQ(qta.value("ZEROSTOCK"), "4");
    EXPECT_EQ(qta.value("LATE"), "4");
    EXPECT_EQ(soll.value("LATE"), "3");
    EXPECT_EQ(soll.value("IDLE"), "4");
    EXPECT_EQ(soll.value("MOVING"), "2");
    EXPECT_EQ(soll.value("FUTURE"), "1");
    EXPECT_EQ(soll.value("NODATES"), "null");

    // The joined columns come along: the construction note and the unit of measure.
    EXPECT_EQ(byKey(QStringLiteral("DO46_NOTECOSTR")).value("LATE"), "nota LATE");
    EXPECT_EQ(byKey(QStringLiteral("MG66_UM1")).value("LATE"), "PZ");

    // The function menu hands over only the rows its classification selects; the proposals
    // screen it opens modally is closed at once.
    QTimer::singleShot(0, [] {
        if (QWidget* proposals = QApplication::activeModalWidget())
            proposals->close();
    });
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_PROP"));
    ASSERT_NE(screen->results().proposalRows(), nullptr);
    EXPECT_EQ(screen->results().proposalRows()->recordCount(), 2);
    // The reminder screen opens modally with its rows; it is looked at and closed from inside.
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
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_SOLL"));
    EXPECT_EQ(reminderScreen, QStringLiteral("FRMPD_KVB_STSOLL"));
    EXPECT_EQ(reminderRows, 2); // LATE and MOVING
    EXPECT_EQ(screen->results().reminderRows(), nullptr);
    EXPECT_TRUE(messages.boxes().isEmpty());
}

TEST_F(QueryScreenTest, ModificationModeMarksRowsAndTheReturnClearsThem) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1"));
    open();
    screen->results().CMD_ELABORA_ButtonClick();

    EXPECT_EQ(registry(), QStringList{QStringLiteral("7/0/1")});
    // The reminder history and the undo of the last date recalculation follow the four items.
    EXPECT_EQ(menuKeys(screen),
              (QStringList{"KEY_IMP", "KEY_PROP", "KEY_SOLL", "KEY_GIAC", "KEY_STSOLL", "KEY_ANNRIC"}));
    EXPECT_FALSE(screen->controls().CMD_DATE->isHidden());
    EXPECT_TRUE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->controls().GRID_DETT->isEditable());
    EXPECT_EQ(screen->controls().CMD_ELABORA->text(), QStringLiteral("T43034"));
    // "Visualizza" in modification mode cleared the marks left in the table.
    EXPECT_EQ(byKey(QStringLiteral("PD5C_SEL")).value("A"), "0");

    // A mark reaches the table at once.
    ASSERT_EQ(screen->controls().GRID_ORD->rowCount(), 1);
    ASSERT_TRUE(screen->controls().GRID_ORD->setRowMarked(0, true))
        << screen->controls().GRID_ORD->lastMessage().toStdString();
    auto rs = db.execute(QStringLiteral("SELECT PD5C_SEL FROM PD5C_SCADLAV"));
    EXPECT_EQ(rs->value(0).toText(), QStringLiteral("1"));

    // Back to the parameters: marks cleared, registry row gone, parameter view.
    screen->results().CMD_ELABORA_ButtonClick();
    rs = db.execute(QStringLiteral("SELECT PD5C_SEL FROM PD5C_SCADLAV"));
    EXPECT_EQ(rs->value(0).toText(), QStringLiteral("0"));
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->controls().GRID_ORD->isHidden());
    EXPECT_TRUE(screen->controls().CMD_FUNZ->isHidden());
    EXPECT_EQ(screen->controls().CMD_ELABORA->text(), QStringLiteral("T60970"));

    // The translated caption starts the show sequence again.
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(registry(), QStringList{QStringLiteral("7/0/1")});
}

TEST_F(QueryScreenTest, ViewModeOffersNoRemindersAndLeavesMarks) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    exec(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1"));
    open();
    screen->controls().CHK_MODIFICA->setValueText(QStringLiteral("0"));
    screen->results().CMD_ELABORA_ButtonClick();

    EXPECT_EQ(registry(), QStringList{QStringLiteral("7/0/0")});
    EXPECT_EQ(menuKeys(screen), (QStringList{"KEY_IMP", "KEY_PROP", "KEY_GIAC", "KEY_STSOLL"}));
    EXPECT_TRUE(screen->controls().CMD_DATE->isHidden());
    EXPECT_FALSE(screen->controls().GRID_DETT->isEditable());
    EXPECT_FALSE(screen->controls().GRID_ORD->setRowMarked(0, false));

    screen->results().CMD_ELABORA_ButtonClick();
    auto rs = db.execute(QStringLiteral("SELECT PD5C_SEL FROM PD5C_SCADLAV"));
    EXPECT_EQ(rs->value(0).toText(), QStringLiteral("1"));
    EXPECT_TRUE(registry().isEmpty());
}

TEST_F(QueryScreenTest, SecondPlannerInModificationIsOfferedViewMode) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    // Another planner's screen, on its own connection, is in modification mode.
    exec(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(2,0,1)"));
    open();

    messages.answerNext(msgbox::ResultNo);
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(boxIds(), QList<int>{78508});
    EXPECT_EQ(registry(), QStringList{QStringLiteral("2/0/1")});
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->canShow());
    EXPECT_EQ(screen->results().scheduleRecordset(), nullptr);

    messages.answerNext(msgbox::ResultYes);
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(registry(), (QStringList{QStringLiteral("2/0/1"), QStringLiteral("7/0/0")}));
    EXPECT_EQ(screen->controls().CHK_MODIFICA->valueText(), QStringLiteral("0"));
    EXPECT_EQ(menuKeys(screen), (QStringList{"KEY_IMP", "KEY_PROP", "KEY_GIAC", "KEY_STSOLL"}));
    ASSERT_NE(screen->results().scheduleRecordset(), nullptr);
    EXPECT_EQ(screen->results().scheduleRecordset()->recordCount(), 1);
}

TEST_F(QueryScreenTest, RebuildRunningElsewhereRefusesTheSchedule) {
    exec(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(2,1,0)"));
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(boxIds(), QList<int>{78507});
    EXPECT_EQ(registry(), QStringList{QStringLiteral("2/1/0")});
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->controls().GRID_ORD->isHidden());
}

TEST_F(QueryScreenTest, BadParametersAreRefusedBeforeAnythingChanges) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    open();

    for (const QString& key : screen->controls().lstStati->keys())
        screen->controls().lstStati->setChecked(key, false);
    screen->results().CMD_ELABORA_ButtonClick();
    screen->controls().lstStati->setChecked(QStringLiteral("K2"), true);
    screen->controls().TXT_DATAMIN->setText(QStringLiteral("31/02/2026"));
    screen->results().CMD_ELABORA_ButtonClick();
    screen->controls().TXT_DATAMIN->setText(QStringLiteral("01/01/2026"));
    screen->controls().EnhancedQuery->setFromValue(QStringLiteral("DO11_NUMDOC"), QStringLiteral("abc"));
    screen->results().CMD_ELABORA_ButtonClick();

    EXPECT_EQ(boxIds(), (QList<int>{51499, 90401, 90402}));
    EXPECT_TRUE(registry().isEmpty());
    EXPECT_FALSE((screen->viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results));
    EXPECT_TRUE(screen->canShow());
    EXPECT_EQ(screen->results().scheduleRecordset(), nullptr);
}

TEST_F(QueryScreenTest, FilterPanelAndStatesReachTheServer) {
    int seq = 10;
    for (const QString& dep : {QStringLiteral("R1"), QStringLiteral("R'2")}) {
        for (int state : {1, 2}) {
            PhaseRow r;
            r.key = (dep == QLatin1String("R1") ? QStringLiteral("P") : QStringLiteral("Q")) +
                    QString::number(state);
            r.sequence = seq;
            seq += 10;
            r.department = dep;
            r.state = state;
            addPhase(r);
        }
    }
    open();
    screen->controls().lstStati->setChecked(QStringLiteral("K1"), false);
    screen->controls().EnhancedQuery->setFromValue(QStringLiteral("DO46_CODREPARTO"), QStringLiteral("R'2"));
    screen->controls().EnhancedQuery->setToValue(QStringLiteral("DO46_CODREPARTO"), QStringLiteral("R'2"));
    screen->results().CMD_ELABORA_ButtonClick();
    ASSERT_TRUE(messages.boxes().isEmpty()) << messages.boxes().value(0).text.toStdString();
    EXPECT_EQ(keysInOrder(), QStringList{QStringLiteral("Q2")});
    EXPECT_TRUE(screen->session().currentStatement().contains(QStringLiteral("PD5C_CODREP = 'R''2'")));
    EXPECT_TRUE(screen->session().currentStatement().endsWith(
        QStringLiteral(" AND PD5C_INDSTATOCONS IN(0,2,3,4) ORDER BY "
                       "PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_NUMDOC,PD5C_SEQUENZA,PD5C_DATAFINEFASE")));
}

TEST_F(QueryScreenTest, EndDateSortDiffersBetweenShowAndReSort) {
    // Same end date, document numbers 1 and 2; a later end date with number 3.
    PhaseRow a, b, c;
    a.key = QStringLiteral("A");
    a.numdoc = 1;
    b.key = QStringLiteral("B");
    b.numdoc = 2;
    b.sequence = 20;
    c.key = QStringLiteral("C");
    c.numdoc = 3;
    c.sequence = 30;
    c.end = QStringLiteral("2026-04-01");
    for (const PhaseRow& r : {a, b, c})
        addPhase(r);
    open();
    screen->controls().CBO_ORD->setText(QStringLiteral("2"));
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(keysInOrder(), (QStringList{"B", "A", "C"}));

    // The planner picks "Data fine", the order shown, from the list again: the re-sort's order.
    erpctl::CodeCombo& order = *screen->controls().CBO_ORD;
    order.showPopup();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(order.view(), &enter);
    EXPECT_EQ(order.text(), QStringLiteral("2"));
    EXPECT_EQ(keysInOrder().value(0), QStringLiteral("C"));

    const int layoutColumns = screen->controls().GRID_ORD->gridColumnCount();
    screen->controls().CBO_ORD->setText(QStringLiteral("1"));
    screen->controls().CBO_ORD->setText(QStringLiteral("2"));
    EXPECT_EQ(keysInOrder().first(), QStringLiteral("C"));
    EXPECT_TRUE(
        screen->session().currentStatement().endsWith(QStringLiteral(" ORDER BY PD5C_DATAFINEFASE desc")));
    EXPECT_TRUE(screen->session().currentStatement().contains(
        QStringLiteral("FROM PD5C_SCADLAV INNER JOIN MG66_ANAGRART")));
    // The grid follows the new record set with the columns it was laid out with.
    EXPECT_EQ(screen->controls().GRID_ORD->gridColumnCount(), layoutColumns);
    EXPECT_EQ(screen->controls().GRID_ORD->rowCount(), 3);

    // No state ticked: the re-sort tells why and shows nothing.
    for (const QString& key : screen->controls().lstStati->keys())
        screen->controls().lstStati->setChecked(key, false);
    screen->controls().CBO_ORD->setText(QStringLiteral("3"));
    EXPECT_EQ(boxIds(), QList<int>{51499});
    EXPECT_EQ(screen->controls().GRID_ORD->rowCount(), 0);
}

TEST_F(QueryScreenTest, EmptyResultsGiveTheFunctionMenuMessages) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_PROP"));
    screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_SOLL"));
    EXPECT_EQ(boxIds(), (QList<int>{78503, 78514}));
    EXPECT_EQ(screen->results().proposalRows(), nullptr);
    EXPECT_EQ(screen->results().reminderRows(), nullptr);
}

TEST_F(QueryScreenTest, DetailTableIsCreatedEmptyAtEachShow) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    const QString first = screen->detail().detailTableName();
    EXPECT_TRUE(first.startsWith(QStringLiteral("##TempTableDett_MARIO_PC_01_15_03_2026_10_30_00")));
    ASSERT_NE(screen->detail().detailRecordset(), nullptr);
    EXPECT_EQ(screen->detail().detailRecordset()->recordCount(), 0);
    EXPECT_GE(screen->detail().detailRecordset()->fieldIndex(QStringLiteral("IND_DIR")), 0);
    screen->session().EseguiSQL(QStringLiteral("INSERT INTO ") + first +
                                    QStringLiteral(" (KEY_GRID, FORREP) VALUES ('A100', 'x')"),
                                db::kCmdTextNoRecords);

    screen->results().CMD_ELABORA_ButtonClick();
    screen->results().CMD_ELABORA_ButtonClick();
    EXPECT_EQ(screen->detail().detailTableName(), first); // same second
    EXPECT_EQ(screen->detail().detailRecordset()->recordCount(), 0);
}
