// The batch job "export": the schedule shown in view mode with the parameters, filters and sort
// order given, every column of its rows (classification codes included) written as CSV.
#include "module/value/CsvField.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QPushButton>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>
#include <cstdio>

namespace erphost {

namespace {

// Text IDs of the messages that end the job.
constexpr int kRebuildRunning = 78507;
constexpr int kNoStateTicked = 51499;

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    const int columns = model.columnCount();
    QStringList line;
    for (int c = 0; c < columns; ++c)
        line << scadlav::csvField(model.headerData(c, Qt::Horizontal).toString());
    out << line.join(QLatin1Char(',')) << "\r\n";
    rows = model.rowCount();
    for (int r = 0; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < columns; ++c)
            line << scadlav::csvField(cellText(model, r, c));
        out << line.join(QLatin1Char(',')) << "\r\n";
    }
    out.flush();
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

int BatchRunner::exportSchedule(BatchSession& session, const BatchRequest& request) {
    auto* minDate = session.control<erpctl::DateField>(QStringLiteral("TXT_DATAMIN"));
    auto* phaseType = session.control<erpctl::CodeCombo>(QStringLiteral("CBO_TIPOLAV"));
    auto* states = session.control<erpctl::CheckList>(QStringLiteral("lstStati"));
    auto* mode = session.control<erpctl::FlagCheckBox>(QStringLiteral("CHK_MODIFICA"));
    auto* sort = session.control<erpctl::CodeCombo>(QStringLiteral("CBO_ORD"));
    auto* panel = session.control<erpctl::EnhancedQuery>(QStringLiteral("EnhancedQuery"));
    auto* button = session.control<QPushButton>(QStringLiteral("CMD_ELABORA"));
    auto* grid = session.control<erpctl::Grid>(QStringLiteral("GRID_ORD"));
    if (!minDate || !phaseType || !states || !mode || !sort || !panel || !button || !grid)
        return failure(QStringLiteral("the schedule screen lacks its query parameters or grid"));
    if (request.outputPath.isEmpty())
        return failure(QStringLiteral("the export needs --out FILE"));

    if (request.minDate.isValid())
        minDate->setDate(request.minDate);
    if (!request.phaseType.isEmpty() && !phaseType->setText(request.phaseType))
        return failure(QStringLiteral("the schedule screen does not offer that phase type"));
    if (request.states) {
        for (int state = 0; state <= 4; ++state)
            states->setChecked(QStringLiteral("K%1").arg(state), request.states->contains(state));
    }
    if (!request.sortCode.isEmpty() && !sort->setText(request.sortCode))
        return failure(QStringLiteral("the schedule screen does not offer that sort order"));
    // View mode: an export never holds the schedule against a planner who modifies it.
    mode->setValueText(QStringLiteral("0"));

    for (const BatchFilter& filter : request.filters) {
        if (panel->rowOf(filter.field) < 0)
            return failure(
                QStringLiteral("option --filter: the filter panel has no field %1").arg(filter.field));
        panel->setFromValue(filter.field, filter.from);
        panel->setToValue(filter.field, filter.to);
    }
    if (!panel->isValid())
        return failure(QStringLiteral("option --filter: ") +
                       panel->validationErrors().join(QStringLiteral("; ")));

    if (!button->isEnabled())
        return failure(QStringLiteral("there is no schedule to export: run erp-host --batch rebuild first"));
    button->click();

    const BatchMessageService& messages = session.messages();
    if (messages.wasShown(kRebuildRunning))
        return kBatchRefused;
    if (messages.wasShown(kNoStateTicked))
        return failure(QStringLiteral("no order state to export"));
    const QAbstractItemModel* model = grid->boundModel();
    if (!model || grid->isHidden())
        return failure(
            QStringLiteral("the schedule could not be read; see the messages above and the error log ") +
            session.settings().errorLogPath());

    QString error;
    int rows = 0;
    if (!writeCsv(*model, request.outputPath, error, rows))
        return failure(QStringLiteral("cannot write %1: %2").arg(request.outputPath, error));
    std::printf("export: %d rows written to %s\n", rows, qPrintable(request.outputPath));
    std::fflush(stdout);
    return kBatchOk;
}

} // namespace erphost
