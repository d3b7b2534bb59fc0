#pragma once
// The result view of the schedule screen: "Visualizza" and "Parametri", the schedule read with
// its classification codes into the schedule grid, the re-sort, the function menu with the checks before the
// proposals and reminder screens, the three grids' columns and the user's layouts, and the export of the grid
// as shown.

#include "module/services/IScheduleJobs.h"
#include "module/services/RuntimeError.h"
#include "module/value/Decimal.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace erpctl {
class Grid;
class GridBar;
struct ListItem;
} // namespace erpctl

class QAbstractItemModel;

namespace scadlav {

class FRMPD_KVB_SCADLAV;
class IStockConsole;
class ScreenSession;
struct ScheduleControls;
namespace db {
class Recordset;
class RecordsetModel;
} // namespace db

class ScheduleResults {
public:
    explicit ScheduleResults(FRMPD_KVB_SCADLAV& screen);
    ~ScheduleResults();

    // ---- Show and return (ScheduleResults.cpp) ---------------------------------------------------
    // "Visualizza" in the parameter view, "Parametri" in the result view.
    void CMD_ELABORA_ButtonClick();
    void CBO_ORD_Click();
    // The schedule grid stands on `row`: the schedule record set moves there too.
    void GRID_ORD_RowChanged(int row);
    void CMD_FUNZ_ItemClick(const QString& key);
    void ApriProposte();
    void ApriSolleciti();
    // "Solleciti" pressed by a job: the reminder screen is driven by `job` instead of the user.
    ActionOutcome EseguiSolleciti(const ReminderJob& job);
    // "Storico solleciti": the reminders of the current row's supplier.
    void MostraStoricoSolleciti();
    // ---- Customer commitment and stock console (ScheduleResults_Documents.cpp) -------------------
    // The customer-commitment and stock views of the function menu, on the current row's article.
    void MostraImpegnatoCliente();
    void InvocaConsoleProgressivi();
    // The customer-commitment view on `article`: the open customer order lines asking for it in
    // GRID_CLI, with their total. A failing statement throws.
    void ApriImpegnatoCliente(const QString& article);
    db::Recordset* commitmentRows() const { return m_rsClienti.get(); }
    const QAbstractItemModel* commitmentModel() const;
    const Decimal& commitmentTotal() const { return m_totaleClienti; }
    // The host's stock console, once the stock view has created it.
    IStockConsole* stockConsole() const { return m_console.get(); }
    // The proposals' rows as the proposals screen shows them, without opening it (batch
    // export): Done with the rows in proposalModel(), NoData after the message when none.
    ActionOutcome PreparaProposte();
    const QAbstractItemModel* proposalModel() const;
    // The access registry in view or modification mode, as CHK_MODIFICA reads (switched to view
    // mode when the user accepts that). False when the registry refuses; failing statements throw.
    bool RegistraVisualizzazione();
    // How the last "Visualizza" ended.
    const ActionOutcome& lastOutcome() const { return m_outcome; }

    db::Recordset* scheduleRecordset() const { return m_rsScadlav.get(); }
    // Reads the schedule rows still to come (they arrive in slices after "Visualizza"); false
    // when reading failed, and then the screen is back in the parameter view with the reason.
    bool CompletaLettura();
    // The rows handed to the proposals and reminder screens by the last ApriProposte and
    // ApriSolleciti that found rows.
    db::Recordset* proposalRows() const { return m_righeProposte.get(); }
    db::Recordset* reminderRows() const { return m_righeSolleciti.get(); }
    // Lets go of the schedule record set, unbinding the grid first so that its model never
    // reads a released record set.
    void RilasciaSchedulazione();
    // Unbinds the grids and lets go of every record set (the screen's unload).
    void release();

    // ---- Grids (ScheduleResults_Grids.cpp) --------------------------------------------------------
    void ImpostaGrigliaOrdini();
    void ImpostaGrigliaDettaglio();
    void ImpostaGrigliaClienti();

