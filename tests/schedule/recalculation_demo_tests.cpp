// A planner's date change on the demo order book, on the screen with the host's real phase
// scheduler: the schedule rebuilt and shown in modification mode, the detail opened on an order
// line, a new start typed on its second phase, "&Calc. Date" pressed, the routing moved on
// working days in the grids and the timeline, and the change undone from the function menu.
#include "erpdb.h"
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "platform/controls/DateField.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/PhaseTimeline.h"
#include "platform/host/PhaseScheduler.h"
#include "schedule/DateRecalculation.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleRebuilder.h"
#include "schedule/ScheduleResults.h"
#include "tests/support/ErpDbTesting.h"
#include "tests/support/HandSchedule.h"
#include "tests/support/doubles/EmbeddedDateObject.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/MemoryErrorLog.h"
#include "tests/support/doubles/MemoryLayoutStore.h"
#include "tests/support/doubles/RecordingStatusBar.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::testing;

// Dates in failure messages.
void PrintTo(const QDate& date, std::ostream* out) {
    *out << date.toString(Qt::ISODate).toStdString();
}

namespace {

class DemoRecalculation : public ::testing::Test {
protected:
    DemoRecalculation() : runtime(&factory, &clock), module([] { return new FRMPD_KVB_SCADLAV(); }) {}

    void SetUp() override {
        qputenv("ERP_FIXED_NOW", "2026-03-15 10:00:00");
        const QString demo = erpdb::testing::demoTemplate();
        ASSERT_FALSE(demo.isEmpty());
        path = dir.filePath(QStringLiteral("erp.db"));
        ASSERT_TRUE(QFile::copy(demo, path));
        ASSERT_TRUE(c.open(connectionString())) << c.lastErrorText().toStdString();

        factory.registerClass(classnames::DateObject,
                              [] { return std::make_unique<doubles::EmbeddedDateObject>(); });
        factory.registerClass(classnames::PhaseScheduler,
                              [] { return std::make_unique<erphost::PhaseScheduler>(); });
        factory.registerClass(classnames::ErrorLog,
                              [] { return std::make_unique<doubles::MemoryErrorLog>(); });
        global.connection = connectionString();
        global.user = 1;
        global.messages = &messages;
        global.layouts = &layouts;
        module.Cinterface_SetClsGlobal(&global);
        module.Cinterface_SetStatusBar(&statusBar);
        module.Cinterface_ShowForm();
        screen = qobject_cast<FRMPD_KVB_SCADLAV*>(module.screen());
        ASSERT_TRUE(screen);
        screen->Form_Activate();
        ASSERT_TRUE(screen->isInitialized());

        // The schedule rebuilt from the demo orders, then shown in modification mode.
        screen->controls().TXT_DATAMIN->setText(QStringLiteral("01/01/2020"));
        messages.answerNext(msgbox::ResultYes);
        screen->rebuilder().CMD_RICALCOLA_ButtonClick();
        ASSERT_EQ(screen->rebuilder().lastOutcome().status, ActionOutcome::Status::Done)
            << screen->rebuilder().lastOutcome().description.toStdString();
        screen->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
        ASSERT_FALSE(screen->controls().CMD_DATE->isHidden()) << "modification mode";

        // An order line of four phases or more, none settled, one schedule row per phase.
        const auto chosen = lineOfFourPhases(c, true);
        ASSERT_TRUE(chosen) << c.lastErrorText().toStdString();
        order = chosen->first;
        line = chosen->second;
        phases = handPhases(c, 1, order, line);
        calendar = HandCalendar::of(c, 1);
        ASSERT_GE(phases.size(), 4);
        messages.records.clear();
    }
    void TearDown() override {
        if (screen)
            module.Cinterface_CloseForm();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qunsetenv("ERP_FIXED_NOW");
    }

    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + path; }

