#include "platform/controls/PhaseTimeline.h"

#include "platform/controls/ImageList.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace erpctl {

namespace {

// Fewer days than this make a short phase a wall of colour: the range is widened.
constexpr int kMinimumDays = 14;
// Status light of the schedule grid that marks a late phase.
constexpr int kLateLight = 3;
// Rows keep this far from the bars and outlines they hold, in pixels.
constexpr int kBarInset = 5;
constexpr int kOutlineInset = 2;
constexpr int kOutlineWidth = 2;
constexpr int kTodayWidth = 2;

} // namespace

PhaseTimeline::PhaseTimeline(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

QColor PhaseTimeline::internalColor() {
    return QColor(52, 120, 200);
}

QColor PhaseTimeline::subcontractedColor() {
    return QColor(140, 80, 170);
}

QColor PhaseTimeline::lateColor() {
    return ImageList::statusColor(kLateLight);
}

QColor PhaseTimeline::nonWorkingColor() {
    return QColor(226, 226, 226);
}

QColor PhaseTimeline::todayColor() {
    return QColor(30, 30, 30);
}

QColor PhaseTimeline::currentRowColor() {
    return QColor(255, 236, 170);
}

QColor PhaseTimeline::dimmed(const QColor& color) {
    // A third of the colour, two thirds white: still told apart, clearly out of play.
    const auto fade = [](int channel) { return (channel + 2 * 255) / 3; };
    return QColor(fade(color.red()), fade(color.green()), fade(color.blue()));
}

void PhaseTimeline::setBars(QList<TimelineBar> bars) {
    m_bars = std::move(bars);
    if (m_current >= m_bars.size())
        m_current = -1;
    computeRange();
    update();
}

void PhaseTimeline::setToday(const QDate& today) {
    m_today = today;
    update();
}

void PhaseTimeline::setNonWorkingDay(std::function<bool(const QDate&)> predicate) {
    m_nonWorking = std::move(predicate);
    update();
}

bool PhaseTimeline::isNonWorkingDay(const QDate& day) const {
    return m_nonWorking && m_nonWorking(day);
}

void PhaseTimeline::setCurrentBar(int index) {
    const int current = index >= 0 && index < m_bars.size() ? index : -1;
    if (current == m_current)
        return;
    m_current = current;
    update();
}

void PhaseTimeline::setLegend(const TimelineLegend& legend) {
    m_legend = legend;
    update();
}

bool PhaseTimeline::outlineSpan(const TimelineBar& bar, QDate& from, QDate& to) const {
    if (!bar.typedStart.isValid() && !bar.typedEnd.isValid())
        return false;
    const qint64 length = bar.start.isValid() && bar.end.isValid() ? bar.start.daysTo(bar.end) : 0;
    from = bar.typedStart.isValid() ? bar.typedStart : bar.typedEnd.addDays(-length);
    to = bar.typedEnd.isValid() ? bar.typedEnd : bar.typedStart.addDays(length);
    if (to < from)
        std::swap(from, to);
    return true;
}

void PhaseTimeline::computeRange() {
    QDate first;
    QDate last;
    const auto take = [&](const QDate& day) {
        if (!day.isValid())
            return;
        if (!first.isValid() || day < first)
            first = day;
        if (!last.isValid() || day > last)
            last = day;
    };
    for (const TimelineBar& bar : m_bars) {
        take(bar.start);
        take(bar.end);
        QDate from;
        QDate to;
        if (outlineSpan(bar, from, to)) {
            take(from);
            take(to);
        }
    }
    if (!first.isValid()) {
        m_first = m_last = QDate();
        return;
    }
    m_first = first.addDays(-1);
    m_last = std::max(last.addDays(1), m_first.addDays(kMinimumDays - 1));
}

int PhaseTimeline::labelWidth() const {
    return std::min(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 9, width() / 3);
}

int PhaseTimeline::headerHeight() const {
    return 2 * fontMetrics().height() + 6;
}

int PhaseTimeline::legendHeight() const {
    return fontMetrics().height() + 8;
}

int PhaseTimeline::rowHeight() const {
    return fontMetrics().height() + 8;
}

QRect PhaseTimeline::chartRect() const {
    const int left = labelWidth();
    const int top = headerHeight();
    return QRect(left, top, std::max(width() - left - 4, 1), std::max(height() - top - legendHeight(), 1));
}

double PhaseTimeline::dayWidth() const {
    if (!m_first.isValid())
        return 0.0;
    return double(chartRect().width()) / double(m_first.daysTo(m_last) + 1);
}

int PhaseTimeline::xOf(const QDate& day) const {
    if (!m_first.isValid() || !day.isValid())
        return chartRect().left();
    return chartRect().left() + int(std::lround(double(m_first.daysTo(day)) * dayWidth()));
}

QRect PhaseTimeline::rowRect(int index) const {
    if (index < 0 || index >= m_bars.size())
        return {};
    return QRect(0, chartRect().top() + index * rowHeight(), width(), rowHeight());
}

QRect PhaseTimeline::daysRect(int index, const QDate& from, const QDate& to, int inset) const {
    const QRect row = rowRect(index);
    const int left = xOf(from);
    const int right = std::max(xOf(to.addDays(1)), left + 1);
    return QRect(QPoint(left, row.top() + inset), QPoint(right - 1, row.bottom() - inset));
}

QRect PhaseTimeline::barRect(int index) const {
    if (index < 0 || index >= m_bars.size() || !m_bars[index].start.isValid())
        return {};
    const TimelineBar& bar = m_bars[index];
    const QDate end = bar.end.isValid() && bar.end >= bar.start ? bar.end : bar.start;
    return daysRect(index, bar.start, end, kBarInset);
}

QRect PhaseTimeline::outlineRect(int index) const {
    QDate from;
    QDate to;
    if (index < 0 || index >= m_bars.size() || !outlineSpan(m_bars[index], from, to))
        return {};
    return daysRect(index, from, to, kOutlineInset);
}

QColor PhaseTimeline::fillColor(int index) const {
    if (index < 0 || index >= m_bars.size())
        return {};
    const TimelineBar& bar = m_bars[index];
    const QColor kind = bar.subcontracted ? subcontractedColor() : internalColor();
    if (bar.closed)
        return dimmed(kind);
    return bar.late ? lateColor() : kind;
}

int PhaseTimeline::rowAt(const QPoint& point) const {
    const QRect chart = chartRect();
    if (point.y() < chart.top() || point.y() > chart.bottom())
        return -1;
    const int index = (point.y() - chart.top()) / rowHeight();
    return index < m_bars.size() ? index : -1;
}

QString PhaseTimeline::toolTipAt(const QPoint& point) const {
    const int row = rowAt(point);
    if (row < 0)
        return {};
    const TimelineBar& bar = m_bars[row];
    const auto span = [this](const QDate& from, const QDate& to) {
        const QString first = locale().toString(from, QLocale::ShortFormat);
        return to.isValid() && to != from
                   ? first + QStringLiteral(" - ") + locale().toString(to, QLocale::ShortFormat)
                   : first;
    };
    QString text = bar.label;
    if (bar.start.isValid())
        text += QLatin1Char('\n') + span(bar.start, bar.end);
    QDate from;
    QDate to;
    if (outlineSpan(bar, from, to))
        text += QLatin1Char('\n') + m_legend.typed + QStringLiteral(": ") + span(from, to);
    return text;
}

QSize PhaseTimeline::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40,
                 headerHeight() + legendHeight() + rowHeight() * std::max<int>(int(m_bars.size()), 6));
}

