// The batch job "export": the schedule shown in view mode with the parameters, filters and sort
// order given, every column of its rows (classification codes included) written as CSV for
// scripts (commas, decimal points, ISO dates, whatever the session's language), or to a .xlsx
// file the screen's typed workbook of the grid's columns. With --view proposals, the rows
// "Proposte C/Lav." hands the proposals screen, in that screen's order; with --view
// commitment, the open customer order lines of --article.
#include "module/db/RecordsetModel.h"
#include "module/value/SafeFile.h"
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"
#include "platform/host/CommandLine.h"
#include "platform/host/RecordsetCsv.h"
#include "platform/host/TextCatalog.h"

#include <QAbstractItemModel>
#include <cstdio>

namespace erphost {

namespace {

constexpr int kTextNeedsOut = 92126;
constexpr int kTextCommitmentUnread = 92127;
constexpr int kTextNothingToExport = 92128;
constexpr int kTextScheduleUnread = 92129;
constexpr int kTextScheduleUnreadBecause = 92130;
constexpr int kTextNoProposals = 92131;
constexpr int kTextProposalsUnread = 92132;
constexpr int kTextCannotWrite = 92133;
constexpr int kTextRowsWritten = 92134;
constexpr int kTextNotARecordset = 92135;
constexpr int kTextRowsUnread = 92136;

int failure(const QString& reason) {
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(reason));
    return kBatchFailed;
}

// The CSV of the rows a view shows: every view is a model over a record set, whose stored
// cells are written as they are.
bool writeCsv(const QAbstractItemModel& model, const QString& path, Language language, QString& error,
              int& rows) {
    const auto* view = qobject_cast<const scadlav::db::RecordsetModel*>(&model);
    if (!view || !view->recordset()) {
        error = hostText(kTextNotARecordset, language);
        return false;
    }
    const scadlav::db::Recordset& recordset = *view->recordset();
    // Counting reads every row still to come; a failure there closes the record set.
    if (recordset.recordCount() < 0) {
        error = hostText(kTextRowsUnread, language, {recordset.lastErrorText()});
        return false;
    }
    return scadlav::writeFileSafely(
        path, [&recordset, &rows](QIODevice& device) { return writeRecordsetCsv(recordset, device, rows); },
        &error);
}

void printWritten(int rows, const QString& path, Language language) {
    std::printf("%s\n", qPrintable(hostText(kTextRowsWritten, language, {batchCount(rows, language), path})));
    std::fflush(stdout);
}

} // namespace

int BatchRunner::exportSchedule(BatchSession& session, const BatchRequest& request) {
    const Language language = session.settings().language;
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(session.text(kTextScreenNotOpen));
    if (request.outputPath.isEmpty())
        return failure(session.text(kTextNeedsOut));
    using Status = scadlav::ActionOutcome::Status;
    if (request.view == QLatin1String("commitment")) {
        const scadlav::ActionOutcome outcome = jobs->runCommitment(request.article);
        if (outcome.status != Status::Done || !jobs->commitmentRows())
            return failure(session.text(kTextCommitmentUnread,
                                        {quotedValue(request.article), outcome.description.left(200)}));
        return writeRows(*jobs->commitmentRows(), request.outputPath, language);
    }
    if (!applyParameters(*jobs, request, true))
        return kBatchFailed;

    const scadlav::ActionOutcome outcome = jobs->runShow();
    switch (outcome.status) {
    case Status::Done:
        break;
    case Status::Refused:
        return kBatchRefused;
    case Status::NoData:
        return failure(session.text(kTextNothingToExport));
    default:
        return failure(outcome.description.isEmpty()
                           ? session.text(kTextScheduleUnread, {session.settings().errorLogPath()})
                           : session.text(kTextScheduleUnreadBecause, {outcome.description.left(200),
                                                                       session.settings().errorLogPath()}));
    }
    if (request.view == QLatin1String("proposals")) {
        const scadlav::ActionOutcome proposals = jobs->runProposals();
        if (proposals.status == Status::NoData)
            return failure(session.text(kTextNoProposals));
        if (proposals.status != Status::Done || !jobs->proposalRows())
            return failure(session.text(kTextProposalsUnread, {proposals.description.left(200)}));
        return writeRows(*jobs->proposalRows(), request.outputPath, language);
    }
    const QAbstractItemModel* model = jobs->shownRows();
    if (!model)
        return failure(session.text(kTextScheduleUnread, {session.settings().errorLogPath()}));
    // A workbook is the screen's own export (typed cells); anything else is the plain CSV that
    // scripts read.
    if (request.outputPath.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        QString error;
        if (!jobs->exportWorkbook(request.outputPath, error))
            return failure(session.text(kTextCannotWrite, {request.outputPath, error}));
        printWritten(model->rowCount(), request.outputPath, language);
        return kBatchOk;
    }
    return writeRows(*model, request.outputPath, language);
}

int BatchRunner::writeRows(const QAbstractItemModel& model, const QString& path, Language language) {
    QString error;
    int rows = 0;
    if (!writeCsv(model, path, language, error, rows))
        return failure(hostText(kTextCannotWrite, language, {path, error}));
    printWritten(rows, path, language);
    return kBatchOk;
}

} // namespace erphost