    // ---- Export (ScheduleResults_Export.cpp) -------------------------------------------------------
    // A grid as shown (the schedule grid when none is named): visible columns in their current
    // order, the rows shown in the grid's order. Excel gets typed cells; CSV follows the
    // session's number conventions. False with the reason.
    bool EsportaGrigliaCsv(const QString& path, QString& error, erpctl::Grid* grid = nullptr);
    bool EsportaGrigliaExcel(const QString& path, QString& error, erpctl::Grid* grid = nullptr);
    // Asks the user for a file and a file type and exports the grid to it.
    void EsportaGriglia(erpctl::Grid* grid = nullptr);
    // The file name with the extension of the type chosen (kept when it has it already).
    static QString PercorsoEsportazione(const QString& path, bool excel);

private:
    void connectExport(erpctl::Grid* g, erpctl::GridBar* bar);
    ScheduleControls& ui() const;
    ScreenSession& session() const;
    void SequenzaVisualizza();
    void SequenzaParametri();
    void ImpostaModalita(bool modifica);
    // Opens the schedule record set on `statement` and binds GRID_ORD to it; throws on failure.
    void ApriSchedulazione(const QString& statement);
    // Binds GRID_ORD to the schedule record set and reads the rest of its rows in the background.
    void MostraSchedulazione();
    // ---- Re-sort without reading again (ScheduleResults_Resort.cpp) ----------------------------
    // What the rows shown were read under: the selection, the database's data version and the
    // server's clock, taken before the show or re-sort statement runs.
    void RicordaLettura();
    // The rows in hand put in the order of the re-sort `statement`, when running it would
    // return the same rows; false when it must run.
    bool RiordinaInMemoria(const QString& statement);
    // dbo.QRX_GETDATE() in wall-clock milliseconds; nullopt when the server does not answer.
    std::optional<std::int64_t> OraServer() const;
    // The rows read so far on the status bar, and its end.
    void MostraLettura(int rows, bool finita);
    void LetturaFallita();
    // Where the proposals and reminder screens are opened with their rows.
    void ApriSchermataProposte(std::unique_ptr<db::Recordset> righe);
    // The clone of the schedule rows filtered to the proposals; nullptr after the message
    // when there are none.
    std::unique_ptr<db::Recordset> RigheProposte();
    void ApriSchermataSolleciti(std::unique_ptr<db::Recordset> righe);

    QList<erpctl::ListItem> ListaStatiOrdine();
    QList<erpctl::ListItem> ListaStatiFase();
    QList<erpctl::ListItem> ListaDirezioni();
    void IniziaLayoutGriglia(erpctl::Grid* grid, const QString& keyField);
    void ApplicaLayoutUtente(erpctl::Grid* grid);
    void SalvaLayoutGriglia(erpctl::Grid* grid);
    void MostraErroreGriglia(const RuntimeError& error);

    FRMPD_KVB_SCADLAV& m_screen;
    std::unique_ptr<db::Recordset> m_rsScadlav;
    std::unique_ptr<db::RecordsetModel> m_modelOrd;
    std::unique_ptr<db::Recordset> m_righeProposte;
    std::unique_ptr<db::Recordset> m_righeSolleciti;
    std::unique_ptr<db::RecordsetModel> m_modelProposte;
    std::unique_ptr<db::Recordset> m_rsClienti;
    std::unique_ptr<db::RecordsetModel> m_modelCli;
    Decimal m_totaleClienti;
    std::unique_ptr<IStockConsole> m_console;
    ActionOutcome m_outcome;
    const ReminderJob* m_lavoroSolleciti = nullptr;
    ActionOutcome m_esitoSolleciti;
    struct Lettura {
        bool valida = false;
        QString selezione;
        std::uint64_t versione = 0;
        std::optional<std::int64_t> ora;
    };
    Lettura m_lettura;
    QElapsedTimer m_mostrataLettura; // when the rows read were last shown on the status bar
};

} // namespace scadlav
