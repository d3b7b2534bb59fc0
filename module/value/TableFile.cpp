#include "module/value/TableFile.h"

#include "module/value/CsvField.h"
#include "module/value/SafeFile.h"
#include "module/value/ScopedPlainLocale.h"

#include <QFile>
#include <QStringConverter>
#include <QTextStream>
#include <xlsxwriter.h>

namespace scadlav {

bool writeCsvTable(const QString& path, const TextTable& table, QString* error) {
    return writeFileSafely(
        path,
        [&table](QIODevice& device) {
            QTextStream out(&device);
            out.setEncoding(QStringConverter::Utf8);
            out.setGenerateByteOrderMark(true);
            out << csvLine(table.headers);
            const int columns = int(table.headers.size());
            QStringList line;
            for (int row = 0; row < table.rowCount && out.status() == QTextStream::Ok; ++row) {
                line.clear();
                for (int c = 0; c < columns; ++c)
                    line << table.cell(row, c);
                out << csvLine(line);
            }
            out.flush();
            return out.status() == QTextStream::Ok;
        },
        error);
}

bool writeXlsxTable(const QString& path, const TextTable& table, QString* error) {
    // The library opens the file itself: it writes a temporary name that replaces the file
    // only when the workbook closed well.
    return writeFileSafely(
        path,
        [&table](const QString& temporaryPath, QString* failure) {
            const ScopedPlainLocale plain; // the workbook's XML writes numbers with '.'
            const QByteArray fileName = QFile::encodeName(temporaryPath);
            lxw_workbook* workbook = workbook_new(fileName.constData());
            if (!workbook) {
                *failure = QStringLiteral("workbook");
                return false;
            }
            lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
            lxw_format* header = workbook_add_format(workbook);
            format_set_bold(header);
            const int columns = int(table.headers.size());
            for (int c = 0; c < columns; ++c)
                worksheet_write_string(sheet, 0, lxw_col_t(c), table.headers[c].toUtf8().constData(), header);
            for (int row = 0; row < table.rowCount; ++row) {
                for (int c = 0; c < columns; ++c) {
                    const QString text = table.cell(row, c);
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
        error);
}

bool writeTableFile(const QString& path, const TextTable& table, QString* error) {
    if (path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        return writeXlsxTable(path, table, error);
    return writeCsvTable(path, table, error);
}

} // namespace scadlav
