#pragma once
// The schedule screen "Situazione fasi di lavorazione".
//
// The module class creates it, hands it ClsModulo and ActiveDll, sets its caption and shows it.
// The screen initialises itself at its first activation, waits in the parameter view, and on
// unload removes its registry row, lets go of the host's services and closes its connection.
//
// The screen's procedures are split over several files, one per concern; each section below
// names the file that defines its procedures. Each concern's file adds itself to
// schedule/CMakeLists.txt. A concern may add private helpers and state to its own section.
// Procedures stay non-virtual. Controls' notifications are connected to the handlers in
// FRMPD_KVB_SCADLAV_Events.cpp, once for all concerns.

#include "module/contract/ModuleScreen.h"
#include "module/contract/SqlText.h"
#include "module/contract/TranslatedMessages.h"
#include "module/db/RecordsetModel.h"
#include "module/services/RuntimeError.h"
#include "module/value/Value.h"
#include "schedule/ScheduleStatement.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QResizeEvent;
class QTimer;

namespace erpctl {
class CheckList;
class CodeCombo;
class DateField;
class EnhancedQuery;
class FlagCheckBox;
class Grid;
class ImageList;
class MenuButton;
class SplitPane;
struct DecodeRequest;
struct ListItem;
struct LookupRequest;
} // namespace erpctl

namespace scadlav {

enum class CodeKind;
class IConnectionFactory;
class IErrorLog;
class IHostObject;
class AccessRegistry;
namespace db {
class Connection;
class Recordset;
} // namespace db

// The seven per-user working tables of the rebuild and the schedule query. Each name is the
// prefix, the user's identity, "_" and the time of the first activation, made safe for a
// table name.
struct WorkTableNames {
    QString TempDati;       // "##TempDati_"
    QString TempDatiGRP;    // "##TempDatiGRP_"
    QString TestateODLOCL;  // "##Testate_ODL_OCL"
    QString DocumCambioCod; // "##Docum_CambioCod"
    QString DocumFase;      // "##Docum_Fase"
    QString TabElab;        // "##TabElab_"
    QString TabODL;         // "##TabODL_"
};

class FRMPD_KVB_SCADLAV : public ModuleScreen {
    Q_OBJECT
public:
    explicit FRMPD_KVB_SCADLAV(QWidget* parent = nullptr);
    ~FRMPD_KVB_SCADLAV() override;

    // Name of the module library, written to the error log by the lifecycle's handlers.
    static inline const QString LibraryName = QStringLiteral("PDUO_KVB_SCADLAV");
    // Name of the screen, written to the error log by the rebuild and the detail handlers.
    static inline const QString ScreenName = QStringLiteral("FRMPD_KVB_SCADLAV");
    // Design size in twips; Qt layouts make the controls follow the window from there.
    static constexpr int DesignWidthTwips = 14730;
    static constexpr int DesignHeightTwips = 9200;

