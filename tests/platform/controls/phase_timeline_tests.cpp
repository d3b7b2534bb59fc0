// The phase timeline: where bars fall for given dates, what each kind of phase is painted in,
// the shaded days, today's mark, the current row and clicks on a row.
#include "platform/controls/PhaseTimeline.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace erpctl;

namespace {

QDate d(int month, int day) {
    return QDate(2026, month, day);
}

TimelineBar bar(const QDate& start, const QDate& end, bool subcontracted = false) {
    TimelineBar b;
    b.label = QStringLiteral("10/0 Taglio");
    b.start = start;
    b.end = end;
    b.subcontracted = subcontracted;
    return b;
}

class PhaseTimelineTest : public ::testing::Test {
protected:
    // Five phases between 2 and 22 March 2026: the chart shows 1 to 23 March.
    void SetUp() override {
        QList<TimelineBar> bars;
        bars << bar(d(3, 2), d(3, 6));        // internal
        bars << bar(d(3, 9), d(3, 13), true); // subcontracted
        bars << bar(d(3, 2), d(3, 3));        // closed
        bars.last().closed = true;
        bars << bar(d(3, 4), d(3, 5)); // late
        bars.last().late = true;
        bars << bar(d(3, 16), d(3, 18)); // a new start typed
        bars.last().typedStart = d(3, 20);
        timeline.setBars(bars);
        // 20 pixels a day over the 23 days shown.
        timeline.resize(600, 300);
        timeline.resize(600 - timeline.chartRect().width() + 23 * 20, 300);
        ASSERT_EQ(timeline.firstDay(), d(3, 1));
        ASSERT_EQ(timeline.lastDay(), d(3, 23));
        ASSERT_DOUBLE_EQ(timeline.dayWidth(), 20.0);
    }
    QImage rendered() {
        QImage image(timeline.size(), QImage::Format_RGB32);
        timeline.render(&image);
        return image;
    }
    // The middle of a day's column at the height of a row.
    QPoint at(const QDate& day, int row) {
        return QPoint(timeline.xOf(day) + 10, timeline.rowRect(row).center().y());
    }
    PhaseTimeline timeline;
};

} // namespace

TEST_F(PhaseTimelineTest, BarsSpanTheirDaysBothIncluded) {
    const int left = timeline.chartRect().left();
    EXPECT_EQ(timeline.barRect(0).left(), left + 20);          // 2 March, a day after the first shown
    EXPECT_EQ(timeline.barRect(0).right(), left + 6 * 20 - 1); // to the end of 6 March
    EXPECT_EQ(timeline.barRect(1).left(), left + 8 * 20);
    EXPECT_GT(timeline.barRect(1).top(), timeline.barRect(0).bottom()) << "one row per phase";
    // The typed start moves the outline, which keeps the phase's three days: 20 to 22 March.
    EXPECT_EQ(timeline.outlineRect(4).left(), left + 19 * 20);
    EXPECT_EQ(timeline.outlineRect(4).right(), left + 22 * 20 - 1);
    EXPECT_TRUE(timeline.outlineRect(0).isEmpty()) << "nothing typed, no outline";

    // A typed end alone keeps the length backwards; a phase without a start has no bar.
    QList<TimelineBar> bars{bar(d(3, 10), d(3, 12)), bar(QDate(), QDate())};
    bars[0].typedEnd = d(3, 20);
    timeline.setBars(bars);
    EXPECT_EQ(timeline.outlineRect(0).left(), timeline.xOf(d(3, 18)));
    EXPECT_EQ(timeline.outlineRect(0).right(), timeline.xOf(d(3, 21)) - 1);
    EXPECT_TRUE(timeline.barRect(1).isEmpty());

    timeline.setBars({});
    EXPECT_FALSE(timeline.firstDay().isValid());
    EXPECT_TRUE(timeline.barRect(0).isEmpty());
    EXPECT_TRUE(rendered().pixelColor(5, 5).isValid()) << "an empty chart paints";
}

