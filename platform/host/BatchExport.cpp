// The batch job "export": the schedule shown in view mode with the parameters, filters and sort
// order given. A .xlsx file gets the screen's typed workbook of the grid's columns; any other
// name gets every column of the rows (classification codes included) as CSV for scripts:
// commas, decimal points, ISO dates, whatever the session's language.
#include "module/value/CsvField.h"
#include "module/value/SafeFile.h"
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QStringConverter>
#include <QTextStream>
#include <cstdio>

namespace erphost {

namespace {

int failure(const QString& reason) {
    std::fprintf(stderr, "erp-host: %s\n", qPrintable(reason));
    return kBatchFailed;
}

// A cell as written: Null empty, dates as YYYY-MM-DD HH:MM:SS, everything else as its text
// (decimals exact, as the database holds them).
QString cellText(const QAbstractItemModel& model, int row, int column) {
    const QModelIndex index = model.index(row, column);
    const QVariant raw = model.data(index, Qt::EditRole);
    if (!raw.isValid() || raw.isNull())
        return QString();
    if (raw.metaType().id() == QMetaType::QDateTime)
        return raw.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return model.data(index, Qt::DisplayRole).toString();
}

bool writeCsv(const QAbstractItemModel& model, const QString& path, QString& error, int& rows) {
    rows = model.rowCount();
    return scadlav::writeFileSafely(
        path,
        [&model, rows](QIODevice& device) {
            QTextStream out(&device);
            out.setEncoding(QStringConverter::Utf8);
            const int columns = model.columnCount();
            QStringList line;
            for (int c = 0; c < columns; ++c)
                line << model.headerData(c, Qt::Horizontal).toString();
            out << scadlav::csvLine(line);
            for (int r = 0; r < rows && out.status() == QTextStream::Ok; ++r) {
                line.clear();
                for (int c = 0; c < columns; ++c)
                    line << cellText(model, r, c);
                out << scadlav::csvLine(line);
            }
            out.flush();
            return out.status() == QTextStream::Ok;
        },
        &error);
}

} // namespace

int BatchRunner::exportSchedule(BatchSession& session, const BatchRequest& request) {
    scadlav::IScheduleJobs* jobs = session.jobs();
    if (!jobs)
        return failure(QStringLiteral("the schedule screen is not open"));
    if (request.outputPath.isEmpty())
        return failure(QStringLiteral("the export needs --out FILE"));
    if (!applyParameters(*jobs, request, true))
        return kBatchFailed;

    const scadlav::ActionOutcome outcome = jobs->runShow();
    using Status = scadlav::ActionOutcome::Status;
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
    const QAbstractItemModel* model = jobs->shownRows();
    if (!model)
        return failure(QStringLiteral("the schedule could not be read; see the error log ") +
                       session.settings().errorLogPath());

    QString error;
    int rows = model->rowCount();
    // A workbook is the screen's own export (typed cells); anything else is the plain CSV that
    // scripts read.
    const bool workbook = request.outputPath.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
    const bool written = workbook ? jobs->exportWorkbook(request.outputPath, error)
                                  : writeCsv(*model, request.outputPath, error, rows);
    if (!written)
        return failure(QStringLiteral("cannot write %1: %2").arg(request.outputPath, error));
    std::printf("export: %d rows written to %s\n", rows, qPrintable(request.outputPath));
    std::fflush(stdout);
    return kBatchOk;
}

} // namespace erphost