    // ---- Controls (children of the screen; each carries its name as objectName) ----------
    erpctl::EnhancedQuery* EnhancedQuery = nullptr;
    QLabel* QRX_LABEL5 = nullptr; // "Data minima ODL"
    erpctl::DateField* TXT_DATAMIN = nullptr;
    QLabel* QRX_LABEL1 = nullptr; // "Tipo lavorazioni"
    erpctl::CodeCombo* CBO_TIPOLAV = nullptr;
    erpctl::MenuButton* cmdStato = nullptr; // "Stato ordine produzione"
    erpctl::CheckList* lstStati = nullptr;
    QLabel* QRX_LABEL4 = nullptr; // "Data ricalcolo"
    erpctl::DateField* TXT_DATARIC = nullptr;
    erpctl::FlagCheckBox* CHK_MODIFICA = nullptr; // "Modifica"
    QPushButton* CMD_ELABORA = nullptr;           // "Visualizza" / "Parametri"
    QPushButton* CMD_RICALCOLA = nullptr;         // "&Ricalcola"
    QPushButton* CMD_DATE = nullptr;              // "&Calc. Date"
    erpctl::MenuButton* CMD_FUNZ = nullptr;       // "Funz.Coll."
    erpctl::MenuButton* CMD_DETT = nullptr;       // "Dett. Ord. +"
    QLabel* QRX_LABEL2 = nullptr;                 // "Ordinamento"
    erpctl::CodeCombo* CBO_ORD = nullptr;
    QFrame* QRX_FRAME1 = nullptr; // holds the grids area
    erpctl::SplitPane* SPLITTER = nullptr;
    erpctl::Grid* GRID_ORD = nullptr;
    erpctl::Grid* GRID_DETT = nullptr;
    QGroupBox* FrameCLI = nullptr; // "Dettaglio ordini di vendita da evadere"
    QLabel* QRX_LABEL3 = nullptr;  // "Articolo"
    QLineEdit* TXT_ARTIC = nullptr;
    erpctl::Grid* GRID_CLI = nullptr;
    QPushButton* CMD_CHIUDICLI = nullptr; // "&Chiudi"
    erpctl::ImageList* IMG_STATO = nullptr;
    QTimer* Timer1 = nullptr; // grid width adjustment, 100 ms

    // ---- Lifecycle (FRMPD_KVB_SCADLAV.cpp) -------------------------------------------------
    // Runs the initialisation the first time; later activations do nothing. A failure is
    // logged and leaves the screen uninitialised, so the next activation starts again.
    void Form_Activate();
    bool isInitialized() const { return m_initialized; }
    // Parameter view: filter panel, mode and rebuild visible, result controls hidden.
    void MostraVistaParametri();
    // Result view: the schedule grid, its sort and its actions visible (the date button only
    // in modification mode), the parameter controls hidden.
    void MostraVistaRisultati();
    // The screen's use of the access registry: "Visualizza" registers with the mode that
    // CHK_MODIFICA reads (and switches it to view mode when the user accepts that), the
    // rebuild registers itself, "Parametri", the rebuild's end and closing remove the row.
    // Each returns false when the registry refuses; failing statements throw.
    bool RegistraVisualizzazione();
    bool RegistraRicalcolo();
    void RimuoviRegistrazione();
    void cmdStato_Click();
    void CMD_CHIUDICLI_Click();
    void SPLITTER_Changed();
    void Timer1_Timer();

    // ---- State read by every concern --------------------------------------------------------
    db::Connection* connection() const { return m_connection.get(); }
    const QString& connectionString() const { return m_connectionString; }
    std::int16_t companyCode() const { return m_companyCode; }
    std::int16_t userId() const { return m_userId; }
    const QString& userIdentity() const { return m_userIdentity; }
    const WorkTableNames& workTables() const { return m_workTables; }
    AccessRegistry& accessRegistry();
    IErrorLog* errorLog() const { return m_errorLog.get(); }
    // The last statement the screen built or ran.
    const QString& currentStatement() const { return m_strSQL; }

    // ---- Messages and SQL text helpers of the screen ----------------------------------------
    std::int32_t QRX_MSGBOX(const QString& testo, std::int32_t IDTesto, std::int32_t parButtons,
                            const QString& parTitle, const Value& Parametri = Value());
    QString TraduzioneTesto(const QString& testo, std::int32_t ID_Testo, const Value& Parametri = Value(),
                            std::int16_t UtilizzoSQL = 0);
    static QString RTrimN(const Value& Expression);
    static Value NVL(const Value& value, const Value& defaultValue);
    static Value NVL_DOP(const Value& Valore, const Value& ValIfNull);
    static QString Escapa(const QString& st);
    // Dates (kind 3) are written by the host's date object for the screen's server.
    Value FormattaValoreSQL(const Value& value, std::int32_t kind, bool nullable) const;
    static QString ParseTableName(const QString& fstr_Name);
    // Drops a temporary table if it exists; the statement becomes the current statement.
    void EliminaTabellaTemp(const QString& name);

