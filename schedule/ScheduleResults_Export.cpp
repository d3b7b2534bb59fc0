// Export of the schedule grid as the planner sees it: the visible columns in their current
// order, one line per row in the grid's order, to CSV or to an Excel workbook.
#include "schedule/ScheduleResults.h"

#include "module/services/IMessageService.h"
#include "module/value/CsvField.h"
#include "module/value/SafeFile.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QFile>
#include <QFileDialog>
#include <QStringConverter>
#include <QTextStream>
#include <xlsxwriter.h>

namespace scadlav {

namespace {

// The columns to write, and how each cell reads. Icons hold the classification code: the
// code is written, since a file cannot carry the picture.
struct ExportColumn {
    QString field;
    QString caption;
    bool raw = false;
};

QList<ExportColumn> shownColumns(const erpctl::Grid& grid) {
    QList<ExportColumn> columns;
    for (const QString& field : grid.visualFields()) {
        if (!grid.isColumnVisible(field))
            continue;
        const erpctl::GridColumn* column = grid.columnAt(grid.columnIndex(field));
        // The grid's own mark column is a control, not data.
        if (!column || column->internal)
            continue;
        const bool raw =
            column->kind == erpctl::ColumnKind::Image || column->kind == erpctl::ColumnKind::CheckBox;
        columns << ExportColumn{field, column->caption, raw};
    }
    return columns;
}

QString cell(const erpctl::Grid& grid, int row, const ExportColumn& column) {
    if (!column.raw)
        return grid.cellText(row, column.field);
    const QVariant value = grid.value(row, column.field);
    return value.isNull() ? QString() : value.toString();
}

} // namespace

bool ScheduleResults::EsportaGrigliaCsv(const QString& path, QString& error) {
    const erpctl::Grid& grid = *ui().GRID_ORD;
    return writeFileSafely(
        path,
        [&grid](QIODevice& device) {
            QTextStream out(&device);
            out.setEncoding(QStringConverter::Utf8);
            out.setGenerateByteOrderMark(true);
            const QList<ExportColumn> columns = shownColumns(grid);
            QStringList line;
            for (const ExportColumn& column : columns)
                line << column.caption;
            out << csvLine(line);
            const int rows = grid.rowCount();
            for (int row = 0; row < rows && out.status() == QTextStream::Ok; ++row) {
                line.clear();
                for (const ExportColumn& column : columns)
                    line << cell(grid, row, column);
                out << csvLine(line);
            }
            out.flush();
            return out.status() == QTextStream::Ok;
        },
        &error);
}

bool ScheduleResults::EsportaGrigliaExcel(const QString& path, QString& error) {
    const erpctl::Grid& grid = *ui().GRID_ORD;
    // The workbook is written under a temporary name and replaces the file only when complete.
    return writeFileSafely(
        path,
        [&grid](const QString& temporaryPath, QString* failure) {
            const QByteArray fileName = QFile::encodeName(temporaryPath);
            lxw_workbook* workbook = workbook_new(fileName.constData());
            if (!workbook) {
                *failure = QStringLiteral("workbook");
                return false;
            }
            lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
            lxw_format* header = workbook_add_format(workbook);
            format_set_bold(header);

            const QList<ExportColumn> columns = shownColumns(grid);
            for (int c = 0; c < columns.size(); ++c)
                worksheet_write_string(sheet, 0, lxw_col_t(c), columns[c].caption.toUtf8().constData(),
                                       header);
            const int rows = grid.rowCount();
            for (int row = 0; row < rows; ++row) {
                for (int c = 0; c < columns.size(); ++c) {
                    const QString text = cell(grid, row, columns[c]);
                    if (!text.isEmpty())
                        worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(c),
                                               text.toUtf8().constData(), nullptr);
                }
            }
            const lxw_error result = workbook_close(workbook);
            if (result != LXW_NO_ERROR) {
                *failure = QString::fromUtf8(lxw_strerror(result));
                return false;
            }
            return true;
        },
        &error);
}

void ScheduleResults::EsportaGriglia() {
    const QString path = QFileDialog::getSaveFileName(
        &m_screen, session().TraduzioneTesto(QStringLiteral("Esporta griglia"), 90405), QString(),
        session().TraduzioneTesto(QStringLiteral("File CSV (*.csv);;Cartella Excel (*.xlsx)"), 90406));
    if (path.isEmpty())
        return;
    QString error;
    const bool excel = path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
    const bool written = excel ? EsportaGrigliaExcel(path, error) : EsportaGrigliaCsv(path, error);
    if (!written) {
        session().QRX_MSGBOX(QStringLiteral("Impossibile scrivere il file %1:\n%2"), 90408,
                             msgbox::Exclamation, m_screen.windowTitle(), Value(QList<Value>{path, error}));
        return;
    }
    session().QRX_MSGBOX(QStringLiteral("Esportazione completata: %1 righe scritte in %2"), 90407,
                         msgbox::Information, m_screen.windowTitle(),
                         Value(QList<Value>{ui().GRID_ORD->rowCount(), path}));
}

} // namespace scadlav
