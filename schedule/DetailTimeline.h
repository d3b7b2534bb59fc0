#pragma once
// The timeline beside the detail grid: the phases of the order line shown in the detail as bars
// on a calendar, following the grid's current row and repainting whenever the detail's rows
// change (a line opened, a date typed, the dates recalculated). The planner can hide it; whether
// it is shown is kept with the user's layouts.

#include <QDate>
#include <QList>
#include <QObject>
#include <QSet>

#include <optional>

class QAction;
class QTimer;

namespace erpctl {
struct TimelineBar;
} // namespace erpctl

namespace scadlav {

class FRMPD_KVB_SCADLAV;
class ScreenSession;
struct ScheduleControls;
namespace db {
class Recordset;
} // namespace db

class DetailTimeline : public QObject {
public:
    // Key under which the host keeps whether the timeline is shown.
    static inline const QString LayoutKey = QStringLiteral("FRMPD_KVB_SCADLAV.TIMELINE_DETT");

    explicit DetailTimeline(FRMPD_KVB_SCADLAV& screen);
    ~DetailTimeline() override;

    // Follows the detail grid: its rows, its current row and whether it is shown; adds the
    // toggle to the grid's and the timeline's context menus.
    void connectControls();
    // First activation: the legend and the toggle in the user's language, and the visibility the
    // user left the timeline in.
    void ImpostaDiagramma();
    // Shows or hides the timeline and stores the choice with the user's layouts.
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    QAction* toggleAction() const { return m_toggle; }
    // Reads the bars from the detail's rows now (normally done once the event loop is free).
    void Aggiorna();
    void release();

    // The bars of the visible rows of a detail record set, in its order: a phase is late when it
    // ends before `today` and is not closed ("Saldata").
    static QList<erpctl::TimelineBar> barsOf(const db::Recordset& detail, const QDate& today);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ScheduleControls& ui() const;
    ScreenSession& session() const;
    // Reads again once the event loop is free, so a recalculation touching every row reads once.
    void scheduleRefresh();
    bool isNonWorkingDay(const QDate& day);
    // The company's closure days, read once per screen; none when they cannot be read.
    const QSet<QDate>& closures();
    void applyVisibility();
    // Stores whether the timeline is shown and its width beside the grid.
    void SalvaLayout();

    FRMPD_KVB_SCADLAV& m_screen;
    QAction* m_toggle = nullptr;
    QTimer* m_refresh = nullptr;
    bool m_shown = true;
    std::optional<QSet<QDate>> m_closures;
};

} // namespace scadlav