    // The planner's click on the schedule row of phase `index` of the line (the rows still to be
    // read are read first, as a search of the grid does).
    void standOn(int index) {
        db::Recordset* rs = screen->results().scheduleRecordset();
        ASSERT_TRUE(rs);
        for (int row = 0; row < rs->recordCount(); ++row) {
            if (rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_NUMREG_CO99"))).toText().trimmed() ==
                    order &&
                rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_PROGRIGA_DO30"))).toInt64() == line &&
                rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_SEQUENZA"))).toInt64() ==
                    phases[index].sequence) {
                screen->controls().GRID_ORD->setCurrentRow(row);
                return;
            }
        }
        FAIL() << "no schedule row for phase " << phases[index].sequence;
    }
    // The line's phases as the order holds them now.
    QList<HandPhase> stored() { return handPhases(c, 1, order, line); }
    // Start and end of the line's schedule rows as the schedule grid's rows hold them.
    QList<QPair<QDate, QDate>> inScheduleGrid() {
        db::Recordset* rs = screen->results().scheduleRecordset();
        QList<QPair<QDate, QDate>> out;
        for (const HandPhase& p : phases) {
            for (int row = 0; rs && row < rs->recordCount(); ++row) {
                if (rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_NUMREG_CO99"))).toText().trimmed() ==
                        order &&
                    rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_PROGRIGA_DO30"))).toInt64() ==
                        line &&
                    rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_SEQUENZA"))).toInt64() == p.sequence)
                    out << qMakePair(rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_DATAINIFASE")))
                                         .toDateTime()
                                         ->date(),
                                     rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_DATAFINEFASE")))
                                         .toDateTime()
                                         ->date());
            }
        }
        return out;
    }
    static QList<QPair<QDate, QDate>> spans(const QList<HandPhase>& list) {
        QList<QPair<QDate, QDate>> out;
        for (const HandPhase& p : list)
            out << qMakePair(p.start, p.end);
        return out;
    }
    QList<QPair<QDate, QDate>> onTimeline() {
        QCoreApplication::processEvents();
        QList<QPair<QDate, QDate>> out;
        for (const erpctl::TimelineBar& bar : screen->controls().TIMELINE_DETT->bars())
            out << qMakePair(bar.start, bar.end);
        return out;
    }

    QTemporaryDir dir;
    QString path;
    db::Connection c;
    doubles::FakeObjectFactory factory;
    doubles::FixedClock clock{QDateTime(QDate(2026, 3, 15), QTime(10, 0))};
    doubles::ScopedHostRuntime runtime;
    doubles::FakeGlobalContext global;
    doubles::ScriptedMessageService messages;
    doubles::MemoryLayoutStore layouts;
    doubles::RecordingStatusBar statusBar;
    CLSPD_KVB_SCADLAV module;
    FRMPD_KVB_SCADLAV* screen = nullptr;

    QString order;
    qint64 line = 0;
    QList<HandPhase> phases;
    HandCalendar calendar;
};

} // namespace

TEST_F(DemoRecalculation, ANewStartOnTheSecondPhaseMovesTheRoutingOnWorkingDaysAndIsUndone) {
    const QList<HandPhase> before = stored();
    standOn(0);
    screen->controls().CMD_DETT->click();
    ASSERT_TRUE(screen->detail().isOpen());
    EXPECT_EQ(onTimeline(), spans(before));

    // The second phase, a start typed on the Saturday before Easter Monday 2026.
    erpctl::Grid* grid = screen->controls().GRID_DETT;
    const int row = 1;
    grid->setCurrentRow(row);
    bool cancel = false;
    screen->detail().GRID_DETT_OnEditing(row, QStringLiteral("DATA_INI"), cancel);
    ASSERT_FALSE(cancel);
    grid->commitCellInput(grid->model()->index(row, grid->columnIndex(QStringLiteral("DATA_INI"))),
                          QStringLiteral("04/04/2026"), true);
    ASSERT_TRUE(messages.boxes().isEmpty()) << messages.boxes().first().text.toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen->controls().TIMELINE_DETT->bars().value(row).typedStart, QDate(2026, 4, 4))
        << "the typed start is outlined until it is recalculated";

    screen->controls().CMD_DATE->click();
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes().first().textId, 78506) << messages.boxes().first().text.toStdString();

    // The first phase keeps its dates; from the second on, each phase starts on the working day
    // the previous one ends, Easter Monday skipped.
    const QList<HandPhase> expected = handWalk(before, calendar, 1, QDate(2026, 4, 4), true);
    EXPECT_EQ(expected[1].start, QDate(2026, 4, 7));
    EXPECT_EQ(spans(stored()), spans(expected));
    EXPECT_EQ(inScheduleGrid(), spans(expected));
    auto delivery =
        c.execute(QStringLiteral("SELECT DO31_DATACONS FROM DO31_DOCCORPOORD WHERE DO31_DITTA_CG18 = 1 "
                                 "AND DO31_NUMREG_CO99 = '%1' AND DO31_PROGRIGA = %2")
                      .arg(order)
                      .arg(line));
    ASSERT_TRUE(delivery && delivery->recordCount() == 1);
    EXPECT_EQ(delivery->value(0).toDateTime()->date(), expected.last().end);

    // Back on the line, the detail and its timeline show the new dates, no outline left.
    standOn(1);
    EXPECT_EQ(onTimeline(), spans(expected));
    EXPECT_FALSE(screen->controls().TIMELINE_DETT->bars().value(1).typedStart.isValid());

    // Undone from the function menu: the dates come back in the order and in the grids.
    messages.records.clear();
    ASSERT_TRUE(screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_ANNRIC")));
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_TRUE(messages.boxes().first().text.startsWith(QStringLiteral("T90802|")))
        << messages.boxes().first().text.toStdString();
    EXPECT_EQ(spans(stored()), spans(before));
    EXPECT_EQ(inScheduleGrid(), spans(before));
    messages.records.clear();
    ASSERT_TRUE(screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_ANNRIC")));
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes().first().textId, 90801);
}

