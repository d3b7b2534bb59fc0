// "Visualizza" and "Parametri": the schedule read with its classification codes and shown in
// the schedule grid, the way back to the parameters, the re-sort, the function menu and the
// checks before the proposals and reminder screens.
#include "schedule/ScheduleResults.h"

#include "engine/ConnectionError.h"
#include "engine/RebuildStatements.h"
#include "engine/ScheduleStatement.h"
#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/HostRuntime.h"
#include "module/services/IMessageService.h"
#include "module/services/IStatusBar.h"
#include "module/services/IStockConsole.h"
#include "module/sql/SqlText.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "proposals/FRMPD_KVB_PROP.h"
#include "reminders/FRMPD_KVB_STSOLL.h"
#include "reminders/StoricoSolleciti.h"
#include "schedule/AccessRegistry.h"
#include "schedule/DateRecalculation.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace scadlav {

namespace {

const QString kModifica = QStringLiteral("1");
// Rows read before the grid shows: more than a screenful, so the first page paints at once.
constexpr int kRigheIniziali = 200;
const QString kAzzeraSelezione = QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_SEL = 0");

[[noreturn]] void failRecordset(const db::Recordset& rs) {
    throw RuntimeException(engine::recordsetError(rs, FRMPD_KVB_SCADLAV::ScreenName));
}

} // namespace

