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

#include <QAbstractItemModel>
#include <cstdio>

namespace erphost {

namespace {

int failure(const QString& reason) {
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(reason));
    return kBatchFailed;
}

// The CSV of the rows a view shows: every view is a model over a record set, whose stored
// cells are written as they are.
bool writeCsv(const QAbstractItemModel& model, const QString& path, QString& error, int& rows) {
    const auto* view = qobject_cast<const scadlav::db::RecordsetModel*>(&model);
    if (!view || !view->recordset()) {
        error = QStringLiteral("the rows shown are not a record set");
        return false;
    }
    const scadlav::db::Recordset& recordset = *view->recordset();
    // Counting reads every row still to come; a failure there closes the record set.
    if (recordset.recordCount() < 0) {
        error = QStringLiteral("the rows could not be read: ") + recordset.lastErrorText();
        return false;
    }
    return scadlav::writeFileSafely(
        path, [&recordset, &rows](QIODevice& device) { return writeRecordsetCsv(recordset, device, rows); },
        &error);
}

} // namespace

int BatchRunner::exportSchedule(BatchSession& session, const BatchRequest& request) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(QStringLiteral("the schedule screen is not open"));
    if (request.outputPath.isEmpty())
        return failure(QStringLiteral("the export needs --out FILE"));
    using Status = scadlav::ActionOutcome::Status;
    if (request.view == QLatin1String("commitment")) {
        const scadlav::ActionOutcome outcome = jobs->runCommitment(request.article);
        if (outcome.status != Status::Done || !jobs->commitmentRows())
            return failure(QStringLiteral("the open customer orders of article '%1' could not be read: %2")
                               .arg(quotedValue(request.article), outcome.description.left(200)));
        return writeRows(*jobs->commitmentRows(), request.outputPath);
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
        return failure(QStringLiteral("there is no schedule to export: run erp-host --batch rebuild first"));
    default:
        return failure(QStringLiteral("the schedule could not be read") +
                       (outcome.description.isEmpty()
                            ? QString()
                            : QStringLiteral(": ") + outcome.description.left(200)) +
                       QStringLiteral("; see the error log ") + session.settings().errorLogPath());
    }
    if (request.view == QLatin1String("proposals")) {
        const scadlav::ActionOutcome proposals = jobs->runProposals();
        if (proposals.status == Status::NoData)
            return failure(QStringLiteral("no phase has stock to send within the limits: nothing to export"));
        if (proposals.status != Status::Done || !jobs->proposalRows())
            return failure(QStringLiteral("the proposals could not be read: ") +
                           proposals.description.left(200));
        return writeRows(*jobs->proposalRows(), request.outputPath);
    }
    const QAbstractItemModel* model = jobs->shownRows();
    if (!model)
        return failure(QStringLiteral("the schedule could not be read; see the error log ") +
                       session.settings().errorLogPath());
    // A workbook is the screen's own export (typed cells); anything else is the plain CSV that
    // scripts read.
    if (request.outputPath.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) {
        QString error;
        if (!jobs->exportWorkbook(request.outputPath, error))
            return failure(QStringLiteral("cannot write %1: %2").arg(request.outputPath, error));
        std::printf("export: %d rows written to %s\n", model->rowCount(), qPrintable(request.outputPath));
        std::fflush(stdout);
        return kBatchOk;
    }
    return writeRows(*model, request.outputPath);
}

int BatchRunner::writeRows(const QAbstractItemModel& model, const QString& path) {
    QString error;
    int rows = 0;
    if (!writeCsv(model, path, error, rows))
        return failure(QStringLiteral("cannot write %1: %2").arg(path, error));
    std::printf("export: %d rows written to %s\n", rows, qPrintable(path));
    std::fflush(stdout);
    return kBatchOk;
}

} // namespace erphost
