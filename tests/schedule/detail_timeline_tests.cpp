// The timeline beside the detail grid: the phases of the line shown, following the grid and the
// detail's rows, the days not worked (weekends, holidays, the company's closures) and whether the
// planner keeps it shown.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/PhaseTimeline.h"
#include "schedule/DetailTimeline.h"

#include <QAction>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSplitter>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

QDate d(int year, int month, int day) {
    return QDate(year, month, day);
}

class DetailTimelineTest : public QueryScreenTest {
protected:
    // Today is 15 March 2026. Order R1 line 1: phase 10 closed, 20 subcontracted and over by the
    // 13th, 30 still to come; line 2 one phase across Easter 2026.
    void SetUp() override {
        phase("R1", 1, 10, false, 3, "2026-03-02", "2026-03-06");
        phase("R1", 1, 20, true, 0, "2026-03-09", "2026-03-13");
        phase("R1", 1, 30, false, 0, "2026-03-16", "2026-03-27");
        phase("R1", 2, 10, false, 0, "2026-03-30", "2026-04-10");
        exec("INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, PDCA_DESCR) VALUES "
             "(1, '2026-08-10 00:00:00', 'Chiusura estiva'), (2, '2026-08-11 00:00:00', "
             "'Altra ditta')");
        open();
        screen->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
    }
    void phase(const char* numreg, int line, int sequence, bool external, int state, const char* start,
               const char* end) {
        PhaseRow row = phaseOf(QString::fromLatin1(numreg), line, sequence);
        row.external = external ? 1 : 0;
        row.phaseState = state;
        row.start = QString::fromLatin1(start);
        row.end = QString::fromLatin1(end);
        addPhase(row);
    }
    // The timeline as painted once the event loop had its turn.
    erpctl::PhaseTimeline* timeline() {
        QCoreApplication::processEvents();
        return screen->controls().TIMELINE_DETT;
    }
    // The stored layout of the timeline, as the host keeps it.
    QJsonObject storedLayout() {
        for (auto it = layouts.layouts.cbegin(); it != layouts.layouts.cend(); ++it) {
            if (it.key().second == DetailTimeline::LayoutKey)
                return QJsonDocument::fromJson(it.value()).object();
        }
        return {};
    }
};

} // namespace

TEST_F(DetailTimelineTest, ShowsTheLineOfTheDetailAndFollowsIt) {
    openDetailOn("R1-1-20");
    ASSERT_TRUE(screen->detail().isOpen());
    QList<erpctl::TimelineBar> bars = timeline()->bars();
    ASSERT_EQ(bars.size(), 3);
    EXPECT_EQ(bars[0].start, d(2026, 3, 2));
    EXPECT_EQ(bars[0].end, d(2026, 3, 6));
    EXPECT_TRUE(bars[0].closed);
    EXPECT_FALSE(bars[0].late) << "a closed phase is never late";
    EXPECT_TRUE(bars[1].subcontracted);
    EXPECT_TRUE(bars[1].late) << "ended on the 13th, today is the 15th";
    EXPECT_FALSE(bars[2].subcontracted);
    EXPECT_FALSE(bars[2].late);
    EXPECT_TRUE(bars[2].label.startsWith("30/0"));
    EXPECT_EQ(timeline()->today(), d(2026, 3, 15)) << "the host's clock";

    // The grid's current row is the timeline's, both ways.
    EXPECT_EQ(timeline()->currentBar(), 1);
    screen->controls().GRID_DETT->setCurrentRow(2);
    EXPECT_EQ(timeline()->currentBar(), 2);
    emit timeline()->barClicked(0);
    EXPECT_EQ(screen->controls().GRID_DETT->currentRow(), 0);
    EXPECT_EQ(timeline()->currentBar(), 0);

    // Another line of the order.
    goTo("R1-2-10");
    ASSERT_EQ(timeline()->bars().size(), 1);
    EXPECT_EQ(timeline()->bars()[0].start, d(2026, 3, 30));
}

