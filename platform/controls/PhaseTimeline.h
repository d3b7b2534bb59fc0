#pragma once
// A Gantt chart of the phases of one order line: one row per phase with a bar from its first to
// its last day, the days nobody works shaded, today marked, and a legend. The screen hands it
// the bars, today and which days are not worked; the chart knows nothing of where they come
// from. Rows are in the order given, so row i of the chart is row i of the screen's list.

#include <QColor>
#include <QDate>
#include <QList>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

namespace erpctl {

struct TimelineBar {
    QString label;
    // The phase's days, both included; no bar when the start is missing, one day when the end is.
    QDate start;
    QDate end;
    bool subcontracted = false;
    // A closed phase is drawn dimmed and is never late.
    bool closed = false;
    bool late = false;
    // New dates typed but not yet applied, drawn as an outline. With only one of them typed
    // the outline keeps the phase's length.
    QDate typedStart;
    QDate typedEnd;
};

// The legend's captions, translated by the screen.
struct TimelineLegend {
    QString internal;
    QString subcontracted;
    QString closed;
    QString late;
    QString typed;
    QString today;
    QString nonWorking;
};

class PhaseTimeline : public QWidget {
    Q_OBJECT
public:
    explicit PhaseTimeline(QWidget* parent = nullptr);

    static QColor internalColor();
    static QColor subcontractedColor();
    // The late colour of the schedule's status lights (red).
    static QColor lateColor();
    static QColor nonWorkingColor();
    static QColor todayColor();
    static QColor currentRowColor();
    // A colour faded towards white, for closed phases.
    static QColor dimmed(const QColor& color);

    void setBars(QList<TimelineBar> bars);
    const QList<TimelineBar>& bars() const { return m_bars; }
    void setToday(const QDate& today);
    QDate today() const { return m_today; }
    // Tells whether a day is not worked; without one every day is a working day.
    void setNonWorkingDay(std::function<bool(const QDate&)> predicate);
    bool isNonWorkingDay(const QDate& day) const;
    // The highlighted row, -1 for none.
    void setCurrentBar(int index);
    int currentBar() const { return m_current; }
    void setLegend(const TimelineLegend& legend);

    // ---- Geometry at the widget's present size --------------------------------------------------
    // The days shown: from the day before the earliest date to the day after the latest, at
    // least two weeks. Invalid when no bar has a date.
    QDate firstDay() const { return m_first; }
    QDate lastDay() const { return m_last; }
    // The dated area: below the day header, right of the labels, above the legend.
    QRect chartRect() const;
    double dayWidth() const;
    // Left edge of a day's column.
    int xOf(const QDate& day) const;
    // The row of bar `index`, across the chart.
    QRect rowRect(int index) const;
    // The phase's bar; empty when it has no start date.
    QRect barRect(int index) const;
    // The outline of the typed dates; empty when none is typed.
    QRect outlineRect(int index) const;
    // The colour the bar is filled with.
    QColor fillColor(int index) const;
    // The row under a point of the chart, -1 outside every row.
    int rowAt(const QPoint& point) const;
    // What the tip over a row says: the phase, its days and the typed ones, in the widget's
    // locale. Empty outside every row.
    QString toolTipAt(const QPoint& point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The planner clicked on the row of bar `index`.
    void barClicked(int index);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void computeRange();
    int labelWidth() const;
    int headerHeight() const;
    int legendHeight() const;
    int rowHeight() const;
    // The span of the outline: the typed dates, completed with the phase's length.
    bool outlineSpan(const TimelineBar& bar, QDate& from, QDate& to) const;
    QRect daysRect(int index, const QDate& from, const QDate& to, int inset) const;
    void paintHeader(class QPainter& painter) const;
    void paintLegend(class QPainter& painter) const;

    QList<TimelineBar> m_bars;
    QDate m_today;
    std::function<bool(const QDate&)> m_nonWorking;
    int m_current = -1;
    TimelineLegend m_legend;
    QDate m_first;
    QDate m_last;
};

} // namespace erpctl