ScheduleResults::ScheduleResults(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

ScheduleResults::~ScheduleResults() = default;

ScheduleControls& ScheduleResults::ui() const {
    return m_screen.controls();
}

ScreenSession& ScheduleResults::session() const {
    return m_screen.session();
}

void ScheduleResults::CMD_ELABORA_ButtonClick() {
    // "Visualizza" in the parameter view, "Parametri" in the result view.
    if (m_screen.viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Parameters)
        SequenzaVisualizza();
    else
        SequenzaParametri();
}

bool ScheduleResults::RegistraVisualizzazione() {
    QString mode = ui().CHK_MODIFICA->valueText();
    const bool granted = session().accessRegistry().ControlloVisualizzazione(mode);
    // The user accepted view mode because somebody else works in modification mode.
    if (mode != ui().CHK_MODIFICA->valueText())
        ui().CHK_MODIFICA->setValueText(mode);
    return granted;
}

void ScheduleResults::GRID_ORD_RowChanged(int row) {
    // The bound record set follows the grid's current row, so the detail reads that row.
    if (!m_rsScadlav || !m_rsScadlav->isOpen() || row < 0)
        return;
    m_rsScadlav->moveTo(row);
    m_screen.detail().GRID_ORD_RowChanged();
}

void ScheduleResults::RilasciaSchedulazione() {
    ui().GRID_ORD->unbind();
    if (m_modelOrd)
        m_modelOrd->setRecordset(nullptr);
    if (m_rsScadlav && m_rsScadlav->isOpen())
        m_rsScadlav->close();
    m_rsScadlav.reset();
}

void ScheduleResults::release() {
    ui().GRID_ORD->unbind();
    ui().GRID_CLI->unbind();
    if (m_modelOrd)
        m_modelOrd->setRecordset(nullptr);
    if (m_modelCli)
        m_modelCli->setRecordset(nullptr);
    if (m_modelProposte)
        m_modelProposte->setRecordset(nullptr);
    m_rsClienti.reset();
    m_console.reset();
    m_righeProposte.reset();
    m_righeSolleciti.reset();
    m_rsScadlav.reset();
}

void ScheduleResults::SequenzaVisualizza() {
    m_outcome = {ActionOutcome::Status::Cancelled, QString()};
    if (!m_screen.parameters().ControllaParametri(&m_outcome.description))
        return;
    bool registered = false;
    // Registering, reading the rows and showing them: counted on the status bar.
    Cinterface* module = session().module();
    ProgressSteps progress(module ? module->Cinterface_StatusBar() : nullptr, 3);
    try {
        progress.step(1);
        ui().EnhancedQuery->hide();
        m_screen.detail().PreparaDettaglio();
        if (!RegistraVisualizzazione()) {
            // Refused, or view mode declined: the parameters stay as they were.
            ui().EnhancedQuery->show();
            m_outcome = {ActionOutcome::Status::Refused, QString()};
            return;
        }
        registered = true;
        ui().CMD_ELABORA->setEnabled(false);
        const bool modifica = ui().CHK_MODIFICA->valueText() == kModifica;
        ImpostaModalita(modifica);

        const std::optional<QString> statement =
            schedule_sql::showStatement(m_screen.parameters().LeggiParametri());
        if (!statement) // the states were checked above; the list cannot have changed since
            throw RuntimeException(
                {RuntimeError::ApplicationDefined, QString(), FRMPD_KVB_SCADLAV::ScreenName});
        progress.step(2);
        ApriSchedulazione(*statement);

        progress.step(3);
        ui().CMD_ELABORA->setText(session().TraduzioneTesto(QStringLiteral("Parametri"), 43034));
        ui().CMD_ELABORA->setEnabled(true);
        m_screen.MostraVistaRisultati();
        m_outcome = {ActionOutcome::Status::Done, QString()};
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        m_outcome = {ActionOutcome::Status::Failed, error.description};
        // Back to the parameter view with nothing held: no registry row, the button usable.
        if (registered) {
            try {
                session().RimuoviRegistrazione();
            } catch (...) {
            }
        }
        ui().GRID_ORD->unbind();
        ui().CMD_ELABORA->setEnabled(true);
        m_screen.MostraVistaParametri();
        session().MostraErroreOperazione(error);
    }
}

void ScheduleResults::ImpostaModalita(bool modifica) {
    ui().CMD_FUNZ->clearItems();
    ui().CMD_FUNZ->addItem(session().TraduzioneTesto(QStringLiteral("Impegnato cliente"), 78530),
                           QStringLiteral("KEY_IMP"));
    ui().CMD_FUNZ->addItem(session().TraduzioneTesto(QStringLiteral("Proposte C/Lav."), 78531),
                           QStringLiteral("KEY_PROP"));
    if (modifica) {
        // Marks left in the table by anybody are cleared: the registry keeps a second
        // modifying planner out.
        session().EseguiSQL(kAzzeraSelezione, db::kCmdTextNoRecords);
        ui().GRID_ORD->setFeatureEnabled(erpctl::Grid::SelectionFeatureKey, true);
        ui().CMD_FUNZ->addItem(session().TraduzioneTesto(QStringLiteral("Solleciti"), 52907),
                               QStringLiteral("KEY_SOLL"));
    } else {
        ui().GRID_ORD->setFeatureEnabled(erpctl::Grid::SelectionFeatureKey, false);
    }
    ui().CMD_FUNZ->addItem(session().TraduzioneTesto(QStringLiteral("Situazione giacenze"), 52787),
                           QStringLiteral("KEY_GIAC"));
    ui().CMD_FUNZ->addItem(session().TraduzioneTesto(QStringLiteral("Storico solleciti"), 91033),
                           QStringLiteral("KEY_STSOLL"));
    // Undoing writes dates back, so it is offered where dates can be recalculated.
    if (modifica)
        ui().CMD_FUNZ->addItem(
            session().TraduzioneTesto(QStringLiteral("Annulla ultimo ricalcolo date"), 90807),
            QStringLiteral("KEY_ANNRIC"));
    ui().CMD_FUNZ->show();
    ui().CMD_DATE->setVisible(modifica);
    m_screen.detail().ImpostaModalita(modifica);
}

void ScheduleResults::ApriSchedulazione(const QString& statement) {
    RilasciaSchedulazione();
    if (!session().connection())
        throw RuntimeException({RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"),
                                FRMPD_KVB_SCADLAV::ScreenName});

    session().setCurrentStatement(statement);
    RicordaLettura();
    // The first rows are read now and shown at once; the rest follow while the window is idle.
    // Whatever needs every row (the function menu's checks, sorts, searches, totals, exports,
    // the batch jobs) waits for them: the record set reads the rest before it answers.
    auto rs = std::make_unique<db::Recordset>();
    if (!rs->openInSlices(statement, *session().connection(), db::LockType::Optimistic, kRigheIniziali))
        failRecordset(*rs);
    m_rsScadlav = std::move(rs);
    MostraSchedulazione();
}

void ScheduleResults::MostraSchedulazione() {
    if (!m_modelOrd) {
        m_modelOrd = std::make_unique<db::RecordsetModel>();
        QObject::connect(m_modelOrd.get(), &db::RecordsetModel::fetchProgress, &m_screen,
                         [this](int rows) { MostraLettura(rows, false); });
        QObject::connect(m_modelOrd.get(), &db::RecordsetModel::fetchFinished, &m_screen,
                         [this](int rows) { MostraLettura(rows, true); });
        QObject::connect(m_modelOrd.get(), &db::RecordsetModel::fetchFailed, &m_screen,
                         [this](const QString&) { LetturaFallita(); });
    }
    m_modelOrd->setRecordset(m_rsScadlav.get());
    ui().GRID_ORD->bind(m_modelOrd.get());
    // New rows start at the top, not where the previous ones were scrolled to (which would also
    // read on at once the rows down to there).
    ui().GRID_ORD->scrollToTop();
    ui().GRID_ORD->show();
    m_modelOrd->setFetchInBackground(true);
    if (m_rsScadlav->isFetching())
        MostraLettura(m_rsScadlav->fetchedCount(), false);
}

void ScheduleResults::MostraLettura(int rows, bool finita) {
    Cinterface* module = session().module();
    IStatusBar* bar = module ? module->Cinterface_StatusBar() : nullptr;
    if (!bar)
        return;
    if (finita) {
        bar->endProgress();
        bar->setPanelText(IStatusBar::ProgressPanel, QString());
        m_mostrataLettura.invalidate();
        return;
    }
    // A few times a second is enough for the eye; every slice would only cost repaints.
    if (m_mostrataLettura.isValid() && m_mostrataLettura.elapsed() < 250)
        return;
    m_mostrataLettura.start();
    bar->setPanelText(IStatusBar::ProgressPanel,
                      session().TraduzioneTesto(QStringLiteral("Lettura delle fasi: %1 righe"), 91751,
                                                Value(QList<Value>{m_screen.locale().toString(rows)})));
    bar->setProgress(1, 1, rows, -1);
}

void ScheduleResults::LetturaFallita() {
    // The rows read before the failure are not the schedule: back to the parameters, with
    // the reason.
    const RuntimeError error =
        m_rsScadlav
            ? engine::recordsetError(*m_rsScadlav, FRMPD_KVB_SCADLAV::ScreenName)
            : RuntimeError{RuntimeError::ApplicationDefined, QString(), FRMPD_KVB_SCADLAV::ScreenName};
    MostraLettura(0, true);
    m_outcome = {ActionOutcome::Status::Failed, error.description};
    if (m_screen.viewMode() == FRMPD_KVB_SCADLAV::ViewMode::Results)
        SequenzaParametri();
    session().MostraErroreOperazione(error);
}

// Called as well before a handler writes through the screen's connection: while that connection
// reads in slices it holds a snapshot of the database, and once somebody else has committed a
// change after it, the snapshot cannot write ("database locked").
bool ScheduleResults::CompletaLettura() {
    // Nothing shown, or every row read: nothing to do.
    if (!m_rsScadlav || !m_rsScadlav->isFetching())
        return true;
    return m_rsScadlav->fetchAll();
}

void ScheduleResults::SequenzaParametri() {
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
        if (ui().CHK_MODIFICA->valueText() == kModifica)
            session().EseguiSQL(kAzzeraSelezione, db::kCmdTextNoRecords);
    });
    step([this] { session().RimuoviRegistrazione(); });
    ui().GRID_ORD->hide();
    m_screen.detail().ChiudiDettaglio();
    ui().FrameCLI->hide();
    ui().CMD_ELABORA->setText(session().TraduzioneTesto(QStringLiteral("Visualizza"), 60970));
    m_screen.MostraVistaParametri();
    ui().Timer1->start();
    if (failure)
        session().MostraErroreOperazione(*failure);
}

