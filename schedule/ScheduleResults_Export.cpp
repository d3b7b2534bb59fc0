// Export of a grid of the screen (the schedule, an order's phases, the customer orders) as the
// planner sees it: the visible columns in their current order, the rows shown (after the quick
// search) in the grid's order, to an Excel workbook with typed cells or to a CSV file in the
// session's conventions.
#include "schedule/ScheduleResults.h"

#include "module/services/IMessageService.h"
#include "module/value/CsvField.h"
#include "module/value/SafeFile.h"
#include "module/value/ScopedPlainLocale.h"
#include "platform/controls/DateText.h"
#include "platform/controls/Grid.h"
#include "platform/controls/NumberPicture.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHash>
#include <QStringConverter>
#include <QTextStream>
#include <xlsxwriter.h>

namespace scadlav {

namespace {

using erpctl::ColumnKind;
using erpctl::GridColumn;

// The columns to write: visible, in the order shown; the grid's own mark column is a control,
// not data.
QList<const GridColumn*> shownColumns(const erpctl::Grid& grid) {
    QList<const GridColumn*> columns;
    for (const QString& field : grid.visualFields()) {
        const GridColumn* column = grid.columnAt(grid.columnIndex(field));
        if (column && column->visible && !column->internal)
            columns << column;
    }
    return columns;
}

QDateTime dateOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().startOfDay(Qt::UTC);
    if (const auto date = erpctl::parseDateText(value.toString()))
        return date->startOfDay(Qt::UTC);
    return {};
}

// A cell as a CSV file for people carries it: numbers without grouping and with the locale's
// decimal separator (so a spreadsheet of that language reads them as numbers), dates day
// first, list codes as their captions, icons as their codes.
QString csvCell(const erpctl::Grid& grid, int row, const GridColumn& column, const QLocale& locale) {
    const QVariant value = grid.value(row, column.field);
    if (!value.isValid() || value.isNull())
        return {};
    switch (column.kind) {
    case ColumnKind::Number:
    case ColumnKind::Image:
    case ColumnKind::CheckBox:
        return erpctl::formatPlainNumber(value, locale);
    case ColumnKind::Date: {
        const QDateTime when = dateOf(value);
        if (!when.isValid())
            return grid.cellText(row, column.field);
        return when.time() == QTime(0, 0) ? erpctl::formatDateText(when.date())
                                          : when.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    }
    default:
        return grid.cellText(row, column.field);
    }
}

// The sheet's name: the screen's caption without the characters Excel refuses, at most 31.
QByteArray sheetName(QString caption) {
    static const QString refused = QStringLiteral("[]:*?/\\");
    for (const QChar c : refused)
        caption.remove(c);
    caption = caption.trimmed().left(31);
    return caption.isEmpty() ? QByteArrayLiteral("Foglio1") : caption.toUtf8();
}

// Writes the workbook with libxlsxwriter, one row after the other (its constant-memory mode
// keeps 100 000 rows small): bold frozen header with an autofilter, numbers as numbers in the
// grid's picture, dates as dates, widths fitted to the captions and the first rows.
bool writeWorkbook(const erpctl::Grid& grid, const QString& caption, const QString& fileName,
                   QString* failure) {
    const ScopedPlainLocale plain; // the workbook's XML writes numbers with '.'
    const QByteArray name = QFile::encodeName(fileName);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(name.constData(), &options);
    if (!workbook) {
        *failure = QStringLiteral("workbook");
        return false;
    }
    const QByteArray sheetCaption = sheetName(caption);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, sheetCaption.constData());
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_bottom(header, LXW_BORDER_THIN);
    lxw_format* date = workbook_add_format(workbook);
    format_set_num_format(date, "dd/mm/yyyy");
    lxw_format* dateTime = workbook_add_format(workbook);
    format_set_num_format(dateTime, "dd/mm/yyyy hh:mm");
    // The grid's pictures ("###,###,###,##0.00", "#####") are Excel number formats as written.
    QHash<QString, lxw_format*> pictures;
    const QList<const GridColumn*> columns = shownColumns(grid);
    for (const GridColumn* column : columns) {
        if (column->kind == ColumnKind::Number && !column->format.isEmpty() &&
            !pictures.contains(column->format)) {
            lxw_format* format = workbook_add_format(workbook);
            format_set_num_format(format, column->format.toUtf8().constData());
            pictures.insert(column->format, format);
        }
    }

    const int rows = grid.shownRowCount();
    constexpr int kSampleRows = 500;
    for (int c = 0; c < columns.size(); ++c) {
        qsizetype chars = columns[c]->caption.size() + 3; // the filter's arrow
        if (columns[c]->kind == ColumnKind::Date)
            chars = std::max<qsizetype>(chars, 11);
        for (int i = 0; i < std::min(rows, kSampleRows); ++i)
            chars = std::max(chars, grid.cellText(grid.shownRow(i), columns[c]->field).size() + 1);
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), double(std::min<qsizetype>(chars, 60)),
                             nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    if (!columns.isEmpty())
        worksheet_autofilter(sheet, 0, 0, lxw_row_t(rows), lxw_col_t(columns.size() - 1));

