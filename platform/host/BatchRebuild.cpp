// The batch job "rebuild": the schedule screen's rebuild with the parameters given, its
// confirmation answered Yes.
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"

#include <cstdio>

namespace erphost {

namespace {
constexpr int kTextRebuildIncomplete = 92124;
constexpr int kTextRebuildIncompleteBecause = 92125;
} // namespace

int BatchRunner::rebuild(BatchSession& session, const BatchRequest& request) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(session.text(kTextScreenNotOpen)));
        return kBatchFailed;
    }
    if (!applyParameters(*jobs, request, false))
        return kBatchFailed;

    // The rebuild runs to its end inside the press; the screen tells how it ended.
    const scadlav::ActionOutcome outcome = jobs->runRebuild();
    using Status = scadlav::ActionOutcome::Status;
    switch (outcome.status) {
    case Status::Done:
    case Status::NoData:
        return kBatchOk;
    case Status::Refused:
        return kBatchRefused;
    default:
        break;
    }
    const QString log = session.settings().errorLogPath();
    std::fprintf(
        stderr, "erp-host: %s\n",
        qPrintable(outcome.description.isEmpty()
                       ? session.text(kTextRebuildIncomplete, {log})
                       : session.text(kTextRebuildIncompleteBecause, {outcome.description.left(200), log})));
    return kBatchFailed;
}

bool BatchRunner::applyParameters(scadlav::IScheduleJobs& jobs, const BatchRequest& request, bool forExport,
                                  std::optional<bool> modify, const QList<scadlav::JobFilter>& narrowing) {
    scadlav::JobParameters parameters;
    parameters.minDate = request.minDate;
    parameters.phaseType = request.phaseType;
    parameters.states = request.states;
    if (forExport) {
        parameters.sortCode = request.sortCode;
        // View mode: an export never holds the schedule against a planner who modifies it.
        parameters.modify = false;
        parameters.filters = request.filters;
    }
    if (modify)
        parameters.modify = *modify;
    parameters.filters += narrowing;
    const QString refused = jobs.applyParameters(parameters);
    if (refused.isEmpty())
        return true;
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(refused));
    return false;
}

} // namespace erphost