void ScheduleResults::CBO_ORD_Click() {
    if (ui().CBO_ORD->isHidden() || !m_screen.isInitialized())
        return;
    try {
        ui().GRID_ORD->unbind();
        if (!m_screen.parameters().ControllaParametri())
            return;
        const std::optional<QString> statement =
            schedule_sql::resortStatement(m_screen.parameters().LeggiParametri());
        if (!statement)
            return;
        if (!RiordinaInMemoria(*statement))
            ApriSchedulazione(*statement);
    } catch (...) {
        session().MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

void ScheduleResults::CMD_FUNZ_ItemClick(const QString& key) {
    try {
        if (key == QLatin1String("KEY_IMP"))
            MostraImpegnatoCliente();
        else if (key == QLatin1String("KEY_PROP"))
            ApriProposte();
        else if (key == QLatin1String("KEY_SOLL"))
            ApriSolleciti();
        else if (key == QLatin1String("KEY_GIAC"))
            InvocaConsoleProgressivi();
        else if (key == QLatin1String("KEY_STSOLL"))
            MostraStoricoSolleciti();
        else if (key == QLatin1String("KEY_ANNRIC"))
            m_screen.recalculation().AnnullaUltimoRicalcolo();
    } catch (...) {
        session().MostraErroreOperazione(RuntimeError::fromException(std::current_exception()));
    }
}

void ScheduleResults::ApriProposte() {
    if (std::unique_ptr<db::Recordset> righe = RigheProposte())
        ApriSchermataProposte(std::move(righe));
}

std::unique_ptr<db::Recordset> ScheduleResults::RigheProposte() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen())
        return nullptr;
    std::unique_ptr<db::Recordset> righe = m_rsScadlav->clone();
    // Codes 1 and 2: the previous phase's stock covers the quantity to send, fully or in part.
    if (!righe || !righe->setFilter(QStringLiteral("CTRL_QTA < 3 ")))
        failRecordset(righe ? *righe : *m_rsScadlav);
    if (righe->recordCount() == 0) {
        session().QRX_MSGBOX(
            QStringLiteral("Nessuna giacenza in fase da inviare presente nei limiti selezionati !!"), 78503,
            msgbox::Information, m_screen.windowTitle());
        return nullptr;
    }
    return righe;
}

