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
// Procedures stay non-virtual, so a test that does not call a procedure links without it.

#include "module/contract/ModuleScreen.h"
#include "module/contract/SqlText.h"
#include "module/contract/TranslatedMessages.h"
#include "module/services/RuntimeError.h"
#include "module/value/Value.h"

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
struct LookupRequest;
} // namespace erpctl

namespace scadlav {

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

    // ---- Schedule query, function menu and grids (FRMPD_KVB_SCADLAV_Query.cpp, _Grids.cpp) ---
    void CMD_ELABORA_ButtonClick();
    void CBO_ORD_Click();
    void CMD_FUNZ_ItemClick(const QString& key);
    void ApriProposte();
    void ApriSolleciti();
    void ImpostaGrigliaOrdini();
    void ImpostaGrigliaDettaglio();
    void ImpostaGrigliaClienti();

protected:
    bool queryUnload() override { return true; }
    void onUnload() override;
    void changeEvent(QEvent* event) override;

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
    void buildControls();
    void connectEvents();
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
