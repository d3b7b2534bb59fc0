#pragma once
// The reminder screen "Stampa solleciti": the planner marks the late phases to chase, edits a
// phase's construction note, fills the letter's texts and prints the reminder letters or sends
// them by fax or e-mail, one send per supplier, through the host's report service.
//
// The schedule screen opens it modally with a cursor over its own rows filtered to the reminder
// classes 2 and 3; marks written here reach the schedule table at once. After every print or
// send the screen returns to the selection panel with every mark cleared; its unload clears
// the marks of the whole table.
//
// Files: FRMPD_KVB_STSOLL.cpp (lifecycle, selection, note, parameters), _Controls.cpp (the
// controls and the grid layout), _Stampa.cpp (printing), _Invio.cpp (fax and mail dispatch).

#include "module/contract/ModuleScreen.h"
#include "module/contract/TranslatedMessages.h"
#include "module/services/IReport.h"
#include "module/services/IScheduleJobs.h"
#include "module/services/RuntimeError.h"
#include "module/value/Value.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace erpctl {
class CodeField;
class Grid;
struct DecodeRequest;
struct LookupRequest;
} // namespace erpctl

namespace scadlav {

namespace reminders {
class StoricoModel;
}
class IConnectionFactory;
class IDecode;
class IErrorLog;
class IGlobalContext;
class ILookup;
namespace db {
class Connection;
class Recordset;
class RecordsetModel;
} // namespace db

struct ReminderControls {
    QGroupBox* Frame1 = nullptr; // "Selezione"
    erpctl::Grid* GRID = nullptr;
    QPushButton* CMD_SEL = nullptr;
    QPushButton* CMD_DESEL = nullptr;
    QPushButton* CMD_CONFERMA = nullptr;
    QGroupBox* FrameNota = nullptr; // "Inserimento nota costruzione"
    QLineEdit* TXT_NOTA = nullptr;
    QPushButton* CMD_CONFNOTA = nullptr;
    QPushButton* CMD_CHIUDINOTA = nullptr;
    QGroupBox* FrameParametri = nullptr; // the parameters panel, shown while Frame1 is hidden
    QLabel* LBL_COD_INIZ = nullptr;
    erpctl::CodeField* TXT_COD_INIZ = nullptr;
    QLineEdit* TXT_DESCR_INIZ = nullptr;
    QPlainTextEdit* TXT_TESTO_INIZ = nullptr;
    QLabel* LBL_TESTOFIN = nullptr;
    erpctl::CodeField* TXT_COD_FIN = nullptr;
    QLineEdit* TXT_DESCR_FIN = nullptr;
    QPlainTextEdit* TXT_TESTO_FIN = nullptr;
    QLabel* LBL_TITOLO = nullptr;
    QLineEdit* TXT_TITOLO = nullptr;
    QLabel* LBL_TIPOLOGO = nullptr;
    QComboBox* CMB_TIPOLOGO = nullptr;
    QLabel* LBL_FAXMAIL = nullptr;
    QComboBox* CMB_FAXMAIL = nullptr;
    QLabel* LBL_TIPOCONTATTO = nullptr;
    erpctl::CodeField* TXT_TIPOCONTATTO = nullptr;
    QLineEdit* TXT_DESCRCONTATTO = nullptr;
    QPushButton* CMD_STAMPA = nullptr;
    QPushButton* CMD_FAX = nullptr;
    QPushButton* CMD_MAIL = nullptr;
    QPushButton* CMD_INDIETRO = nullptr;
    QPushButton* CMD_CHIUDI = nullptr;
    // Told the field's limit when a text typed or pasted into a field was longer than it holds.
    std::function<void(int)> onTextCut;

    void build(QWidget* screen);
};

class FRMPD_KVB_STSOLL : public ModuleScreen, public IReportEvents {
    Q_OBJECT
public:
    explicit FRMPD_KVB_STSOLL(QWidget* parent = nullptr);
    ~FRMPD_KVB_STSOLL() override;