void ScheduleResults::ApriSolleciti() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen())
        return;
    std::unique_ptr<db::Recordset> righe = m_rsScadlav->clone();
    // Codes 2 and 3: work running or overdue at the subcontractor or department.
    if (!righe || !righe->setFilter(QStringLiteral("SOLL > 1 AND SOLL < 4 ")))
        failRecordset(righe ? *righe : *m_rsScadlav);
    if (righe->recordCount() == 0) {
        session().QRX_MSGBOX(
            QStringLiteral("Nessuna giacenza da sollecitare presente nei limiti selezionati !!"), 78514,
            msgbox::Information, m_screen.windowTitle());
        return;
    }
    ApriSchermataSolleciti(std::move(righe));
    // The reminder screen changes marks; the grid shows the rows as it left them.
    if (!m_rsScadlav->requery())
        failRecordset(*m_rsScadlav);
}

void ScheduleResults::ApriSchermataProposte(std::unique_ptr<db::Recordset> righe) {
    // The rows stay with the schedule screen; the proposals screen shows them until it closes.
    m_righeProposte = std::move(righe);
    auto* proposte = new FRMPD_KVB_PROP(&m_screen);
    proposte->ConnessioneChiamante = session().connection();
    proposte->LogErrori = session().errorLog();
    proposte->ClsModulo = session().module();
    proposte->StringaConnessione = session().connectionString();
    proposte->CodiceDitta = session().companyCode();
    proposte->RigheProposte = m_righeProposte.get();
    proposte->exec();
}