TEST_F(DemoRecalculation, AnotherPlannersChangeWhileTheScheduleIsStillReadDoesNotBlockTheDates) {
    // "Visualizza" showed the first rows and reads the rest while the window is idle; meanwhile
    // another planner's change is committed.
    ASSERT_TRUE(screen->results().scheduleRecordset()->isFetching());
    ASSERT_TRUE(
        c.execute(QStringLiteral("INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, PDCA_DESCR) "
                                 "VALUES (2, '2026-06-15', 'Altra ditta')"),
                  db::kCmdTextNoRecords))
        << c.lastErrorText().toStdString();

    screen->controls().CMD_DATE->click();
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes().first().textId, 78504) << messages.boxes().first().text.toStdString();
    messages.records.clear();
    ASSERT_TRUE(screen->controls().CMD_FUNZ->triggerItem(QStringLiteral("KEY_ANNRIC")));
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes().first().textId, 90801) << messages.boxes().first().text.toStdString();
}

TEST_F(DemoRecalculation, ADateTypedWhileTheScheduleIsStillReadMarksTheRowAndIsRecalculated) {
    // A phase among the rows shown at once, not settled.
    db::Recordset* rs = screen->results().scheduleRecordset();
    ASSERT_TRUE(rs->isFetching());
    int row = 0;
    while (row < rs->fetchedCount() &&
           rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_INDSTATOORD"))).toInt64().value_or(3) == 3)
        ++row;
    ASSERT_LT(row, rs->fetchedCount());
    const QString key = rs->valueAt(row, rs->fieldIndex(QStringLiteral("PD5C_KEYGRID"))).toText();
    screen->controls().GRID_ORD->setCurrentRow(row);
    ASSERT_TRUE(
        c.execute(QStringLiteral("INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, PDCA_DESCR) "
                                 "VALUES (2, '2026-06-15', 'Altra ditta')"),
                  db::kCmdTextNoRecords));

    screen->controls().CMD_DETT->click();
    erpctl::Grid* grid = screen->controls().GRID_DETT;
    const int phase = grid->currentRow();
    bool cancel = false;
    screen->detail().GRID_DETT_OnEditing(phase, QStringLiteral("DATA_INI"), cancel);
    ASSERT_FALSE(cancel);
    grid->commitCellInput(grid->model()->index(phase, grid->columnIndex(QStringLiteral("DATA_INI"))),
                          QStringLiteral("04/05/2026"), true);
    auto mark =
        c.execute(QStringLiteral("SELECT PD5C_SEL FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = '%1'").arg(key));
    ASSERT_TRUE(mark && mark->recordCount() == 1);
    EXPECT_EQ(mark->value(0).toInt64(), 1) << "the schedule row is marked at once";

    screen->controls().CMD_DATE->click();
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes().first().textId, 78506) << messages.boxes().first().text.toStdString();
    auto start = c.execute(
        QStringLiteral("SELECT PD5C_DATAINIFASE FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = '%1'").arg(key));
    EXPECT_EQ(start->value(0).toDateTime()->date(), QDate(2026, 5, 4)) << "a Monday, a working day";
}