    static inline const QString ScreenName = QStringLiteral("FRMPD_KVB_STSOLL");
    static inline const QString LibraryName = QStringLiteral("PDUO_KVB_SCADLAV");
    static inline const QString LayoutName = QStringLiteral("Form stampa solleciti");
    static inline const QString ReportFile = QStringLiteral("KVB_STSOLLSCADE.rpt");
    static inline const QString ReminderFilter = QStringLiteral("SOLL > 1 AND SOLL < 4 ");
    static inline const QString MarkedFilter = QStringLiteral("PD5C_SEL = 1");

    // What the schedule screen hands over before showing the screen: its connection, its error
    // log, the module reference, the connection string, the company, the send mode (1) and the
    // reminder rows. The screen keeps the module, the send mode and the rows; the others are
    // replaced at load by its own.
    void ImpostaDati(db::Connection* connection, IErrorLog* errorLog, Cinterface* module,
                     const QString& connectionString, std::int16_t company, std::int32_t sendMode,
                     std::unique_ptr<db::Recordset> rows);

    // ---- Lifecycle ---------------------------------------------------------------------------
    // Load: own connection, company, usage "tsOpen". Throws nothing; a failure is logged.
    void Form_Load();
    void Form_Activate();
    bool isInitialized() const { return m_activated; }

    // ---- Selection panel ---------------------------------------------------------------------
    void GRID_ToggleMark(int row);
    void GRID_ColumnEvent(int row, const QString& key);
    void CMD_SEL_Click();
    void CMD_DESEL_Click();
    void CMD_CONFERMA_Click();
    void CMD_INDIETRO_Click();
    void CMD_CONFNOTA_Click();
    void CMD_CHIUDINOTA_Click();
    bool isSelectionPanelShown() const;
    bool isNoteEditorShown() const;

    // ---- Parameters panel --------------------------------------------------------------------
    void TXT_COD_Change(bool opening);
    void TXT_COD_StartLookup(erpctl::LookupRequest& request);
    void TXT_TIPOCONTATTO_StartLookup(erpctl::LookupRequest& request);
    void TXT_TIPOCONTATTO_StartDecode(erpctl::DecodeRequest& request);
    void CMB_FAXMAIL_Click();

    // ---- Printing (FRMPD_KVB_STSOLL_Stampa.cpp) ------------------------------------------------
    void CMD_STAMPA_Click();
    void RilasciaReport();
    void beforePrintReport(bool& cancel, IReportDocument& report) override;
    void beforeSendMedia(bool& cancel, QList<Value>& printerMedia) override;
    void reportPageHeaderFormat(IReportDocument& report) override;

    // ---- Fax and mail (FRMPD_KVB_STSOLL_Invio.cpp) ---------------------------------------------
    void CMD_FAX_Click();
    void CMD_MAIL_Click();
    void Esporta(std::int32_t sendMode);
    void Inizializza_Classe_Report(std::int32_t sendMode);
    void cmdFax_Click_Cliente();

    // The recipient of one supplier's send: identifier 0 means none.
    struct Destinatario {
        std::int32_t id = 0;
        int kind = IReport::RecipientRegistry;
    };
    // The recipient rules: the first contact of the type (preferred first, then by name), or the
    // registry entry when the supplier has no contact of the type; blank numbers mean none.
    // `record` stands on a record of the reminder data set.
    Destinatario ScegliDestinatario(std::int32_t sendMode, const db::Recordset& record);

    // ---- Batch jobs ------------------------------------------------------------------------------
    // Marks every row, confirms, fills the parameters as `job` says and presses its channel's
    // button; what the button does is reported by the host's report service. NoData when there
    // is no row; Failed, with the reason, when a parameter is refused.
    ActionOutcome EseguiLavoro(const ReminderJob& job);

