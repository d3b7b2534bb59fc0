#pragma once
// The schedule screen "Situazione fasi di lavorazione".
//
// The module class creates it, hands it ClsModulo and ActiveDll, sets its caption and shows it.
// The screen initialises itself at its first activation, waits in the parameter view, and on
// unload removes its registry row, lets go of the host's services and closes its connection.
//
// The screen owns its controls and one object per concern, each owning its own state:
//   ScreenSession      connection, user, working tables, messages, error log, access registry
//   ParametersPanel    parameter view and filter panel
//   ScheduleResults    "Visualizza"/"Parametri", the schedule and detail grids, the function menu
//   ScheduleRebuilder  "Ricalcola" over the engine's rebuild operation
//   OrderDetail        the phases of the current row's order line in the detail grid
//   DateRecalculation  "&Calc. Date" and the undo of the last recalculation
//   DetailTimeline     the same phases as bars on a calendar beside the detail grid
// The screen itself keeps the lifecycle, the switch between the two views and the wiring of the
// controls' notifications to the concerns' handlers. Batch jobs drive it through IScheduleJobs.

#include "module/contract/ModuleScreen.h"
#include "module/services/IScheduleJobs.h"

#include <QDate>
#include <QString>
#include <memory>

class QResizeEvent;

namespace scadlav {

class DateRecalculation;
class DetailTimeline;
class OrderDetail;
class ParametersPanel;
class ScheduleRebuilder;
class ScheduleResults;
class ScreenSession;
struct ScheduleControls;

class FRMPD_KVB_SCADLAV : public ModuleScreen, public IScheduleJobs {
    Q_OBJECT
public:
    explicit FRMPD_KVB_SCADLAV(QWidget* parent = nullptr);
    ~FRMPD_KVB_SCADLAV() override;

    // Name of the module library, written to the error log by the lifecycle's handlers.
    static inline const QString LibraryName = QStringLiteral("PDUO_KVB_SCADLAV");
    // Name of the screen, written to the error log by the rebuild and the detail handlers.
    static inline const QString ScreenName = QStringLiteral("FRMPD_KVB_SCADLAV");
    // Design size in twips; Qt layouts make the controls follow the window from there.
    static constexpr int DesignWidthTwips = 14730;
    static constexpr int DesignHeightTwips = 9200;

    enum class ViewMode { Parameters, Results };

    // ---- Lifecycle ---------------------------------------------------------------------------
    // Runs the initialisation the first time; later activations do nothing. A failure is
    // logged and leaves the screen uninitialised, so the next activation starts again.
    void Form_Activate();
    bool isInitialized() const { return m_initialized; }

    // ---- Views -------------------------------------------------------------------------------
    // Parameter view: filter panel, mode and rebuild visible, result controls hidden.
    void MostraVistaParametri();
    // Result view: the schedule grid, its sort and its actions visible (the date button only
    // in modification mode), the parameter controls hidden.
    void MostraVistaRisultati();
    ViewMode viewMode() const { return m_viewMode; }
    // What the planner can press now, and the day of the last rebuild the screen shows.
    bool canShow() const;
    bool canRebuild() const;
    QDate lastRebuildDay() const;
    void CMD_CHIUDICLI_Click();
    void SPLITTER_Changed();
    void Timer1_Timer();

    // ---- Concerns ----------------------------------------------------------------------------
    ScreenSession& session() const { return *m_session; }
    ParametersPanel& parameters() const { return *m_parameters; }
    ScheduleResults& results() const { return *m_results; }
    ScheduleRebuilder& rebuilder() const { return *m_rebuilder; }
    OrderDetail& detail() const { return *m_detail; }
    DateRecalculation& recalculation() const { return *m_recalc; }
    DetailTimeline& timeline() const { return *m_timeline; }
    // The controls, for the concerns and for tests that type into them as a user would.
    ScheduleControls& controls() const { return *m_ui; }

    // ---- IScheduleJobs ----------------------------------------------------------------------------
    bool isReady() const override { return m_initialized; }
    QString applyParameters(const JobParameters& parameters) override;
    ActionOutcome runRebuild() override;
    ActionOutcome runShow() override;
    ActionOutcome runReminders(const ReminderJob& job) override;
    const QAbstractItemModel* shownRows() const override;
    ActionOutcome runProposals() override;
    const QAbstractItemModel* proposalRows() const override;
    ActionOutcome runCommitment(const QString& article) override;
    const QAbstractItemModel* commitmentRows() const override;
    ActionOutcome runReschedule(const RescheduleRequest& request) override;
    ActionOutcome runUndoReschedule() override;
    bool exportWorkbook(const QString& path, QString& error) override;

protected:
    bool queryUnload() override { return true; }
    void onUnload() override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void connectEvents();
    void PrimaAttivazione();

    std::unique_ptr<ScheduleControls> m_ui;
    std::unique_ptr<ScreenSession> m_session;
    std::unique_ptr<ParametersPanel> m_parameters;
    std::unique_ptr<ScheduleResults> m_results;
    std::unique_ptr<ScheduleRebuilder> m_rebuilder;
    std::unique_ptr<OrderDetail> m_detail;
    std::unique_ptr<DateRecalculation> m_recalc;
    std::unique_ptr<DetailTimeline> m_timeline;
    ViewMode m_viewMode = ViewMode::Parameters;
    bool m_initialized = false;
};

} // namespace scadlav
