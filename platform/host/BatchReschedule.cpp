// The batch jobs "reschedule" and "undo-reschedule": a phase date typed into the order detail of
// the schedule shown in modification mode and "&Calc. Date" pressed, as a planner does it; and
// the function menu's undo of the user's last recalculation. The reschedule prints the phases
// of the order line as they are afterwards, one per line: SEQ;PROGSFASE;CODFASE;START;END.
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"

#include <cstdio>

namespace erphost {

namespace {

using Status = scadlav::ActionOutcome::Status;

constexpr int kTextNothingToChange = 92142;
constexpr int kTextPhasesUnread = 92143;

int failure(const QString& reason) {
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(reason));
    return kBatchFailed;
}

QString dayText(const scadlav::Value& value) {
    const std::optional<QDateTime> when = value.toDateTime();
    return when ? when->date().toString(Qt::ISODate) : QString();
}

// The phases of the order line as the database holds them now.
bool printPhases(const BatchSession& session, const scadlav::RescheduleRequest& request) {
    scadlav::db::Connection connection;
    if (!connection.open(session.settings().connectionString))
        return false;
    auto rs = connection.execute(
        QStringLiteral(
            "SELECT DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_DATAINIZIO, DO46_DATAFINE FROM "
            "DO46_DOCCORORDDET WHERE DO46_DITTA_CG18 = %1 AND DO46_NUMREG_CO99 = '%2' AND DO46_PROGRIGA "
            "= %3 ORDER BY DO46_CODSEQFASE, DO46_PROGSFASE")
            .arg(session.settings().company)
            .arg(QString(request.order).replace(QLatin1Char('\''), QStringLiteral("''")))
            .arg(request.line));
    if (!rs || !rs->isOpen())
        return false;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext())
        std::printf("%s;%s;%s;%s;%s\n", qPrintable(rs->value(0).toText()), qPrintable(rs->value(1).toText()),
                    qPrintable(rs->value(2).toText()), qPrintable(dayText(rs->value(3))),
                    qPrintable(dayText(rs->value(4))));
    std::fflush(stdout);
    return true;
}

// "Visualizza" narrowed to the document number of the order line's schedule rows through the
// filter panel: a few orders are read instead of the whole schedule. Nothing when the line has
// no schedule row (the screen then says the phase is not in the schedule).
QList<scadlav::JobFilter> narrowing(const BatchSession& session, const scadlav::RescheduleRequest& request) {
    scadlav::db::Connection connection;
    if (!connection.open(session.settings().connectionString))
        return {};
    auto rs = connection.execute(
        QStringLiteral(
            "SELECT TOP 1 PD5C_NUMDOC FROM PD5C_SCADLAV WITH (NOLOCK) WHERE PD5C_DITTA_CG18 = %1 AND "
            "PD5C_NUMREG_CO99 = '%2' AND PD5C_PROGRIGA_DO30 = %3 AND PD5C_NUMDOC IS NOT NULL")
            .arg(session.settings().company)
            .arg(QString(request.order).replace(QLatin1Char('\''), QStringLiteral("''")))
            .arg(request.line));
    if (!rs || !rs->isOpen() || rs->eof())
        return {};
    const QString number = rs->value(0).toText();
    return {scadlav::JobFilter{QStringLiteral("DO11_NUMDOC"), number, number}};
}

} // namespace

int BatchRunner::reschedule(BatchSession& session, const BatchRequest& request) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(session.text(kTextScreenNotOpen));
    // Dates are typed in modification mode only.
    if (!applyParameters(*jobs, request, false, true, narrowing(session, request.reschedule)))
        return kBatchFailed;

    const scadlav::ActionOutcome shown = jobs->runShow();
    switch (shown.status) {
    case Status::Done:
        break;
    case Status::Refused:
        return kBatchRefused;
    case Status::NoData:
        return failure(session.text(kTextNothingToChange));
    default:
        return failure(shown.description.isEmpty() ? session.text(kTextNotShown)
                                                   : session.text(kTextNotShownBecause, {shown.description}));
    }

    const scadlav::ActionOutcome outcome = jobs->runReschedule(request.reschedule);
    if (outcome.status == Status::NoData || outcome.status == Status::Failed) {
        if (!outcome.description.isEmpty())
            std::fprintf(stderr, "erp-host: %s\n", qPrintable(outcome.description));
    }
    const bool ran = outcome.status == Status::Done || outcome.status == Status::Failed;
    if (ran && !printPhases(session, request.reschedule))
        return failure(session.text(kTextPhasesUnread));
    switch (outcome.status) {
    case Status::Done:
        return kBatchOk;
    case Status::Cancelled:
        return kBatchEditRefused;
    case Status::Refused:
        return kBatchRefused;
    default:
        return kBatchFailed;
    }
}

int BatchRunner::undoReschedule(BatchSession& session, const BatchRequest&) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(session.text(kTextScreenNotOpen));
    const scadlav::ActionOutcome outcome = jobs->runUndoReschedule();
    switch (outcome.status) {
    case Status::Done:
        return kBatchOk;
    case Status::NoData:
        return kBatchNothing;
    default:
        return kBatchFailed;
    }
}

} // namespace erphost