    // ---- State for tests and the host ----------------------------------------------------------
    ReminderControls& controls() const { return *m_ui; }
    db::Recordset* reminderRows() const { return m_rows.get(); }
    db::Recordset* reminderData() const { return m_dati.get(); }
    db::Recordset* companyData() const { return m_ditta.get(); }
    db::Connection* connection() const { return m_connection.get(); }
    std::int16_t companyCode() const { return m_companyCode; }
    std::int32_t sendMode() const { return m_sendMode; }
    IReport* report() const { return m_report.get(); }
    // The module's folder, where the report file lies.
    static QString CartellaModulo();

    // Translated texts and messages, with the screen's caption as title.
    QString TraduzioneTesto(const QString& testo, std::int32_t id);
    std::int32_t Messaggio(const QString& testo, std::int32_t id, std::int32_t style);

signals:
    // Raised at a close request with a cancel flag; the screen closes unless a listener sets it.
    void CloseFormStampaSOlleciti(bool& cancel);

protected:
    bool queryUnload() override;
    void onUnload() override;
    void changeEvent(QEvent* event) override;

private:
    void connectEvents();
    void PrimaAttivazione();
    void ImpostaGrigliaSolleciti();
    void ImpostaLayoutSolleciti();
    void RegistraUtilizzo(const QString& action);
    void AggiornaStatoHost();
    void MostraSelezione(bool shown);
    // Filter back to the reminder classes, every mark cleared, the selection panel shown.
    void TornaASelezione();
    void ImpostaMarcaTutte(int value);
    void AbilitaInvio();
    IGlobalContext* global() const;
    void Stato(const QString& text);
    void AvvisaTestoTagliato(int limit);
    void ScriviErroreLog(const QString& routine, const RuntimeError& error);
    // Inside a catch block: the error being handled, logged under `routine` and shown.
    void MostraErrore(const QString& routine);
    // "Invio &Fax" (0) and "Invio &Mail" (1).
    void InviaSolleciti(std::int32_t sendMode, const QString& routine);
    std::unique_ptr<db::Recordset> EseguiSQL(const QString& sql);
    std::unique_ptr<IReport> NuovoReport();
    void CreaReport();
    void ConfiguraReport(IReport& report, bool withFlags);
    void creaDati();
    // The reminder history: the grid's two columns read again, and the rows of a print or send
    // written (the rows of `supplier` only, or every printed supplier's when it is 0).
    void AggiornaStorico();
    void ScriviStorico(const ReportOutcome& outcome, std::int64_t supplier);

    std::unique_ptr<ReminderControls> m_ui;
    TranslatedMessages m_messages;
    std::unique_ptr<db::Recordset> m_rows;
    std::unique_ptr<db::RecordsetModel> m_model;
    std::unique_ptr<reminders::StoricoModel> m_storico;
    bool m_storicoSegnalato = false; // the history's failure was told once
    std::unique_ptr<IConnectionFactory> m_connectionFactory;
    std::unique_ptr<db::Connection> m_connection;
    std::unique_ptr<IErrorLog> m_errorLog;
    QString m_connectionString;
    std::int16_t m_companyCode = 0;
    std::int32_t m_sendMode = 1;
    bool m_activated = false;
    bool m_closing = false;
    std::unique_ptr<ILookup> m_lookupTesti;
    std::unique_ptr<ILookup> m_lookupContatti;
    std::unique_ptr<IDecode> m_decodeContatti;
    std::unique_ptr<db::Recordset> m_rsWork;
    std::unique_ptr<db::Recordset> m_ditta;
    std::unique_ptr<db::Recordset> m_dati;
    std::unique_ptr<db::Recordset> m_copiaInvio;
    std::unique_ptr<IReport> m_report;       // PclsReport
    std::unique_ptr<IReport> m_reportGruppo; // pcls_faxadocumenti
    QList<Value> m_printerMedia;             // kept from BeforeSendMedia
    bool m_printerMediaKept = false;
    Destinatario m_destinatarioCorrente; // the recipient Esporta chose for the supplier
    bool m_chiudiDopoInvio = false;      // the per-group send failed on an error: close after it
};

} // namespace scadlav
