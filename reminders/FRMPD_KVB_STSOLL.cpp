// The reminder screen's lifecycle, its selection panel with the note editor, and its
// parameters panel with the fixed texts and the contact type.
#include "reminders/FRMPD_KVB_STSOLL.h"

#include "engine/ConnectionError.h"
#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IDecode.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostStateRefresh.h"
#include "module/services/ILookup.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IStatusBar.h"
#include "module/services/IUsageTracking.h"
#include "module/sql/SqlText.h"
#include "platform/controls/CodeField.h"
#include "platform/controls/FilterRow.h"
#include "platform/controls/Grid.h"
#include "reminders/ReminderHistory.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>

namespace scadlav {

namespace {

int twipsX(const QWidget* w, int twips) {
    return twips * w->logicalDpiX() / 1440;
}
int twipsY(const QWidget* w, int twips) {
    return twips * w->logicalDpiY() / 1440;
}

// Every step runs even when the one before failed.
template <class F> void ignoringErrors(F&& action) {
    try {
        action();
    } catch (...) {
    }
}

} // namespace

FRMPD_KVB_STSOLL::FRMPD_KVB_STSOLL(QWidget* parent)
    : ModuleScreen(parent), m_ui(std::make_unique<ReminderControls>()),
      m_messages([this] { return ClsModulo; }) {
    setObjectName(ScreenName);
    setWindowTitle(QStringLiteral("Stampa solleciti"));
    m_ui->build(this);
    connectEvents();
    // A text longer than its field is cut to the field's size; the planner is told so.
    m_ui->onTextCut = [this](int limit) { AvvisaTestoTagliato(limit); };
    for (QLineEdit* field : {m_ui->TXT_NOTA, m_ui->TXT_TITOLO}) {
        connect(field, &QLineEdit::inputRejected, this, [this, field] {
            if (field->text().size() >= field->maxLength())
                AvvisaTestoTagliato(field->maxLength());
        });
    }
}

void FRMPD_KVB_STSOLL::AvvisaTestoTagliato(int limit) {
    Stato(m_messages.TraduzioneTesto(
        QStringLiteral("Il campo contiene al massimo %1 caratteri: il testo oltre non è stato preso."), 91854,
        Value(QList<Value>{Value(limit)})));
}

FRMPD_KVB_STSOLL::~FRMPD_KVB_STSOLL() {
    // A screen destroyed without being closed still lets go of what it holds.
    if (!isUnloaded())
        done(QDialog::Rejected);
}

void FRMPD_KVB_STSOLL::ImpostaDati(db::Connection*, IErrorLog*, Cinterface* module,
                                   const QString& connectionString, std::int16_t company,
                                   std::int32_t sendMode, std::unique_ptr<db::Recordset> rows) {
    ClsModulo = module;
    m_connectionString = connectionString;
    m_companyCode = company;
    m_sendMode = sendMode;
    m_rows = std::move(rows);
}

void FRMPD_KVB_STSOLL::connectEvents() {
    ReminderControls& ui = *m_ui;
    connect(ui.GRID, &erpctl::Grid::cellClicked, this, [this](int row, const QString& field) {
        if (field == QLatin1String("PD5C_SEL"))
            GRID_ToggleMark(row);
    });
    connect(ui.GRID, &erpctl::Grid::cellDoubleClicked, this,
            [this](int row, const QString& field) { GRID_ColumnEvent(row, field); });
    connect(ui.CMD_SEL, &QPushButton::clicked, this, [this] { CMD_SEL_Click(); });
    connect(ui.CMD_DESEL, &QPushButton::clicked, this, [this] { CMD_DESEL_Click(); });
    connect(ui.CMD_CONFERMA, &QPushButton::clicked, this, [this] { CMD_CONFERMA_Click(); });
    connect(ui.CMD_INDIETRO, &QPushButton::clicked, this, [this] { CMD_INDIETRO_Click(); });
    connect(ui.CMD_CONFNOTA, &QPushButton::clicked, this, [this] { CMD_CONFNOTA_Click(); });
    connect(ui.CMD_CHIUDINOTA, &QPushButton::clicked, this, [this] { CMD_CHIUDINOTA_Click(); });
    connect(ui.TXT_COD_INIZ, &erpctl::CodeField::codeChanged, this, [this] { TXT_COD_Change(true); });
    connect(ui.TXT_COD_FIN, &erpctl::CodeField::codeChanged, this, [this] { TXT_COD_Change(false); });
    connect(ui.TXT_COD_INIZ, &erpctl::CodeField::StartLookup, this,
            [this](erpctl::LookupRequest& r) { TXT_COD_StartLookup(r); });
    connect(ui.TXT_COD_FIN, &erpctl::CodeField::StartLookup, this,
            [this](erpctl::LookupRequest& r) { TXT_COD_StartLookup(r); });
    connect(ui.TXT_TIPOCONTATTO, &erpctl::CodeField::StartLookup, this,
            [this](erpctl::LookupRequest& r) { TXT_TIPOCONTATTO_StartLookup(r); });
    connect(ui.TXT_TIPOCONTATTO, &erpctl::CodeField::StartDecode, this,
            [this](erpctl::DecodeRequest& r) { TXT_TIPOCONTATTO_StartDecode(r); });
    connect(ui.CMB_FAXMAIL, &QComboBox::activated, this, [this] { CMB_FAXMAIL_Click(); });
    connect(ui.CMD_STAMPA, &QPushButton::clicked, this, [this] { CMD_STAMPA_Click(); });
    connect(ui.CMD_FAX, &QPushButton::clicked, this, [this] { CMD_FAX_Click(); });
    connect(ui.CMD_MAIL, &QPushButton::clicked, this, [this] { CMD_MAIL_Click(); });
    connect(ui.CMD_CHIUDI, &QPushButton::clicked, this, [this] { close(); });
}

// ---- Lifecycle ------------------------------------------------------------------------------

IGlobalContext* FRMPD_KVB_STSOLL::global() const {
    return ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
}

void FRMPD_KVB_STSOLL::Form_Load() {
    // Resume after a failing step, as a load does; the first activation reports what is missing.
    ignoringErrors([this] {
        if (IObjectFactory* factory = HostRuntime::objectFactory())
            m_errorLog = factory->create<IErrorLog>(classnames::ErrorLog);
    });
    move(twipsX(this, 1700), twipsY(this, 1155));
    resize(twipsX(this, 13995), twipsY(this, 7890));
    ignoringErrors([this] {
        IGlobalContext* context = global();
        if (!context)
            return;
        m_connectionString = context->connectionString();
        m_companyCode = context->companyCode();
        if (IObjectFactory* factory = HostRuntime::objectFactory())
            m_connectionFactory = factory->create<IConnectionFactory>(classnames::ConnectionFactory);
        m_connection = m_connectionFactory ? m_connectionFactory->createConnection() : nullptr;
        if (!m_connection)
            m_connection = std::make_unique<db::Connection>();
        m_connection->setConnectionString(m_connectionString);
        if (!m_connection->open())
            m_connection.reset();
    });
    ignoringErrors([this] { RegistraUtilizzo(IUsageTracking::Open); });
    m_activated = false;
}

void FRMPD_KVB_STSOLL::changeEvent(QEvent* event) {
    ModuleScreen::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FRMPD_KVB_STSOLL::Form_Activate() {
    if (isUnloaded())
        return;
    try {
        AggiornaStatoHost();
        if (!m_activated)
            PrimaAttivazione();
    } catch (...) {
        ScriviErroreLog(QStringLiteral("Form_Activate"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_STSOLL::PrimaAttivazione() {
    ReminderControls& ui = *m_ui;
    if (!m_connection)
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"), ScreenName});
    setWindowTitle(TraduzioneTesto(QStringLiteral("Stampa solleciti"), 54883));

    // The host's lookups and decode, each given the module (and so the global context).
    if (IObjectFactory* factory = HostRuntime::objectFactory()) {
        m_lookupTesti = factory->create<ILookup>(classnames::Lookup);
        m_lookupContatti = factory->create<ILookup>(classnames::Lookup);
        m_decodeContatti = factory->create<IDecode>(classnames::Decode);
        for (ILookup* l : {m_lookupTesti.get(), m_lookupContatti.get()}) {
            if (l)
                l->setModule(ClsModulo);
        }
        if (m_decodeContatti)
            m_decodeContatti->setModule(ClsModulo);
    }

    ui.CMB_TIPOLOGO->clear();
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Nessuno"), 39301), 0);
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Manuale"), 36810), 1);
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Orizzontale"), 42856), 2);
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Verticale"), 60777), 3);
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Orizzontale da carta intestata"), 42857), 4);
    ui.CMB_TIPOLOGO->addItem(TraduzioneTesto(QStringLiteral("Verticale da carta intestata"), 60778), 5);
    ui.CMB_TIPOLOGO->setCurrentIndex(0);
    ui.CMB_FAXMAIL->clear();
    ui.CMB_FAXMAIL->addItem(TraduzioneTesto(QStringLiteral("Anagrafica contatti"), 6245), 0);
    ui.CMB_FAXMAIL->addItem(TraduzioneTesto(QStringLiteral("Anagrafica generale"), 6287), 1);
    ui.CMB_FAXMAIL->setCurrentIndex(0);

    AbilitaInvio();

    ui.FrameNota->hide();
    ui.TXT_DESCRCONTATTO->setEnabled(false);
    ui.TXT_TIPOCONTATTO->show();
    ui.TXT_DESCRCONTATTO->show();
    ui.LBL_TIPOCONTATTO->show();

    ImpostaGrigliaSolleciti();
    ImpostaLayoutSolleciti();
    if (m_rows) {
        m_model = std::make_unique<db::RecordsetModel>(m_rows.get());
        m_storico = std::make_unique<reminders::StoricoModel>();
        m_storico->setSourceModel(m_model.get());
        m_storico->setPresentation(
            ui.GRID->locale(),
            reminders::nomiCanali([this](const QString& text, int id) { return TraduzioneTesto(text, id); }));
        AggiornaStorico();
        ui.GRID->bind(m_storico.get());
    }
    MostraSelezione(true);
    m_activated = true;
}

void FRMPD_KVB_STSOLL::AbilitaInvio() {
    // The host's configured send channels: type 1 e-mail, type 0 fax.
    const auto hasChannel = [this](int type) {
        std::unique_ptr<db::Recordset> rs =
            EseguiSQL(QStringLiteral(" SELECT 'A' FROM FW23_FAXER WITH (NOLOCK) ") +
                      QStringLiteral(" WHERE FW23_INDTIPO = ") + QString::number(type));
        return !rs->eof();
    };
    const bool mail = hasChannel(1);
    m_ui->CMD_MAIL->setEnabled(mail);
    m_ui->CMD_MAIL->setVisible(mail);
    const bool fax = hasChannel(0);
    m_ui->CMD_FAX->setEnabled(fax);
    m_ui->CMD_FAX->setVisible(fax);
}

bool FRMPD_KVB_STSOLL::queryUnload() {
    bool cancel = false;
    ignoringErrors([this] { AggiornaStatoHost(); });
    ignoringErrors([this] {
        if (global() && global()->usageTracking())
            RegistraUtilizzo(IUsageTracking::Close);
    });
    emit CloseFormStampaSOlleciti(cancel);
    return !cancel;
}

void FRMPD_KVB_STSOLL::onUnload() {
    m_closing = true;
    ignoringErrors([this] { m_ui->GRID->unbind(); });
    // Every mark of the table goes, as the schedule screen clears them too.
    ignoringErrors([this] {
        if (m_connection)
            m_connection->execute(QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 0"),
                                  db::kCmdTextNoRecords);
    });
    ignoringErrors([this] { RilasciaReport(); });
    ignoringErrors([this] {
        for (ILookup* l : {m_lookupTesti.get(), m_lookupContatti.get()}) {
            if (l)
                l->setModule(nullptr);
        }
        if (m_decodeContatti)
            m_decodeContatti->setModule(nullptr);
        m_lookupTesti.reset();
        m_lookupContatti.reset();
        m_decodeContatti.reset();
    });
    ignoringErrors([this] {
        m_copiaInvio.reset();
        m_dati.reset();
        m_rsWork.reset();
        m_ditta.reset();
        if (m_connection)
            m_connection->close();
        m_connection.reset();
        m_connectionFactory.reset();
    });
}

void FRMPD_KVB_STSOLL::RegistraUtilizzo(const QString& action) {
    IGlobalContext* context = global();
    if (IUsageTracking* tracking = context ? context->usageTracking() : nullptr)
        tracking->registerUsage(action, QStringLiteral("Portafoglio ordini"), windowTitle());
}

void FRMPD_KVB_STSOLL::AggiornaStatoHost() {
    IGlobalContext* context = global();
    if (IHostStateRefresh* refresh = context ? context->hostStateRefresh() : nullptr)
        refresh->refreshHostState();
}

// ---- Helpers ----------------------------------------------------------------------------------

QString FRMPD_KVB_STSOLL::TraduzioneTesto(const QString& testo, std::int32_t id) {
    return m_messages.TraduzioneTesto(testo, id);
}

std::int32_t FRMPD_KVB_STSOLL::Messaggio(const QString& testo, std::int32_t id, std::int32_t style) {
    return m_messages.QRX_MSGBOX(testo, id, style, windowTitle());
}

void FRMPD_KVB_STSOLL::Stato(const QString& text) {
    if (IStatusBar* bar = ClsModulo ? ClsModulo->Cinterface_StatusBar() : nullptr) {
        bar->setPanelText(IStatusBar::ProgressPanel, text);
        bar->repaint();
    }
    QCoreApplication::processEvents();
}

void FRMPD_KVB_STSOLL::ScriviErroreLog(const QString& routine, const RuntimeError& error) {
    if (!m_errorLog) {
        if (IObjectFactory* factory = HostRuntime::objectFactory())
            m_errorLog = factory->create<IErrorLog>(classnames::ErrorLog);
    }
    if (!m_errorLog)
        return;
    m_errorLog->takeError(error);
    m_errorLog->writeRecord(IErrorLog::DefaultPosition, LibraryName, routine);
}

std::unique_ptr<db::Recordset> FRMPD_KVB_STSOLL::EseguiSQL(const QString& sql) {
    if (!m_connection)
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"), ScreenName});
    std::unique_ptr<db::Recordset> rs = m_connection->execute(sql);
    if (!rs)
        throw RuntimeException(engine::connectionError(*m_connection, ScreenName));
    return rs;
}

void FRMPD_KVB_STSOLL::AggiornaStorico() {
    if (!m_storico || !m_connection)
        return;
    QHash<QString, reminders::StoricoFase> storico;
    QString error;
    // A database without the history table shows the rows without it.
    if (reminders::LeggiStorico(*m_connection, m_companyCode, storico, &error))
        m_storico->setStorico(std::move(storico));
}

void FRMPD_KVB_STSOLL::ScriviStorico(const ReportOutcome& outcome, std::int64_t supplier) {
    if (!m_rows || !m_connection || outcome.kind == ReportOutcome::Kind::None)
        return;
    QSet<std::int64_t> printed;
    if (supplier == 0 && m_dati) {
        std::unique_ptr<db::Recordset> dati = m_dati->clone();
        for (dati->moveFirst(); !dati->eof(); dati->moveNext())
            printed.insert(dati->value(QStringLiteral("DO11_CLIFOR_CG44")).toInt64().value_or(0));
    }
    std::unique_ptr<db::Recordset> marked = m_rows->clone();
    marked->setFilter(MarkedFilter);
    const QString error = reminders::ScriviStorico(
        *m_connection, m_companyCode, global() ? global()->userId() : 0, *marked,
        [&](const db::Recordset& row) {
            const std::int64_t code =
                NVL(row.value(QStringLiteral("PD5C_CLIFOR_CG44")), Value(0)).toInt64().value_or(0);
            return supplier == 0 ? printed.contains(code) : code == supplier;
        },
        outcome);
    if (!error.isEmpty() && !m_storicoSegnalato) {
        m_storicoSegnalato = true;
        m_messages.QRX_MSGBOX(QStringLiteral("Lo storico dei solleciti non è stato scritto:\n%1"), 91022,
                              msgbox::Exclamation, windowTitle(), Value(QList<Value>{Value(error)}));
    }
}

// ---- Selection panel --------------------------------------------------------------------------

bool FRMPD_KVB_STSOLL::isSelectionPanelShown() const {
    return !m_ui->Frame1->isHidden();
}

bool FRMPD_KVB_STSOLL::isNoteEditorShown() const {
    return !m_ui->FrameNota->isHidden();
}

void FRMPD_KVB_STSOLL::MostraSelezione(bool shown) {
    m_ui->Frame1->setVisible(shown);
    m_ui->FrameParametri->setVisible(!shown);
}

void FRMPD_KVB_STSOLL::GRID_ToggleMark(int row) {
    if (!m_rows || !m_rows->moveTo(row))
        return;
    const int value = m_rows->value(QStringLiteral("PD5C_SEL")).toInt32().value_or(0) == 0 ? 1 : 0;
    if (!m_rows->setValue(QStringLiteral("PD5C_SEL"), Value(value)) || !m_rows->update())
        throw RuntimeException(engine::recordsetError(*m_rows, ScreenName));
}

void FRMPD_KVB_STSOLL::GRID_ColumnEvent(int row, const QString& key) {
    if (key == QLatin1String("PD5C_SEL") || !m_rows || !m_rows->moveTo(row))
        return;
    m_ui->TXT_NOTA->setText(RTrimN(m_rows->value(QStringLiteral("DO46_NOTECOSTR"))));
    m_ui->FrameNota->show();
}

void FRMPD_KVB_STSOLL::ImpostaMarcaTutte(int value) {
    if (!m_rows || m_rows->recordCount() <= 0)
        return;
    m_ui->GRID->suspendDisplay();
    for (m_rows->moveFirst(); !m_rows->eof(); m_rows->moveNext()) {
        if (!m_rows->setValue(QStringLiteral("PD5C_SEL"), Value(value)) || !m_rows->update()) {
            m_ui->GRID->resumeDisplay();
            throw RuntimeException(engine::recordsetError(*m_rows, ScreenName));
        }
    }
    m_rows->moveFirst();
    m_ui->GRID->resumeDisplay();
}

void FRMPD_KVB_STSOLL::CMD_SEL_Click() {
    ImpostaMarcaTutte(1);
}

void FRMPD_KVB_STSOLL::CMD_DESEL_Click() {
    ImpostaMarcaTutte(0);
}

void FRMPD_KVB_STSOLL::CMD_CONFERMA_Click() {
    if (!m_rows)
        return;
    m_rows->setFilter(MarkedFilter);
    if (m_rows->recordCount() <= 0) {
        m_rows->clearFilter();
        m_rows->setFilter(ReminderFilter);
        m_ui->GRID->refresh();
        Messaggio(QStringLiteral("Nessun dato da elaborare."), 38891, msgbox::Exclamation);
        return;
    }
    // The parameters panel; printing and sending work on exactly the marked rows.
    MostraSelezione(false);
}

void FRMPD_KVB_STSOLL::CMD_INDIETRO_Click() {
    if (m_rows) {
        m_rows->clearFilter();
        m_rows->setFilter(ReminderFilter);
    }
    m_ui->GRID->refresh();
    MostraSelezione(true);
}

void FRMPD_KVB_STSOLL::TornaASelezione() {
    if (m_rows) {
        m_rows->clearFilter();
        m_rows->setFilter(ReminderFilter);
    }
    CMD_DESEL_Click();
    MostraSelezione(true);
}

void FRMPD_KVB_STSOLL::CMD_CONFNOTA_Click() {
    if (!m_rows || m_rows->eof() || m_rows->bof())
        return;
    const auto number = [this](const char* field) {
        return m_rows->value(QString::fromLatin1(field)).toText();
    };
    // The note is stored exactly as typed: its quotes are doubled inside the literal.
    const QString nota =
        RTrimN(Value(m_ui->TXT_NOTA->text())).replace(QLatin1Char('\''), QStringLiteral("''"));
    const QString sql = QStringLiteral("UPDATE DO46_DOCCORORDDET SET DO46_NOTECOSTR = '") + nota +
                        QStringLiteral("' WHERE DO46_DITTA_CG18 = ") + number("PD5C_DITTA_CG18") +
                        QStringLiteral(" AND DO46_NUMREG_CO99 = '") +
                        RTrimN(m_rows->value(QStringLiteral("PD5C_NUMREG_CO99"))) +
                        QStringLiteral("' AND DO46_PROGRIGA = ") + number("PD5C_PROGRIGA_DO30") +
                        QStringLiteral(" AND DO46_CODFASE = ") + number("PD5C_CODFASE_PD12") +
                        QStringLiteral(" AND DO46_CODSEQFASE = ") + number("PD5C_SEQUENZA");
    if (!m_connection || !m_connection->execute(sql, db::kCmdTextNoRecords))
        throw RuntimeException(m_connection
                                   ? engine::connectionError(*m_connection, ScreenName)
                                   : RuntimeError{RuntimeError::ObjectNotSet,
                                                  QStringLiteral("Connessione non aperta"), ScreenName});
    Messaggio(QStringLiteral("Nota aggiornata correttamente."), 78521, msgbox::Information);
    if (!m_rows->requery())
        throw RuntimeException(engine::recordsetError(*m_rows, ScreenName));
}

void FRMPD_KVB_STSOLL::CMD_CHIUDINOTA_Click() {
    m_ui->TXT_NOTA->clear();
    m_ui->FrameNota->hide();
}

// ---- Parameters panel -------------------------------------------------------------------------

void FRMPD_KVB_STSOLL::TXT_COD_Change(bool opening) {
    ReminderControls& ui = *m_ui;
    erpctl::CodeField* codeField = opening ? ui.TXT_COD_INIZ : ui.TXT_COD_FIN;
    QLineEdit* description = opening ? ui.TXT_DESCR_INIZ : ui.TXT_DESCR_FIN;
    QPlainTextEdit* text = opening ? ui.TXT_TESTO_INIZ : ui.TXT_TESTO_FIN;
    try {
        const QString code = RTrimN(Value(codeField->text()));
        if (code.isEmpty())
            return;
        m_rsWork =
            EseguiSQL(QStringLiteral(" SELECT TAB2.MG62_DESCR, TAB1.MG62_TESTO ") +
                      QStringLiteral(" From MG62_TESTIFIS As TAB1 WITH (NOLOCK) ") +
                      QStringLiteral(" Outer Apply dbo.FNMG62_TESTIFIS(MG62_CODICE, ") +
                      QString::number(m_companyCode) + QStringLiteral(") As TAB2 ") +
                      QStringLiteral(" WHERE TAB1.MG62_CODICE = '") +
                      QString(code).replace(QLatin1Char('\''), QStringLiteral("''")) + QStringLiteral("'"));
        if (m_rsWork->eof()) {
            text->clear();
            description->clear();
            Messaggio(QStringLiteral("Testo fisso non codificato !!!"), 56224, msgbox::Exclamation);
            return;
        }
        description->setText(RTrimN(m_rsWork->value(QStringLiteral("MG62_DESCR"))));
        text->setPlainText(RTrimN(m_rsWork->value(QStringLiteral("MG62_TESTO"))));
    } catch (...) {
        ScriviErroreLog(opening ? QStringLiteral("TXT_COD_INIZ_Change")
                                : QStringLiteral("TXT_COD_FIN_Change"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

namespace {

void fillRequest(erpctl::LookupRequest& request, ILookup* lookup, CodeKind kind,
                 const QString& connectionString) {
    request.connectionString = connectionString;
    if (!lookup)
        return;
    if (const std::optional<LookupList> list = lookup->list(kind, {})) {
        request.sql = list->sql;
        request.columns.clear();
        for (const LookupColumn& column : list->columns)
            request.columns.append({column.caption, column.setting});
        request.title = list->title;
        request.lookupName = list->lookupName;
    }
}

} // namespace

void FRMPD_KVB_STSOLL::TXT_COD_StartLookup(erpctl::LookupRequest& request) {
    try {
        fillRequest(request, m_lookupTesti.get(), CodeKind::FixedText, m_connectionString);
    } catch (...) {
        ScriviErroreLog(QStringLiteral("TXT_COD_StartLookup"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_STSOLL::TXT_TIPOCONTATTO_StartLookup(erpctl::LookupRequest& request) {
    try {
        fillRequest(request, m_lookupContatti.get(), CodeKind::ContactType, m_connectionString);
    } catch (...) {
        ScriviErroreLog(QStringLiteral("TXT_TIPOCONTATTO_StartLookup"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_STSOLL::TXT_TIPOCONTATTO_StartDecode(erpctl::DecodeRequest& request) {
    try {
        const QString code = RTrimN(Value(request.fromValue));
        if (code.isEmpty() || !m_decodeContatti)
            return;
        request.fromDescription =
            m_decodeContatti->describe(CodeKind::ContactType, code, {}).value_or(QString());
    } catch (...) {
        ScriviErroreLog(QStringLiteral("TXT_TIPOCONTATTO_StartDecode"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_STSOLL::CMB_FAXMAIL_Click() {
    ReminderControls& ui = *m_ui;
    ui.TXT_TIPOCONTATTO->setCode(QString());
    ui.TXT_TIPOCONTATTO->clear();
    ui.TXT_DESCRCONTATTO->clear();
    // The general registry entry needs no contact type.
    ui.TXT_TIPOCONTATTO->setEnabled(ui.CMB_FAXMAIL->currentData().toInt() != 1);
}

} // namespace scadlav