void ScheduleResults::ApriSchermataSolleciti(std::unique_ptr<db::Recordset> righe) {
    // The rows stay reachable (reminderRows) while the screen is open; the screen works on a
    // cursor of its own over them, so that its marks reach the schedule grid's rows.
    m_righeSolleciti = std::move(righe);
    std::unique_ptr<db::Recordset> cursore = m_righeSolleciti->clone();
    if (!cursore || !cursore->setFilter(m_righeSolleciti->filter()))
        failRecordset(*m_righeSolleciti);
    QPointer<FRMPD_KVB_STSOLL> form = new FRMPD_KVB_STSOLL(&m_screen);
    form->ImpostaDati(session().connection(), session().errorLog(), session().module(),
                      session().connectionString(), session().companyCode(), 1, std::move(cursore));
    form->Form_Load();
    if (m_lavoroSolleciti) {
        form->Form_Activate();
        m_esitoSolleciti = form->EseguiLavoro(*m_lavoroSolleciti);
        if (form)
            form->close();
    } else {
        form->setModal(true);
        form->exec();
    }
    if (form)
        delete form.data();
    m_righeSolleciti.reset();
}

void ScheduleResults::MostraStoricoSolleciti() {
    // The reminders of the current row's supplier.
    const Value supplier = m_rsScadlav && m_rsScadlav->isOpen() && !m_rsScadlav->eof() && !m_rsScadlav->bof()
                               ? m_rsScadlav->value(QStringLiteral("PD5C_CLIFOR_CG44"))
                               : Value();
    // A department's row carries supplier 0.
    if (supplier.isEmptyOrNull() || supplier.toInt64().value_or(0) == 0) {
        session().QRX_MSGBOX(QStringLiteral("La riga non è di un fornitore."), 91032, msgbox::Information,
                             m_screen.windowTitle());
        return;
    }
    std::unique_ptr<db::Recordset> rows = LeggiStoricoFornitore(
        *session().connection(), session().companyCode(), supplier.toInt64().value_or(0));
    if (!rows)
        throw RuntimeException(
            engine::connectionError(*session().connection(), FRMPD_KVB_SCADLAV::ScreenName));
    StoricoSolleciti dialog(
        std::move(rows), [this](const QString& text, int id) { return session().TraduzioneTesto(text, id); },
        &m_screen);
    dialog.exec();
}

ActionOutcome ScheduleResults::EseguiSolleciti(const ReminderJob& job) {
    // "Solleciti" is offered in modification mode only: a job that was let in for viewing
    // (another planner holds modification mode) must not touch the marks that planner works on.
    if (!ui().CMD_FUNZ->itemKeys().contains(QStringLiteral("KEY_SOLL")))
        return {
            ActionOutcome::Status::Refused,
            session().TraduzioneTesto(
                QStringLiteral("\"Solleciti\" è disponibile solo in modifica: la schedulazione è aperta in "
                               "visualizzazione."),
                91855)};
    m_lavoroSolleciti = &job;
    m_esitoSolleciti = {ActionOutcome::Status::NoData, QString()};
    try {
        ApriSolleciti();
    } catch (...) {
        m_esitoSolleciti = {ActionOutcome::Status::Failed,
                            RuntimeError::fromException(std::current_exception()).description};
    }
    m_lavoroSolleciti = nullptr;
    return m_esitoSolleciti;
}

} // namespace scadlav