TEST_F(DetailTimelineTest, RepaintsWhenTheDetailsRowsChange) {
    openDetailOn("R1-1-20");
    erpctl::Grid* grid = screen->controls().GRID_DETT;

    // A new start typed on phase 30: an outline until the dates are recalculated.
    const int row = grid->findRow("KEY_GRID", "A300");
    ASSERT_TRUE(typeInDetail(row, "DATA_INI", "20/03/2026"));
    EXPECT_EQ(timeline()->bars()[2].typedStart, d(2026, 3, 20));
    EXPECT_FALSE(timeline()->outlineRect(2).isEmpty());
    EXPECT_TRUE(timeline()->outlineRect(1).isEmpty());
    // A value written into one row (no re-read of the detail) is seen as well.
    ASSERT_TRUE(grid->setValue(row, "DATA_FINE", QDateTime(d(2026, 4, 2), QTime(0, 0))));
    EXPECT_EQ(timeline()->bars()[2].typedEnd, d(2026, 4, 2));

    // What a recalculation does before the line is loaded afresh: the detail table is emptied
    // and read again. Nobody tells the timeline.
    exec(QStringLiteral("DELETE FROM ") + screen->detail().detailTableName());
    ASSERT_TRUE(screen->detail().detailRecordset()->requery());
    EXPECT_TRUE(timeline()->bars().isEmpty());
}

TEST_F(DetailTimelineTest, ShadesWeekendsHolidaysAndTheCompanysClosures) {
    erpctl::PhaseTimeline* chart = screen->controls().TIMELINE_DETT;
    // The holidays themselves are the working calendar's; here, that the chart asks it.
    EXPECT_TRUE(chart->isNonWorkingDay(d(2026, 4, 4)));
    EXPECT_TRUE(chart->isNonWorkingDay(d(2026, 4, 5)));
    EXPECT_TRUE(chart->isNonWorkingDay(d(2026, 4, 6))); // Easter Monday
    EXPECT_TRUE(chart->isNonWorkingDay(d(2026, 8, 10))) << "closure of this company";
    EXPECT_FALSE(chart->isNonWorkingDay(d(2026, 8, 11))) << "closure of another company";

    // Painted: the line across Easter, below its only row; Good Friday and the Tuesday are worked.
    openDetailOn("R1-2-10");
    chart = timeline();
    chart->resize(700, 220);
    QImage image(chart->size(), QImage::Format_RGB32);
    chart->render(&image);
    const int y = chart->rowRect(0).bottom() + 6;
    ASSERT_LT(y, chart->chartRect().bottom());
    const auto column = [&](int month, int day) {
        return image.pixelColor(
            (chart->xOf(d(2026, month, day)) + chart->xOf(d(2026, month, day).addDays(1))) / 2, y);
    };
    EXPECT_EQ(column(4, 3), QColor(Qt::white));
    EXPECT_EQ(column(4, 6), erpctl::PhaseTimeline::nonWorkingColor());
    EXPECT_EQ(column(4, 7), QColor(Qt::white));
}

TEST_F(DetailTimelineTest, CanBeHiddenAndIsRememberedWithTheLayout) {
    ScheduleControls& ui = screen->controls();
    EXPECT_TRUE(ui.DETT_AREA->isHidden()) << "closed detail: the schedule grid has the height";
    openDetailOn("R1-1-20");
    EXPECT_FALSE(ui.DETT_AREA->isHidden());
    EXPECT_FALSE(ui.TIMELINE_DETT->isHidden());
    QAction* toggle = screen->timeline().toggleAction();
    ASSERT_TRUE(toggle);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(ui.GRID_DETT->actions().contains(toggle)) << "offered on the detail grid";

    toggle->trigger();
    EXPECT_TRUE(ui.TIMELINE_DETT->isHidden());
    EXPECT_FALSE(ui.GRID_DETT->isHidden());
    EXPECT_EQ(storedLayout().value("visible"), QJsonValue(false));
    screen->detail().CMD_DETT_Click();
    EXPECT_TRUE(ui.DETT_AREA->isHidden());

    // The next time the screen opens, the timeline stays hidden until the planner shows it.
    module.Cinterface_CloseForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(open());
    screen->results().CMD_ELABORA_ButtonClick();
    openDetailOn("R1-1-20");
    EXPECT_FALSE(screen->timeline().isShown());
    EXPECT_FALSE(screen->timeline().toggleAction()->isChecked());
    EXPECT_TRUE(screen->controls().TIMELINE_DETT->isHidden());
    EXPECT_FALSE(screen->controls().GRID_DETT->isHidden());
    EXPECT_TRUE(timeline()->bars().isEmpty()) << "hidden, it reads nothing";

    screen->timeline().toggleAction()->trigger();
    EXPECT_FALSE(screen->controls().TIMELINE_DETT->isHidden());
    EXPECT_EQ(timeline()->bars().size(), 3);
    EXPECT_EQ(storedLayout().value("visible"), QJsonValue(true));
}
