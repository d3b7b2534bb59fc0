// A planner's date change on the demo order book, on the screen with the host's real phase
// scheduler: the schedule rebuilt and shown in modification mode, the detail opened on an order
// line, a new start typed on its second phase, "&Calc. Date" pressed, the routing moved on
// working days in the grids and the timeline, and the change undone from the function menu.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/DateField.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/PhaseTimeline.h"
#include "platform/host/PhaseScheduler.h"
#include "schedule/DateRecalculation.h"
#include "tests/support/HandSchedule.h"

#include <QFile>
#include <QPushButton>

using namespace scadlav;
using namespace scadlav::testing;

// Dates in failure messages.
void PrintTo(const QDate& date, std::ostream* out) {
    *out << date.toString(Qt::ISODate).toStdString();
}

namespace {

class DemoRecalculation : public QueryScreenTest {
protected:
    void SetUp() override {
        qputenv("ERP_FIXED_NOW", "2026-03-15 10:00:00");
        clock.set(QDateTime(QDate(2026, 3, 15), QTime(10, 0)));
        const QString demo = erpdb::testing::demoTemplate();
        ASSERT_FALSE(demo.isEmpty());
        db.close();
        path = dir.filePath("demo.db");
        ASSERT_TRUE(QFile::copy(demo, path));
        ASSERT_TRUE(db.open(connectionString())) << db.lastErrorText().toStdString();

        factory.registerClass(classnames::PhaseScheduler,
                              [] { return std::make_unique<erphost::PhaseScheduler>(); });
        global.connection = connectionString();
        global.user = 1;
        ASSERT_TRUE(open());

        // The schedule rebuilt from the demo orders, then shown in modification mode.
        screen->controls().TXT_DATAMIN->setText("01/01/2020");
        messages.answerNext(msgbox::ResultYes);
        screen->rebuilder().CMD_RICALCOLA_ButtonClick();
        ASSERT_EQ(screen->rebuilder().lastOutcome().status, ActionOutcome::Status::Done)
            << screen->rebuilder().lastOutcome().description.toStdString();
        screen->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
        ASSERT_FALSE(screen->controls().CMD_DATE->isHidden()) << "modification mode";

        // An order line of four phases or more, none settled, one schedule row per phase.
        const auto chosen = lineOfFourPhases(db, true);
        ASSERT_TRUE(chosen) << db.lastErrorText().toStdString();
        order = chosen->first;
        line = chosen->second;
        phases = stored();
        calendar = HandCalendar::of(db, 1);
        ASSERT_GE(phases.size(), 4);
        messages.records.clear();
    }