    // Runs `text` on the screen's connection and keeps it as the current statement. A failure
    // throws a RuntimeException carrying the connection's last error, so that the calling
    // handler's error handling applies. The result set is nullptr for options 129.
    std::unique_ptr<db::Recordset> EseguiSQL(const QString& text, int options = -1);

    // Writes `error` to the error log as ("0_0_0_0", module text, routine) and clears it.
    void ScriviErroreLog(const QString& moduleText, const QString& routine, const RuntimeError& error);
    // The lifecycle's logging procedure: the same record with the library name as module text.
    void ScriviLogErrore(const QString& label, const RuntimeError& error);

    // ---- Rebuild (FRMPD_KVB_SCADLAV_Rebuild.cpp) ---------------------------------------------
    void CMD_RICALCOLA_ButtonClick();
    void CompletaRiferimentiFasi();

    // ---- Filter panel (FRMPD_KVB_SCADLAV_Filter.cpp) -----------------------------------------
    void ImpostaRigheEnhQuery();
    void EnhancedQuery_StartDecode(erpctl::DecodeRequest& request);
    void EnhancedQuery_StartLookup(erpctl::LookupRequest& request);
    // Descriptions of a family, subfamily, group, subgroup, product type or project code;
    // "" for an empty or unknown code. A failure is logged and gives "".
    QString DecodificaFamiglia(const QString& famiglia);
    QString DecodificaSottoFamiglia(const QString& famiglia, const QString& sottofamiglia);
    QString DecodificaGruppo(const QString& famiglia, const QString& sottofamiglia, const QString& gruppo);
    QString DecodificaSottoGruppo(const QString& famiglia, const QString& sottofamiglia,
                                  const QString& gruppo, const QString& sottogruppo);
    QString DecodificaTipoProdotto(const QString& tipo);
    QString DecodificaProgetto(const QString& progetto);

    // ---- Schedule query, function menu and grids (FRMPD_KVB_SCADLAV_Query.cpp, _Grids.cpp) ---
    void CMD_ELABORA_ButtonClick();
    void CBO_ORD_Click();
    void CMD_FUNZ_ItemClick(const QString& key);
    void ApriProposte();
    void ApriSolleciti();
    void ImpostaGrigliaOrdini();
    void ImpostaGrigliaDettaglio();
    void ImpostaGrigliaClienti();
    // The customer-commitment and stock views of the function menu; they show nothing yet.
    void MostraImpegnatoCliente();
    void InvocaConsoleProgressivi();
    // Export of the schedule grid as shown: visible columns in their current order, the
    // cells as the grid shows them (FRMPD_KVB_SCADLAV_Export.cpp). False with the reason.
    bool EsportaGrigliaCsv(const QString& path, QString& error);
    bool EsportaGrigliaExcel(const QString& path, QString& error);
    // Asks the user for a file and exports to it, by its extension.
    void EsportaGriglia();
    db::Recordset* scheduleRecordset() const { return m_rsScadlav.get(); }
    db::Recordset* detailRecordset() const { return m_rsDettaglio.get(); }
    const QString& detailTableName() const { return m_tabellaDettaglio; }
    // The rows handed to the proposals and reminder screens by the last ApriProposte and
    // ApriSolleciti that found rows.
    db::Recordset* proposalRows() const { return m_righeProposte.get(); }
    db::Recordset* reminderRows() const { return m_righeSolleciti.get(); }

private:
    // ---- Filter panel: helpers ---------------------------------------------------------------
    // The description the host's decode of a group of kinds gives for `code` ("" when empty,
    // unknown or when the host offers no decode); `slot` is the group's lookup slot, its decode
    // is the slot after it. A failing decode throws.
    QString DecodificaCodice(int slot, CodeKind kind, const QString& code,
                             const QStringList& parentCodes = {});
    // The value of the row on `field` on one side (1 from, 2 to).
    QString ValoreFiltro(const QString& field, int side) const;

