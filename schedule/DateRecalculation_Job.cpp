// A date change asked by a batch job, done the way a planner does it on the screen: the phase's
// row in the schedule grid, the order detail opened on it, the dates typed into the detail grid,
// "Mod." clicked until the direction is the one asked, and "&Calc. Date".
#include "schedule/DateRecalculation.h"

#include "engine/DetailDateRules.h"
#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QPushButton>

namespace scadlav {

namespace {

std::int64_t wholeOf(const Value& value) {
    return NVL(value, Value(0)).toInt64().value_or(0);
}

// The first schedule row of the phase, -1 when the schedule does not show it.
int scheduleRowOf(const db::Recordset& schedule, const RescheduleRequest& request) {
    const int numreg = schedule.fieldIndex(QStringLiteral("PD5C_NUMREG_CO99"));
    const int line = schedule.fieldIndex(QStringLiteral("PD5C_PROGRIGA_DO30"));
    const int sequence = schedule.fieldIndex(QStringLiteral("PD5C_SEQUENZA"));
    for (int row = 0; row < schedule.recordCount(); ++row) {
        if (RTrimN(schedule.valueAt(row, numreg)) == request.order &&
            wholeOf(schedule.valueAt(row, line)) == request.line &&
            wholeOf(schedule.valueAt(row, sequence)) == request.sequence)
            return row;
    }
    return -1;
}

} // namespace

ActionOutcome DateRecalculation::reschedule(const RescheduleRequest& request) {
    ScreenSession& s = session();
    ScheduleControls& ui = m_screen.controls();
    OrderDetail& detail = m_screen.detail();
    db::Recordset* schedule = m_screen.results().scheduleRecordset();
    if (m_screen.viewMode() != FRMPD_KVB_SCADLAV::ViewMode::Results || ui.CMD_DATE->isHidden() || !schedule)
        return {
            ActionOutcome::Status::Failed,
            s.TraduzioneTesto(QStringLiteral("Le date si ricalcolano nella situazione fasi visualizzata in "
                                             "modifica."),
                              90808)};
    const int scheduleRow = scheduleRowOf(*schedule, request);
    if (scheduleRow < 0)
        return {ActionOutcome::Status::NoData,
                s.TraduzioneTesto(
                    QStringLiteral("La fase %3 della riga %2 dell'ordine %1 non è nella situazione "
                                   "fasi."),
                    90809, Value(QList<Value>{request.order, Value(request.line), Value(request.sequence)}))};
    ui.GRID_ORD->setCurrentRow(scheduleRow);
    if (!detail.isOpen())
        detail.CMD_DETT_Click();
    db::Recordset* phases = detail.detailRecordset();
    const int row = ui.GRID_DETT->currentRow();
    if (!detail.isOpen() || !phases || row < 0)
        return {ActionOutcome::Status::Failed, QString()};

    const auto type = [&](const QString& field, const QDate& date) {
        bool cancel = false;
        detail.GRID_DETT_OnEditing(row, field, cancel);
        if (cancel)
            return false;
        ui.GRID_DETT->commitCellInput(ui.GRID_DETT->model()->index(row, ui.GRID_DETT->columnIndex(field)),
                                      date.toString(QStringLiteral("dd/MM/yyyy")), true);
        // A refused date leaves the cell empty.
        return !phases->valueAt(row, phases->fieldIndex(field)).isEmptyOrNull();
    };
    const auto refused = [&] {
        return ActionOutcome{ActionOutcome::Status::Cancelled,
                             s.TraduzioneTesto(QStringLiteral("La data non è stata accettata: non è stato "
                                                              "ricalcolato nulla."),
                                               90810)};
    };
    if (request.start && !type(QStringLiteral("DATA_INI"), *request.start))
        return refused();
    if (request.end && !type(QStringLiteral("DATA_FINE"), *request.end))
        return refused();
    if (request.direction) {
        const int direction = phases->fieldIndex(QStringLiteral("IND_DIR"));
        for (int click = 0; click < 4 && wholeOf(phases->valueAt(row, direction)) != *request.direction;
             ++click)
            detail.GRID_DETT_Click(row, QStringLiteral("IND_DIR"));
    }
    CMD_DATE_Click();
    return m_outcome;
}

} // namespace scadlav