    // The schedule grid's rows of the line's phase `sequence` (the rows still to be read are read
    // first, as a search of the grid does).
    QList<int> rowsOf(qint64 sequence) {
        QList<int> rows;
        db::Recordset* rs = screen->results().scheduleRecordset();
        for (int row = 0; rs && row < rs->recordCount(); ++row)
            if (rs->valueAt(row, rs->fieldIndex("PD5C_NUMREG_CO99")).toText().trimmed() == order &&
                rs->valueAt(row, rs->fieldIndex("PD5C_PROGRIGA_DO30")).toInt64() == line &&
                rs->valueAt(row, rs->fieldIndex("PD5C_SEQUENZA")).toInt64() == sequence)
                rows << row;
        return rows;
    }
    // The planner's click on the schedule row of phase `index` of the line.
    void standOn(int index) {
        const QList<int> rows = rowsOf(phases[index].sequence);
        ASSERT_FALSE(rows.isEmpty()) << "no schedule row for phase " << phases[index].sequence;
        screen->controls().GRID_ORD->setCurrentRow(rows.first());
    }
    // The line's phases as the order holds them now.
    QList<HandPhase> stored() { return handPhases(db, 1, order, line); }
    // Start and end of the line's schedule rows as the schedule grid's rows hold them.
    QList<QPair<QDate, QDate>> inScheduleGrid() {
        db::Recordset* rs = screen->results().scheduleRecordset();
        const auto date = [rs](int row, const char* field) {
            return rs->valueAt(row, rs->fieldIndex(QLatin1String(field))).toDateTime()->date();
        };
        QList<QPair<QDate, QDate>> out;
        for (const HandPhase& p : phases)
            for (int row : rowsOf(p.sequence))
                out << qMakePair(date(row, "PD5C_DATAINIFASE"), date(row, "PD5C_DATAFINEFASE"));
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
    // Another planner's change, committed on another connection while the schedule is read.
    void anotherPlannersChange(int day = 0) {
        ASSERT_TRUE(db.execute(QStringLiteral("INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, "
                                              "PDCA_DESCR) VALUES (2, '2026-06-%1', 'Altra ditta')")
                                   .arg(15 + day),
                               db::kCmdTextNoRecords))
            << db.lastErrorText().toStdString();
    }
    // The ids of the messages shown since the last call.
    QList<int> takeBoxIds() {
        const QList<int> ids = boxIds();
        messages.records.clear();
        return ids;
    }

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
    screen->controls().GRID_DETT->setCurrentRow(1);
    ASSERT_TRUE(typeInDetail(1, "DATA_INI", "04/04/2026"));
    ASSERT_TRUE(messages.boxes().isEmpty()) << messages.boxes().first().text.toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(screen->controls().TIMELINE_DETT->bars().value(1).typedStart, QDate(2026, 4, 4))
        << "the typed start is outlined until it is recalculated";

    screen->controls().CMD_DATE->click();
    EXPECT_EQ(takeBoxIds(), QList<int>{78506});

    // The first phase keeps its dates; from the second on, each phase starts on the working day
    // the previous one ends, Easter Monday skipped.
    const QList<HandPhase> expected = handWalk(before, calendar, 1, QDate(2026, 4, 4), true);
    EXPECT_EQ(expected[1].start, QDate(2026, 4, 7));
    EXPECT_EQ(spans(stored()), spans(expected));
    EXPECT_EQ(inScheduleGrid(), spans(expected));
    auto delivery =
        db.execute(QStringLiteral("SELECT DO31_DATACONS FROM DO31_DOCCORPOORD WHERE DO31_DITTA_CG18 = 1 "
                                  "AND DO31_NUMREG_CO99 = '%1' AND DO31_PROGRIGA = %2")
                       .arg(order)
                       .arg(line));
    ASSERT_TRUE(delivery && delivery->recordCount() == 1);
    EXPECT_EQ(delivery->value(0).toDateTime()->date(), expected.last().end);

    // Back on the line, the detail and its timeline show the new dates, no outline left.
    standOn(1);
    EXPECT_EQ(onTimeline(), spans(expected));
    EXPECT_FALSE(screen->controls().TIMELINE_DETT->bars().value(1).typedStart.isValid());

    // Another planner's change makes "Visualizza" read the schedule again; undone from the
    // function menu while those rows are still read and after a second change: the dates come
    // back in the order and in the grids.
    anotherPlannersChange();
    screen->results().CMD_ELABORA_ButtonClick(); // "Parametri"
    screen->results().CMD_ELABORA_ButtonClick(); // "Visualizza"
    ASSERT_TRUE(screen->results().scheduleRecordset()->isFetching());
    anotherPlannersChange(1);
    ASSERT_TRUE(screen->controls().CMD_FUNZ->triggerItem("KEY_ANNRIC"));
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_TRUE(messages.boxes().first().text.startsWith("T90802|"))
        << messages.boxes().first().text.toStdString();
    EXPECT_EQ(spans(stored()), spans(before));
    EXPECT_EQ(inScheduleGrid(), spans(before));
}

TEST_F(DemoRecalculation, AnotherPlannersChangeWhileTheScheduleIsStillReadDoesNotBlockTheDates) {
    // "Visualizza" showed the first rows and reads the rest while the window is idle; meanwhile
    // another planner's change is committed.
    ASSERT_TRUE(screen->results().scheduleRecordset()->isFetching());
    anotherPlannersChange();
    screen->controls().CMD_DATE->click();
    EXPECT_EQ(takeBoxIds(), QList<int>{78504});
}

TEST_F(DemoRecalculation, ADateTypedWhileTheScheduleIsStillReadMarksTheRowAndIsRecalculated) {
    // A phase among the rows shown at once, not settled.
    db::Recordset* rs = screen->results().scheduleRecordset();
    ASSERT_TRUE(rs->isFetching());
    int row = 0;
    while (row < rs->fetchedCount() &&
           rs->valueAt(row, rs->fieldIndex("PD5C_INDSTATOORD")).toInt64().value_or(3) == 3)
        ++row;
    ASSERT_LT(row, rs->fetchedCount());
    const QString key = rs->valueAt(row, rs->fieldIndex("PD5C_KEYGRID")).toText();
    screen->controls().GRID_ORD->setCurrentRow(row);
    anotherPlannersChange();

    screen->controls().CMD_DETT->click();
    ASSERT_TRUE(typeInDetail(screen->controls().GRID_DETT->currentRow(), "DATA_INI", "04/05/2026"));
    const auto schedule = [&](const char* field) {
        auto rs = db.execute(QStringLiteral("SELECT %1 FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = '%2'")
                                 .arg(QLatin1String(field), key));
        EXPECT_TRUE(rs && rs->recordCount() == 1);
        return rs && rs->recordCount() == 1 ? rs->value(0) : Value();
    };
    EXPECT_EQ(schedule("PD5C_SEL").toInt64(), 1) << "the schedule row is marked at once";

    screen->controls().CMD_DATE->click();
    EXPECT_EQ(takeBoxIds(), QList<int>{78506});
    EXPECT_EQ(schedule("PD5C_DATAINIFASE").toDateTime()->date(), QDate(2026, 5, 4))
        << "a Monday, a working day";
}