TEST_F(PhaseTimelineTest, PaintsEachKindOfPhaseInItsColour) {
    const QImage image = rendered();
    EXPECT_EQ(image.pixelColor(timeline.barRect(0).center()), PhaseTimeline::internalColor());
    EXPECT_EQ(image.pixelColor(timeline.barRect(1).center()), PhaseTimeline::subcontractedColor());
    EXPECT_EQ(image.pixelColor(timeline.barRect(2).center()),
              PhaseTimeline::dimmed(PhaseTimeline::internalColor()));
    EXPECT_NE(PhaseTimeline::dimmed(PhaseTimeline::internalColor()), PhaseTimeline::internalColor());
    EXPECT_EQ(image.pixelColor(timeline.barRect(3).center()), PhaseTimeline::lateColor());
    EXPECT_EQ(PhaseTimeline::lateColor(), QColor(210, 40, 40)) << "the red light of late schedule rows";

    // The typed dates: an outline in the phase's colour, the inside left clear.
    const QRect outline = timeline.outlineRect(4);
    EXPECT_EQ(image.pixelColor(outline.left() + 10, outline.top()), PhaseTimeline::internalColor());
    EXPECT_EQ(image.pixelColor(outline.left(), outline.center().y()), PhaseTimeline::internalColor());
    EXPECT_EQ(image.pixelColor(outline.right(), outline.center().y()), PhaseTimeline::internalColor());
    EXPECT_EQ(image.pixelColor(outline.left() + 10, outline.center().y()), QColor(Qt::white));
}

TEST_F(PhaseTimelineTest, ShadesDaysNotWorkedAndMarksToday) {
    timeline.setNonWorkingDay([](const QDate& day) { return day.dayOfWeek() > 5 || day == d(3, 19); });
    timeline.setToday(d(3, 11));
    const QImage image = rendered();
    // Row 0 has its bar from 2 to 6 March: the days after it show the calendar.
    EXPECT_EQ(image.pixelColor(at(d(3, 7), 0)), PhaseTimeline::nonWorkingColor());  // Saturday
    EXPECT_EQ(image.pixelColor(at(d(3, 8), 0)), PhaseTimeline::nonWorkingColor());  // Sunday
    EXPECT_EQ(image.pixelColor(at(d(3, 9), 0)), QColor(Qt::white));                 // Monday
    EXPECT_EQ(image.pixelColor(at(d(3, 19), 0)), PhaseTimeline::nonWorkingColor()); // a closure
    EXPECT_EQ(image.pixelColor(at(d(3, 18), 0)), QColor(Qt::white));
    // Today: a line down the middle of its column, over the rows without a bar that day.
    const int middle = (timeline.xOf(d(3, 11)) + timeline.xOf(d(3, 12))) / 2;
    EXPECT_EQ(image.pixelColor(middle, timeline.rowRect(0).center().y()), PhaseTimeline::todayColor());
    EXPECT_EQ(image.pixelColor(middle, timeline.rowRect(4).center().y()), PhaseTimeline::todayColor());
    EXPECT_EQ(image.pixelColor(at(d(3, 10), 0)), QColor(Qt::white));
}

TEST_F(PhaseTimelineTest, HighlightsTheCurrentRowAndReportsClicks) {
    timeline.setCurrentBar(1);
    const QImage image = rendered();
    EXPECT_EQ(image.pixelColor(2, timeline.rowRect(1).center().y()), PhaseTimeline::currentRowColor());
    EXPECT_EQ(image.pixelColor(2, timeline.rowRect(0).center().y()), QColor(Qt::white));
    timeline.setCurrentBar(9);
    EXPECT_EQ(timeline.currentBar(), -1) << "no such row";

    timeline.show();
    QSignalSpy clicks(&timeline, &PhaseTimeline::barClicked);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, at(d(3, 20), 3));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 3);
    QTest::mouseClick(&timeline, Qt::LeftButton, {}, at(d(3, 20), 4) + QPoint(0, 100));
    EXPECT_EQ(clicks.count(), 1) << "below the last row";

    // The tip over a row, its dates in the widget's locale.
    timeline.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    TimelineLegend legend;
    legend.typed = QStringLiteral("Nuova data");
    timeline.setLegend(legend);
    EXPECT_EQ(timeline.toolTipAt(at(d(3, 1), 4)),
              QStringLiteral("10/0 Taglio\n16/03/26 - 18/03/26\nNuova data: 20/03/26 - 22/03/26"));
    EXPECT_EQ(timeline.toolTipAt(at(d(3, 1), 4) + QPoint(0, 100)), QString());
}
