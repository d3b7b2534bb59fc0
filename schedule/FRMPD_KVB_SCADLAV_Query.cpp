// "Visualizza" and "Parametri": the schedule read with its classification codes and shown in
// the schedule grid, the way back to the parameters, the re-sort, the function menu and the
// checks before the proposals and reminder screens.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/HostRuntime.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"

#include <QPushButton>
#include <QTimer>

namespace scadlav {

namespace {

const QString kModifica = QStringLiteral("1");
const QString kAzzeraSelezione = QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 0");

// Message box styles.
constexpr std::int32_t kInformation = 64;
constexpr std::int32_t kCritical = 16;

[[noreturn]] void failRecordset(const db::Recordset& rs) {
    RuntimeError error;
    error.number = rs.lastError().number != 0 ? static_cast<int>(rs.lastError().number)
                                              : RuntimeError::ApplicationDefined;
    error.description = rs.lastErrorText();
    error.source = FRMPD_KVB_SCADLAV::ScreenName;
    throw RuntimeException(error);
}

} // namespace

void FRMPD_KVB_SCADLAV::CMD_ELABORA_ButtonClick() {
    // The button reads "Visualizza" in the parameter view, translated once the screen went
    // back there; the design caption counts too, so a translated host starts the same way.
    const QString caption = CMD_ELABORA->text();
    if (caption == TraduzioneTesto(QStringLiteral("Visualizza"), 60970) ||
        caption == QStringLiteral("Visualizza"))
        SequenzaVisualizza();
    else
        SequenzaParametri();
}

bool FRMPD_KVB_SCADLAV::ControllaParametri() {
    // Checked before anything changes (panel, registry, button), so a refusal leaves the
    // screen as the user left it.
    if (lstStati->checkedKeys().isEmpty()) {
        QRX_MSGBOX(QStringLiteral("Selezionare almeno uno stato del documento da visualizzare"), 51499,
                   kInformation, windowTitle());
        return false;
    }
    if (!TXT_DATAMIN->isValid()) {
        QRX_MSGBOX(QStringLiteral("La data minima ODL \"%1\" non è una data valida (gg/mm/aaaa)."), 90401,
                   kInformation, windowTitle(), Value(QList<Value>{TXT_DATAMIN->text()}));
        return false;
    }
    if (!EnhancedQuery->isValid()) {
        const QString problems = EnhancedQuery->validationErrors().join(QLatin1Char('\n'));
        QRX_MSGBOX(QStringLiteral("Correggere i filtri prima di visualizzare:\n%1"), 90402, kInformation,
                   windowTitle(), Value(QList<Value>{problems}));
        return false;
    }
    return true;
}

ScheduleParameters FRMPD_KVB_SCADLAV::LeggiParametri() const {
    ScheduleParameters p;
    p.companyCode = m_companyCode;
    p.minDateLiteral = FormattaValoreSQL(Value(TXT_DATAMIN->text()), 3, true).toText();
    p.phaseType = CBO_TIPOLAV->text();
    p.filterCondition = EnhancedQuery->conditionText();
    p.stateKeys = lstStati->checkedKeys();
    p.sortCode = CBO_ORD->text();
    return p;
}

void FRMPD_KVB_SCADLAV::SequenzaVisualizza() {
    if (!ControllaParametri())
        return;
    bool registered = false;
    try {
        EnhancedQuery->hide();
        PreparaDettaglio();
        if (!RegistraVisualizzazione()) {
            // Refused, or view mode declined: the parameters stay as they were.
            EnhancedQuery->show();
            return;
        }
        registered = true;
        CMD_ELABORA->setEnabled(false);
        const bool modifica = CHK_MODIFICA->valueText() == kModifica;
        ImpostaModalita(modifica);

        const std::optional<QString> statement = schedule_sql::showStatement(LeggiParametri());
        if (!statement) // the states were checked above; the list cannot have changed since
            throw RuntimeException({RuntimeError::ApplicationDefined, QString(), ScreenName});
        ApriSchedulazione(*statement);

        CMD_ELABORA->setText(TraduzioneTesto(QStringLiteral("Parametri"), 43034));
        CMD_ELABORA->setEnabled(true);
        MostraVistaRisultati();
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        // Back to the parameter view with nothing held: no registry row, the button usable.
        if (registered) {
            try {
                RimuoviRegistrazione();
            } catch (...) {
            }
        }
        GRID_ORD->unbind();
        CMD_ELABORA->setEnabled(true);
        MostraVistaParametri();
        MostraErroreOperazione(error);
    }
}

void FRMPD_KVB_SCADLAV::ImpostaModalita(bool modifica) {
    CMD_FUNZ->clearItems();
    CMD_FUNZ->addItem(TraduzioneTesto(QStringLiteral("Impegnato cliente"), 78530), QStringLiteral("KEY_IMP"));
    CMD_FUNZ->addItem(TraduzioneTesto(QStringLiteral("Proposte C/Lav."), 78531), QStringLiteral("KEY_PROP"));
    if (modifica) {
        // Marks left in the table by anybody are cleared: the registry keeps a second
        // modifying planner out.
        EseguiSQL(kAzzeraSelezione, db::kCmdTextNoRecords);
        GRID_ORD->setFeatureEnabled(erpctl::Grid::SelectionFeatureKey, true);
        CMD_FUNZ->addItem(TraduzioneTesto(QStringLiteral("Solleciti"), 52907), QStringLiteral("KEY_SOLL"));
    } else {
        GRID_ORD->setFeatureEnabled(erpctl::Grid::SelectionFeatureKey, false);
    }
    CMD_FUNZ->addItem(TraduzioneTesto(QStringLiteral("Situazione giacenze"), 52787),
                      QStringLiteral("KEY_GIAC"));
    CMD_FUNZ->show();
    CMD_DATE->setVisible(modifica);
    GRID_DETT->setEditable(modifica);
    if (modifica) {
        GRID_DETT->setColumnEditable(QStringLiteral("DATA_INI"));
        GRID_DETT->setColumnEditable(QStringLiteral("DATA_FINE"));
    }
    if (m_modelDett)
        m_modelDett->setEditable(modifica);
}

void FRMPD_KVB_SCADLAV::ApriSchedulazione(const QString& statement) {
    GRID_ORD->unbind();
    if (m_modelOrd)
        m_modelOrd->setRecordset(nullptr);
    if (m_rsScadlav && m_rsScadlav->isOpen())
        m_rsScadlav->close();
    m_rsScadlav.reset();
    if (!m_connection)
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"), ScreenName});

    m_strSQL = statement;
    auto rs = std::make_unique<db::Recordset>();
    if (!rs->open(statement, *m_connection, db::CursorType::Dynamic, db::LockType::Optimistic,
                  db::kExecUnspecified))
        failRecordset(*rs);
    m_rsScadlav = std::move(rs);

    if (!m_modelOrd)
        m_modelOrd = std::make_unique<db::RecordsetModel>();
    m_modelOrd->setRecordset(m_rsScadlav.get());
    GRID_ORD->bind(m_modelOrd.get());
    GRID_ORD->show();
}

void FRMPD_KVB_SCADLAV::PreparaDettaglio() {
    GRID_DETT->unbind();
    if (m_modelDett)
        m_modelDett->setRecordset(nullptr);
    m_rsDettaglio.reset();

    const QString now = HostRuntime::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    m_tabellaDettaglio =
        ParseTableName(QStringLiteral("##TempTableDett_") + m_userIdentity + QStringLiteral("_") + now);
    const QString& name = m_tabellaDettaglio;
    const QString crlf = schedule_sql::CrLf;
    static const QStringList columns{
        QStringLiteral("KEY_GRID varchar(10) COLLATE DATABASE_DEFAULT NOT NULL"),
        QStringLiteral("DO46_NUMREG_CO99 varchar(12) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DO46_PROGRIGA decimal(6,0) NULL"),
        QStringLiteral("FASE_IE varchar(2) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("FORREP varchar(60) COLLATE DATABASE_DEFAULT NOT NULL"),
        QStringLiteral("DO46_CODSEQFASE decimal(5,0) NULL"),
        QStringLiteral("DO46_CODFASE decimal(5,0) NULL"),
        QStringLiteral("PD12_DESCR Nvarchar(60) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DO46_PROGSFASE decimal(4,0) NULL"),
        QStringLiteral("DO46_INDSTATOORD decimal(2,0) NULL"),
        QStringLiteral("DO46_DATAINIZIO datetime NULL"),
        QStringLiteral("DO46_DATAFINE datetime NULL"),
        QStringLiteral("DO46_QTA1ORD decimal(14,3) NULL"),
        QStringLiteral("DO46_QTA1CONSOLID decimal(14,3) NULL"),
        QStringLiteral("DO46_QTA1SCARTO decimal(14,3) NULL"),
        QStringLiteral("QTARES decimal(14,3) NULL"),
        QStringLiteral("QTA_INLAV decimal(14,3) NULL"),
        QStringLiteral("NUMREG_OCL varchar(12) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("RIGA_OCL decimal(6,0) NULL"),
        QStringLiteral("RIF_OCL varchar(60) COLLATE DATABASE_DEFAULT NULL"),
        QStringLiteral("DATACONS_OCL datetime NULL"),
        QStringLiteral("DATA_INI datetime NULL"),
        QStringLiteral("DATA_FINE datetime NULL"),
        QStringLiteral("DO46_IDCICLO_PD48 decimal(18,0) NULL"),
        QStringLiteral("IND_DIR decimal(2,0) NULL"),
    };
    QString create =
        QStringLiteral("if exists (select id from tempdb..sysobjects where id=object_id('tempdb..") + name +
        QStringLiteral("')) ") + QStringLiteral("drop table ") + name + crlf +
        QStringLiteral("CREATE TABLE ") + name + QStringLiteral(" ( ") + crlf;
    create += columns.join(QStringLiteral(",") + crlf) + crlf + QStringLiteral(")") + crlf;
    EseguiSQL(create, db::kCmdTextNoRecords);

    const QString select =
        QStringLiteral("SELECT * FROM ") + name + QStringLiteral(" ORDER BY DO46_CODSEQFASE,DO46_PROGSFASE");
    m_strSQL = select;
    auto rs = std::make_unique<db::Recordset>();
    if (!rs->open(select, *m_connection, db::CursorType::Dynamic, db::LockType::Optimistic,
                  db::kExecUnspecified))
        failRecordset(*rs);
    m_rsDettaglio = std::move(rs);
    if (!m_modelDett)
        m_modelDett = std::make_unique<db::RecordsetModel>();
    m_modelDett->setRecordset(m_rsDettaglio.get());
    GRID_DETT->bind(m_modelDett.get());
}

void FRMPD_KVB_SCADLAV::ChiudiDettaglio() {
    GRID_DETT->hide();
    CMD_DETT->setCaption(TraduzioneTesto(QStringLiteral("Dett. Ord. +"), 78529));
}

void FRMPD_KVB_SCADLAV::SequenzaParametri() {
    // Every step runs, so that a failing statement never keeps the user in the result view;
    // the first failure is shown at the end.
    std::optional<RuntimeError> failure;
    auto step = [&failure](auto&& action) {
        try {
            action();
        } catch (...) {
            if (!failure)
                failure = RuntimeError::fromException(std::current_exception());
        }
    };
    step([this] {
        if (CHK_MODIFICA->valueText() == kModifica)
            EseguiSQL(kAzzeraSelezione, db::kCmdTextNoRecords);
    });
    step([this] { RimuoviRegistrazione(); });
    GRID_ORD->hide();
    ChiudiDettaglio();
    CMD_ELABORA->setText(TraduzioneTesto(QStringLiteral("Visualizza"), 60970));
    MostraVistaParametri();
    Timer1->start();
    if (failure)
        MostraErroreOperazione(*failure);
}

void FRMPD_KVB_SCADLAV::CBO_ORD_Click() {
    if (CBO_ORD->isHidden() || !m_initialized)
        return;
    try {
        GRID_ORD->unbind();
        if (!ControllaParametri())
            return;
        const std::optional<QString> statement = schedule_sql::resortStatement(LeggiParametri());
        if (!statement)
            return;
        ApriSchedulazione(*statement);
    } catch (...) {
        MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_SCADLAV::CMD_FUNZ_ItemClick(const QString& key) {
    try {
        if (key == QLatin1String("KEY_IMP"))
            MostraImpegnatoCliente();
        else if (key == QLatin1String("KEY_PROP"))
            ApriProposte();
        else if (key == QLatin1String("KEY_SOLL"))
            ApriSolleciti();
        else if (key == QLatin1String("KEY_GIAC"))
            InvocaConsoleProgressivi();
    } catch (...) {
        MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_SCADLAV::ApriProposte() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen())
        return;
    std::unique_ptr<db::Recordset> righe = m_rsScadlav->clone();
    // Codes 1 and 2: the previous phase's stock covers the quantity to send, fully or in part.
    if (!righe || !righe->setFilter(QStringLiteral("CTRL_QTA < 3 ")))
        failRecordset(righe ? *righe : *m_rsScadlav);
    if (righe->recordCount() == 0) {
        QRX_MSGBOX(QStringLiteral("Nessuna giacenza in fase da inviare presente nei limiti selezionati !!"),
                   78503, kInformation, windowTitle());
        return;
    }
    ApriSchermataProposte(std::move(righe));
}

void FRMPD_KVB_SCADLAV::ApriSolleciti() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen())
        return;
    std::unique_ptr<db::Recordset> righe = m_rsScadlav->clone();
    // Codes 2 and 3: work running or overdue at the subcontractor or department.
    if (!righe || !righe->setFilter(QStringLiteral("SOLL > 1 AND SOLL < 4 ")))
        failRecordset(righe ? *righe : *m_rsScadlav);
    if (righe->recordCount() == 0) {
        QRX_MSGBOX(QStringLiteral("Nessuna giacenza da sollecitare presente nei limiti selezionati !!"),
                   78514, kInformation, windowTitle());
        return;
    }
    ApriSchermataSolleciti(std::move(righe));
    // The reminder screen changes marks; the grid shows the rows as it left them.
    if (!m_rsScadlav->requery())
        failRecordset(*m_rsScadlav);
}

void FRMPD_KVB_SCADLAV::ApriSchermataProposte(std::unique_ptr<db::Recordset> righe) {
    // The proposals screen is not part of the module yet: the rows it would receive are kept.
    m_righeProposte = std::move(righe);
}

void FRMPD_KVB_SCADLAV::ApriSchermataSolleciti(std::unique_ptr<db::Recordset> righe) {
    // The reminder screen is not part of the module yet: the rows it would receive are kept.
    m_righeSolleciti = std::move(righe);
}

void FRMPD_KVB_SCADLAV::MostraImpegnatoCliente() {
    // The customer-commitment view is not part of the module yet.
}

void FRMPD_KVB_SCADLAV::InvocaConsoleProgressivi() {
    // The stock console is not opened from the module yet.
}

void FRMPD_KVB_SCADLAV::MostraErroreOperazione(const RuntimeError& error) {
    QRX_MSGBOX(QStringLiteral("Operazione non riuscita:\n%1"), 90403, kCritical, windowTitle(),
               Value(QList<Value>{error.description}));
}

} // namespace scadlav