QSize PhaseTimeline::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 15, headerHeight() + legendHeight());
}

void PhaseTimeline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect chart = chartRect();

    if (m_first.isValid()) {
        // Days nobody works, across every row.
        for (QDate day = m_first; day <= m_last; day = day.addDays(1)) {
            if (isNonWorkingDay(day))
                painter.fillRect(
                    QRect(QPoint(xOf(day), chart.top()), QPoint(xOf(day.addDays(1)) - 1, chart.bottom())),
                    nonWorkingColor());
        }
        // A thin line before each Monday keeps the weeks apart.
        painter.setPen(QColor(200, 200, 200));
        for (QDate day = m_first; day <= m_last; day = day.addDays(1)) {
            if (day.dayOfWeek() == 1 && day != m_first)
                painter.drawLine(xOf(day), chart.top(), xOf(day), chart.bottom());
        }
    }

    // The current row: its label on the highlight colour, a frame across the chart.
    if (m_current >= 0) {
        const QRect row = rowRect(m_current);
        painter.fillRect(QRect(0, row.top(), chart.left(), row.height()), currentRowColor());
        painter.setPen(QColor(230, 180, 40));
        painter.drawLine(chart.left(), row.top(), chart.right(), row.top());
        painter.drawLine(chart.left(), row.bottom(), chart.right(), row.bottom());
    }

    for (int i = 0; i < m_bars.size(); ++i) {
        const TimelineBar& bar = m_bars[i];
        const QRect row = rowRect(i);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(4, row.top(), chart.left() - 8, row.height()),
                         Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(bar.label, Qt::ElideRight, chart.left() - 8));
        const QRect body = barRect(i);
        if (!body.isEmpty())
            painter.fillRect(body, fillColor(i));
        const QRect outline = outlineRect(i);
        if (!outline.isEmpty()) {
            // Drawn as four strips, so the outline covers the same pixels at any scale.
            const QColor edge = bar.subcontracted ? subcontractedColor() : internalColor();
            const int w = std::min(kOutlineWidth, outline.width());
            painter.fillRect(QRect(outline.left(), outline.top(), outline.width(), kOutlineWidth), edge);
            painter.fillRect(
                QRect(outline.left(), outline.bottom() - kOutlineWidth + 1, outline.width(), kOutlineWidth),
                edge);
            painter.fillRect(QRect(outline.left(), outline.top(), w, outline.height()), edge);
            painter.fillRect(QRect(outline.right() - w + 1, outline.top(), w, outline.height()), edge);
        }
    }

    if (m_first.isValid() && m_today.isValid() && m_today >= m_first && m_today <= m_last) {
        const int middle = (xOf(m_today) + xOf(m_today.addDays(1))) / 2;
        painter.fillRect(QRect(middle - kTodayWidth / 2, chart.top(), kTodayWidth, chart.height()),
                         todayColor());
    }

    paintHeader(painter);
    paintLegend(painter);
}

