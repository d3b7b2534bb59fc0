#pragma once
// A table of texts (a header line and rows of cells) written to a file as CSV or as an Excel
// workbook, safely: the old file stays until the new one is complete.

#include <QString>
#include <QStringList>
#include <functional>

namespace scadlav {

struct TextTable {
    QStringList headers;
    int rowCount = 0;
    std::function<QString(int row, int column)> cell;
};

// UTF-8 with a byte-order mark, so that spreadsheet programs read accented letters right.
bool writeCsvTable(const QString& path, const TextTable& table, QString* error);
// One worksheet, the header line in bold; empty cells are left out.
bool writeXlsxTable(const QString& path, const TextTable& table, QString* error);
// By the file's extension: ".xlsx" (any case) writes a workbook, anything else CSV.
bool writeTableFile(const QString& path, const TextTable& table, QString* error);

} // namespace scadlav
