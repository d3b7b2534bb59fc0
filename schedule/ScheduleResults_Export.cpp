// Export of the schedule grid as the planner sees it: the visible columns in their current
// order, one line per row in the grid's order, to CSV or to an Excel workbook.
#include "schedule/ScheduleResults.h"

#include "module/services/IMessageService.h"
#include "module/value/TableFile.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridTable.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QFileDialog>

namespace scadlav {

namespace {

bool writeGrid(const erpctl::Grid& grid, const QString& path, bool excel, QString& error) {
    const QList<erpctl::ShownColumn> columns = erpctl::shownColumns(grid);
    TextTable table;
    for (const erpctl::ShownColumn& column : columns)
        table.headers << column.caption;
    table.rowCount = grid.rowCount();
    table.cell = [&grid, &columns](int row, int c) { return erpctl::shownCell(grid, row, columns[c]); };
    return excel ? writeXlsxTable(path, table, &error) : writeCsvTable(path, table, &error);
}

} // namespace

bool ScheduleResults::EsportaGrigliaCsv(const QString& path, QString& error) {
    return writeGrid(*ui().GRID_ORD, path, false, error);
}

bool ScheduleResults::EsportaGrigliaExcel(const QString& path, QString& error) {
    return writeGrid(*ui().GRID_ORD, path, true, error);
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