    // ---- Schedule query and grids: helpers and state ----------------------------------------
    void SequenzaVisualizza();
    void SequenzaParametri();
    // States ticked, a real minimum date, usable filter values; false after telling the user.
    bool ControllaParametri();
    ScheduleParameters LeggiParametri() const;
    void ImpostaModalita(bool modifica);
    // Opens the schedule record set on `statement` and binds GRID_ORD to it; throws on failure.
    void ApriSchedulazione(const QString& statement);
    // The detail table, created empty at each "Visualizza", and the detail grid bound to it.
    void PreparaDettaglio();
    void ChiudiDettaglio();
    void MostraErroreOperazione(const RuntimeError& error);
    // Where the proposals and reminder screens will be opened with their rows.
    void ApriSchermataProposte(std::unique_ptr<db::Recordset> righe);
    void ApriSchermataSolleciti(std::unique_ptr<db::Recordset> righe);
    QList<erpctl::ListItem> ListaStatiOrdine();
    QList<erpctl::ListItem> ListaStatiFase();
    QList<erpctl::ListItem> ListaDirezioni();
    void IniziaLayoutGriglia(erpctl::Grid* grid, const QString& keyField);
    void ApplicaLayoutUtente(erpctl::Grid* grid);
    void SalvaLayoutGriglia(erpctl::Grid* grid);
    void MostraErroreGriglia(const RuntimeError& error);

    std::unique_ptr<db::RecordsetModel> m_modelOrd;
    std::unique_ptr<db::RecordsetModel> m_modelDett;
    QString m_tabellaDettaglio;
    std::unique_ptr<db::Recordset> m_righeProposte;
    std::unique_ptr<db::Recordset> m_righeSolleciti;

protected:
    bool queryUnload() override { return true; }
    void onUnload() override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // ---- Lifecycle state (FRMPD_KVB_SCADLAV.cpp) ----------------------------------------------
    QString m_connectionString;
    std::unique_ptr<IConnectionFactory> m_connectionFactory;
    std::unique_ptr<db::Connection> m_connection;
    std::unique_ptr<IErrorLog> m_errorLog;
    std::int16_t m_companyCode = 0;
    std::int16_t m_userId = 0;
    QString m_userIdentity;
    // The host's lookup and decode objects the filter panel asks: a lookup and a decode each
    // for articles and their classes, for documents and suppliers, for departments and phases,
    // and for jobs and projects (see HostServiceSlot).
    std::array<std::unique_ptr<IHostObject>, 8> m_hostServices;
    WorkTableNames m_workTables;
    // Schedule record set (bound to GRID_ORD), detail record set (bound to GRID_DETT) and the
    // result of the last-rebuild time query.
    std::unique_ptr<db::Recordset> m_rsScadlav;
    std::unique_ptr<db::Recordset> m_rsDettaglio;
    std::unique_ptr<db::Recordset> m_rsDataRicalcolo;
    bool m_initialized = false;
    QString m_strSQL;

public:
    // Index of each host service object in m_hostServices.
    enum HostServiceSlot {
        LookupArticoli = 0,
        DecodeArticoli,
        LookupDocumenti,
        DecodeDocumenti,
        LookupProduzione,
        DecodeProduzione,
        LookupProgetti,
        DecodeProgetti,
    };
    IHostObject* hostService(HostServiceSlot slot) const { return m_hostServices[slot].get(); }

private:
    // A design length in twips, in pixels of this screen.
    int scaledX(int twips) const;
    int scaledY(int twips) const;
    void buildControls();
    void placeStateList();
    void connectEvents();
    // Connects the handlers of the other concerns (FRMPD_KVB_SCADLAV_Events.cpp); a concern
    // adds the connection of a new handler there.
    void connectConcernEvents();
    void ApriConnessione();
    void PrimaAttivazione();
    void CaricaCombo();
    void CaricaStati();
    void LeggiDataRicalcolo();
    void CreaNomiTabelleLavoro();
    void CreaServiziHost();
    void RilasciaServiziHost();
    QString DataMinimaIniziale() const;

    TranslatedMessages m_messages;
    std::unique_ptr<AccessRegistry> m_accessRegistry;
};

} // namespace scadlav
