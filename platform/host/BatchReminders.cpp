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
        return failure(QStringLiteral("the schedule screen is not open"));
    // The reminder screen's marks are written to the schedule: modification mode.
    if (!applyParameters(*jobs, request, true, true))
        return kBatchFailed;

    using Status = scadlav::ActionOutcome::Status;
    const scadlav::ActionOutcome shown = jobs->runShow();
    if (shown.status == Status::Refused)
        return kBatchRefused;
    if (shown.status != Status::Done)
        return failure(
            QStringLiteral("the schedule could not be shown") +
            (shown.description.isEmpty() ? QString() : QStringLiteral(": ") + shown.description.left(200)));

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
        std::printf("reminders: no late phase to remind within the limits given\n");
        std::fflush(stdout);
        return kBatchOk;
    default:
        return failure(
            QStringLiteral("the reminders were not sent") +
            (outcome.description.isEmpty() ? QString() : QStringLiteral(": ") + outcome.description) +
            QStringLiteral("; see the error log ") + session.settings().errorLogPath());
    }
}

} // namespace erphost
