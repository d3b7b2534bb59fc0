// The batch job "reminders": the schedule shown in modification mode with the parameters and
// filters given, the reminder screen opened on its late rows, every row marked, the letter's
// parameters filled and the channel's button pressed. Each send is printed as it goes.
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"
#include "platform/host/ReportService.h"

#include <QSet>
#include <cstdio>

namespace erphost {

namespace {

constexpr int kTextNothingToRemind = 92139;
constexpr int kTextNotSent = 92140;
constexpr int kTextNotSentBecause = 92141;

int failure(const QString& reason) {
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(reason));
    return kBatchFailed;
}

// One line per send: a print is one letter per supplier, in the order they were printed.
void printRecord(const SendRecord& record, int& sent, int& missed) {
    QStringList suppliers;
    if (record.channel == QLatin1String("mail") || record.channel == QLatin1String("fax")) {
        suppliers << record.supplier;
    } else {
        QSet<QString> seen;
        for (const auto& row : record.rows) {
            const QString supplier = row.value(QStringLiteral("DO11_CLIFOR_CG44")).toText();
            if (!seen.contains(supplier)) {
                seen.insert(supplier);
                suppliers << supplier;
            }
        }
    }
    for (const QString& supplier : suppliers) {
        switch (record.outcome) {
        case SendRecord::Outcome::Sent:
            ++sent;
            std::printf("sent: %s;%s;%s\n", qPrintable(supplier), qPrintable(record.channel),
                        qPrintable(record.recipient));
            break;
        case SendRecord::Outcome::Skipped:
            ++missed;
            std::printf("skipped: %s;%s\n", qPrintable(supplier), qPrintable(record.reason));
            break;
        case SendRecord::Outcome::Failed:
            ++missed;
            std::printf("failed: %s;%s\n", qPrintable(supplier), qPrintable(record.reason));
            break;
        }
    }
    std::fflush(stdout);
}

} // namespace

int BatchRunner::reminders(BatchSession& session, const BatchRequest& request) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(session.text(kTextScreenNotOpen));
    // The reminder screen's marks are written to the schedule: modification mode.
    if (!applyParameters(*jobs, request, true, true))
        return kBatchFailed;

    using Status = scadlav::ActionOutcome::Status;
    const scadlav::ActionOutcome shown = jobs->runShow();
    if (shown.status == Status::Refused)
        return kBatchRefused;
    if (shown.status != Status::Done)
        return failure(shown.description.isEmpty()
                           ? session.text(kTextNotShown)
                           : session.text(kTextNotShownBecause, {shown.description.left(200)}));

    int sent = 0;
    int missed = 0;
    ReportService::setProcessJournal([&sent, &missed](const SendRecord& r) { printRecord(r, sent, missed); });
    const scadlav::ActionOutcome outcome = jobs->runReminders(request.reminders);
    ReportService::setProcessJournal({});
    switch (outcome.status) {
    case Status::Refused:
        std::printf("reminders: %s\n", qPrintable(outcome.description));
        std::fflush(stdout);
        return kBatchRefused;
    case Status::Done:
        return missed > 0 ? kBatchIncomplete : kBatchOk;
    case Status::NoData:
        std::printf("%s\n", qPrintable(session.text(kTextNothingToRemind)));
        std::fflush(stdout);
        return kBatchOk;
    default:
        return failure(outcome.description.isEmpty()
                           ? session.text(kTextNotSent, {session.settings().errorLogPath()})
                           : session.text(kTextNotSentBecause,
                                          {outcome.description, session.settings().errorLogPath()}));
    }
}

} // namespace erphost