void PhaseTimeline::paintHeader(QPainter& painter) const {
    if (!m_first.isValid())
        return;
    const QRect chart = chartRect();
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.height() + 2;
    // Every day's number when it fits, otherwise Mondays only; the month at its first day shown.
    const bool everyDay = dayWidth() >= metrics.horizontalAdvance(QStringLiteral("00")) + 2;
    painter.setPen(palette().color(QPalette::Text));
    for (QDate day = m_first; day <= m_last; day = day.addDays(1)) {
        const int left = xOf(day);
        if (day == m_first || day.day() == 1) {
            // The month's name, where it fits before the chart's right edge.
            const QString month = locale().toString(day, QStringLiteral("MMM yyyy"));
            if (left + 2 + metrics.horizontalAdvance(month) <= chart.right())
                painter.drawText(QRect(left + 2, 1, chart.right() - left, lineHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, month);
        }
        if (everyDay || day.dayOfWeek() == 1) {
            const int right =
                everyDay ? xOf(day.addDays(1)) : left + metrics.horizontalAdvance(QStringLiteral("000"));
            painter.drawText(QRect(left, 1 + lineHeight, right - left, lineHeight),
                             (everyDay ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter,
                             QString::number(day.day()));
        }
    }
}

void PhaseTimeline::paintLegend(QPainter& painter) const {
    const QFontMetrics metrics = fontMetrics();
    const int top = height() - legendHeight() + 4;
    const int swatch = metrics.height() - 4;
    int x = 4;
    const auto entry = [&](const QString& text, const QColor& color, bool outline) {
        if (text.isEmpty())
            return;
        const QRect box(x, top + 2, swatch + 4, swatch);
        if (outline) {
            painter.setPen(QPen(color, kOutlineWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box.adjusted(1, 1, -1, -1));
        } else {
            painter.fillRect(box, color);
        }
        x = box.right() + 4;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QPoint(x, top + metrics.ascent()), text);
        x += metrics.horizontalAdvance(text) + 12;
    };
    entry(m_legend.internal, internalColor(), false);
    entry(m_legend.subcontracted, subcontractedColor(), false);
    entry(m_legend.closed, dimmed(internalColor()), false);
    entry(m_legend.late, lateColor(), false);
    entry(m_legend.typed, internalColor(), true);
    entry(m_legend.today, todayColor(), false);
    entry(m_legend.nonWorking, nonWorkingColor(), false);
}

bool PhaseTimeline::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void PhaseTimeline::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int row = rowAt(event->position().toPoint());
        if (row >= 0)
            emit barClicked(row);
    }
    QWidget::mousePressEvent(event);
}

} // namespace erpctl