    for (int c = 0; c < columns.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), columns[c]->caption.toUtf8().constData(), header);
    for (int i = 0; i < rows; ++i) {
        const int row = grid.shownRow(i);
        const lxw_row_t line = lxw_row_t(i + 1);
        for (int c = 0; c < columns.size(); ++c) {
            const GridColumn& column = *columns[c];
            const lxw_col_t cell = lxw_col_t(c);
            const QVariant value = grid.value(row, column.field);
            if (!value.isValid() || value.isNull())
                continue;
            bool numeric = false;
            const double number = value.toDouble(&numeric);
            switch (column.kind) {
            case ColumnKind::Number:
            case ColumnKind::Image:
            case ColumnKind::CheckBox:
                if (numeric) {
                    worksheet_write_number(sheet, line, cell, number, pictures.value(column.format));
                    continue;
                }
                break;
            case ColumnKind::Date:
                if (const QDateTime when = dateOf(value); when.isValid()) {
                    const QTime t = when.time();
                    lxw_datetime stamp{when.date().year(), when.date().month(), when.date().day(),
                                       t.hour(),           t.minute(),          double(t.second())};
                    worksheet_write_datetime(sheet, line, cell, &stamp, t == QTime(0, 0) ? date : dateTime);
                    continue;
                }
                break;
            default:
                break;
            }
            const QString text = grid.cellText(row, column.field);
            if (!text.isEmpty())
                worksheet_write_string(sheet, line, cell, text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error result = workbook_close(workbook);
    if (result != LXW_NO_ERROR) {
        *failure = QString::fromUtf8(lxw_strerror(result));
        return false;
    }
    return true;
}

} // namespace

bool ScheduleResults::EsportaGrigliaCsv(const QString& path, QString& error, erpctl::Grid* shown) {
    erpctl::Grid& grid = shown ? *shown : *ui().GRID_ORD;
    grid.fetchAllRows(); // every row, not those read so far
    const QLocale locale = grid.locale();
    // Where the comma is the decimal separator, spreadsheets split fields at semicolons.
    const QChar separator = locale.decimalPoint() == QLatin1Char(',') ? QLatin1Char(';') : QLatin1Char(',');
    return writeFileSafely(
        path,
        [&grid, &locale, separator](QIODevice& device) {
            QTextStream out(&device);
            out.setEncoding(QStringConverter::Utf8);
            out.setGenerateByteOrderMark(true);
            const QList<const GridColumn*> columns = shownColumns(grid);
            QStringList line;
            for (const GridColumn* column : columns)
                line << column->caption;
            out << csvLine(line, separator);
            const int rows = grid.shownRowCount();
            for (int i = 0; i < rows && out.status() == QTextStream::Ok; ++i) {
                line.clear();
                for (const GridColumn* column : columns)
                    line << csvCell(grid, grid.shownRow(i), *column, locale);
                out << csvLine(line, separator);
            }
            out.flush();
            return out.status() == QTextStream::Ok;
        },
        &error);
}

bool ScheduleResults::EsportaGrigliaExcel(const QString& path, QString& error, erpctl::Grid* shown) {
    erpctl::Grid& grid = shown ? *shown : *ui().GRID_ORD;
    grid.fetchAllRows(); // every row, not those read so far
    const QString caption = m_screen.windowTitle();
    // The workbook is written under a temporary name and replaces the file only when complete.
    return writeFileSafely(
        path,
        [&grid, &caption](const QString& temporaryPath, QString* failure) {
            return writeWorkbook(grid, caption, temporaryPath, failure);
        },
        &error);
}

QString ScheduleResults::PercorsoEsportazione(const QString& path, bool excel) {
    const QString extension = excel ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    if (path.isEmpty() || path.endsWith(extension, Qt::CaseInsensitive))
        return path;
    return path + extension;
}

void ScheduleResults::EsportaGriglia(erpctl::Grid* shown) {
    erpctl::Grid* grid = shown ? shown : ui().GRID_ORD;
    // The file type chosen in the dialog decides the format; the name gets its extension.
    const QStringList filters =
        session()
            .TraduzioneTesto(QStringLiteral("Cartella di lavoro Excel (*.xlsx);;File CSV (*.csv)"), 91460)
            .split(QStringLiteral(";;"));
    QString chosen = filters.value(0);
    const QString picked = QFileDialog::getSaveFileName(
        &m_screen, session().TraduzioneTesto(QStringLiteral("Esporta griglia"), 90405), QString(),
        filters.join(QStringLiteral(";;")), &chosen);
    if (picked.isEmpty())
        return;
    const bool excel = chosen.contains(QStringLiteral("*.xlsx")) ||
                       (!chosen.contains(QStringLiteral("*.csv")) &&
                        picked.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive));
    const QString path = PercorsoEsportazione(picked, excel);
    QString error;
    const bool written =
        excel ? EsportaGrigliaExcel(path, error, grid) : EsportaGrigliaCsv(path, error, grid);
    if (!written) {
        session().QRX_MSGBOX(QStringLiteral("Impossibile scrivere il file %1:\n%2"), 90408,
                             msgbox::Exclamation, m_screen.windowTitle(), Value(QList<Value>{path, error}));
        return;
    }
    session().QRX_MSGBOX(QStringLiteral("Esportazione completata: %1 righe scritte in %2"), 90407,
                         msgbox::Information, m_screen.windowTitle(),
                         Value(QList<Value>{grid->shownRowCount(), path}));
}

} // namespace scadlav
