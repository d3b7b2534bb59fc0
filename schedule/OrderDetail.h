#pragma once
// The order detail of the result view: the phases of the schedule row's order line in the
// detail grid, from a per-screen detail table created empty at each "Visualizza" and filled one
// order line at a time, the first time that line is opened. The detail follows the schedule
// grid's current row while it is open; the dates typed in it are kept until the next
// "Visualizza".

#include <QString>
#include <memory>

namespace scadlav {

class FRMPD_KVB_SCADLAV;
class ScreenSession;
struct ScheduleControls;
namespace db {
class Recordset;
class RecordsetModel;
} // namespace db

class OrderDetail {
public:
    explicit OrderDetail(FRMPD_KVB_SCADLAV& screen);
    ~OrderDetail();

    // Creates the detail table afresh (dropping the one of the last "Visualizza") and binds the
    // detail grid to its empty record set. A failing statement throws.
    void PreparaDettaglio();
    // Opens the detail on the current schedule row's order line, or closes it.
    void CMD_DETT_Click();
    // The schedule grid stands on another row: while the detail is open, its order line is
    // shown. Failures go to the error log.
    void GRID_ORD_RowChanged();
    // Hides the detail; its table and the dates typed in it stay.
    void ChiudiDettaglio();
    // Dates can be typed in the detail only in modification mode.
    void ImpostaModalita(bool modifica);

    bool isOpen() const { return m_open; }
    db::Recordset* detailRecordset() const { return m_rsDettaglio.get(); }
    const QString& detailTableName() const { return m_tabellaDettaglio; }
    // The filter that shows one order line of the detail: number and line of the schedule row.
    static QString FiltroRiga(const QString& numreg, const QString& line);
    // The statement that copies every phase of an order line from the schedule into the table.
    static QString InserimentoRiga(const QString& table, const QString& numreg, const QString& line);
    void release();

private:
    ScheduleControls& ui() const;
    ScreenSession& session() const;
    // Loads the order line of the current schedule row (once per line) and shows it, standing
    // on the first sub-phase of the row's phase. False when there is no current schedule row.
    bool CaricaRigaOrdine();

    FRMPD_KVB_SCADLAV& m_screen;
    std::unique_ptr<db::Recordset> m_rsDettaglio;
    std::unique_ptr<db::RecordsetModel> m_modelDett;
    QString m_tabellaDettaglio;
    bool m_open = false;
};

} // namespace scadlav
