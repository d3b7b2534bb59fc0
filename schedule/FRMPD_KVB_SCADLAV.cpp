// The schedule screen's lifecycle (load, first activation, unload), its two views, the wiring of
// the controls to the concerns' handlers, and the actions batch jobs press.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/services/IGlobalContext.h"
#include "module/services/INavigator.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FlagCheckBox.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"
#include "schedule/AccessRegistry.h"
#include "schedule/DateRecalculation.h"
#include "schedule/DetailTimeline.h"
#include "schedule/OrderDetail.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleRebuilder.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

namespace scadlav {

FRMPD_KVB_SCADLAV::FRMPD_KVB_SCADLAV(QWidget* parent)
    : ModuleScreen(parent), m_ui(std::make_unique<ScheduleControls>()),
      m_session(
          std::make_unique<ScreenSession>([this] { return ClsModulo; }, [this] { return windowTitle(); })),
      m_parameters(std::make_unique<ParametersPanel>(*this)),
      m_results(std::make_unique<ScheduleResults>(*this)),
      m_rebuilder(std::make_unique<ScheduleRebuilder>(*this)),
      m_detail(std::make_unique<OrderDetail>(*this)),
      m_recalc(std::make_unique<DateRecalculation>(*this)),
      m_timeline(std::make_unique<DetailTimeline>(*this)) {
    setObjectName(ScreenName);
    m_ui->build(this);
    connectEvents();
    // Load: top-left corner, design size.
    move(0, 0);
    resize(ScheduleControls::scaledX(this, DesignWidthTwips),
           ScheduleControls::scaledY(this, DesignHeightTwips));
}

FRMPD_KVB_SCADLAV::~FRMPD_KVB_SCADLAV() = default;

void FRMPD_KVB_SCADLAV::connectEvents() {
    ScheduleControls& ui = *m_ui;
    connect(ui.cmdStato, &QToolButton::clicked, this, [this] { m_parameters->cmdStato_Click(); });
    connect(ui.CMD_CHIUDICLI, &QPushButton::clicked, this, [this] { CMD_CHIUDICLI_Click(); });
    connect(ui.SPLITTER, &erpctl::SplitPane::splitChanged, this, [this] { SPLITTER_Changed(); });
    connect(ui.Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(ui.EnhancedQuery, &erpctl::EnhancedQuery::StartDecode, this,
            [this](erpctl::DecodeRequest& request) { m_parameters->EnhancedQuery_StartDecode(request); });
    connect(ui.EnhancedQuery, &erpctl::EnhancedQuery::StartLookup, this,
            [this](erpctl::LookupRequest& request) { m_parameters->EnhancedQuery_StartLookup(request); });
    connect(ui.CMD_RICALCOLA, &QPushButton::clicked, this,
            [this] { m_rebuilder->CMD_RICALCOLA_ButtonClick(); });
    connect(ui.CMD_ELABORA, &QPushButton::clicked, this, [this] { m_results->CMD_ELABORA_ButtonClick(); });
    connect(ui.CBO_ORD, &erpctl::CodeCombo::codeChanged, this, [this] { m_results->CBO_ORD_Click(); });
    // The order already shown, chosen again, sorts again (by its re-sort column, which can
    // differ from the order "Visualizza" gave).
    connect(ui.CBO_ORD, &erpctl::CodeCombo::codeChosenAgain, this, [this] { m_results->CBO_ORD_Click(); });
    connect(ui.CMD_DETT, &QToolButton::clicked, this, [this] { m_detail->CMD_DETT_Click(); });
    connect(ui.CMD_DATE, &QPushButton::clicked, this, [this] { m_recalc->CMD_DATE_Click(); });
    connect(ui.GRID_DETT, &erpctl::Grid::beforeEdit, this,
            [this](int row, const QString& field, bool& cancel) {
                m_detail->GRID_DETT_OnEditing(row, field, cancel);
            });
    connect(ui.GRID_DETT, &erpctl::Grid::validateCell, this,
            [this](int, const QString& field, const QVariant& value, bool& cancel, QString& message) {
                m_detail->GRID_DETT_ValidateCell(field, value, cancel, message);
            });
    connect(ui.GRID_DETT, &erpctl::Grid::afterEdit, this,
            [this](int row, const QString& field) { m_detail->GRID_DETT_OnEdited(row, field); });
    connect(ui.GRID_DETT, &erpctl::Grid::validate, this,
            [this](bool& cancel) { m_detail->GRID_DETT_Validate(cancel); });
    connect(ui.GRID_DETT, &erpctl::Grid::cellClicked, this,
            [this](int row, const QString& field) { m_detail->GRID_DETT_Click(row, field); });
    m_timeline->connectControls();
    connect(ui.GRID_ORD, &erpctl::Grid::rowChanged, this,
            [this](int row) { m_results->GRID_ORD_RowChanged(row); });
    connect(ui.CMD_FUNZ, &erpctl::MenuButton::itemClicked, this,
            [this](const QString& key) { m_results->CMD_FUNZ_ItemClick(key); });
}

void FRMPD_KVB_SCADLAV::changeEvent(QEvent* event) {
    ModuleScreen::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FRMPD_KVB_SCADLAV::Form_Activate() {
    if (m_initialized || isUnloaded())
        return;
    try {
        PrimaAttivazione();
    } catch (...) {
        // The flag stays false: the next activation starts the initialisation again.
        m_session->ScriviLogErrore(QStringLiteral("Form_Activate"),
                                   RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_SCADLAV::PrimaAttivazione() {
    ScheduleControls& ui = *m_ui;
    IGlobalContext* global = ClsModulo ? ClsModulo->Cinterface_ClsGlobal() : nullptr;
    if (!global)
        throw RuntimeException(
            {RuntimeError::ObjectNotSet, QStringLiteral("Contesto globale non disponibile"), ScreenName, {}});

    // The customer panel opens only from the function menu.
    ui.FrameCLI->hide();

    // The screen's own connection, handed to the module; who works for which company.
    m_session->open(*global);
    ClsModulo->Cinterface_SetConnection(m_session->connection());

    // Rows a previous screen of this user left behind (a crash, a lost connection).
    m_session->accessRegistry().PulisciRegistro();

    m_parameters->CreaServiziHost();
    m_parameters->CaricaCombo();
    m_parameters->CaricaStati();

    ui.EnhancedQuery->initialize(QVariant(int(m_session->companyCode())),
                                 QVariant(global->userValue().toText()), QVariant(m_session->userIdentity()),
                                 ClsModulo, LibraryName, m_session->connection(), true);
    m_parameters->ImpostaRigheEnhQuery();
    ui.EnhancedQuery->completeInitialization();

    setWindowTitle(m_session->TraduzioneTesto(QStringLiteral("Situazione fasi di lavorazione"), 81080));

    m_results->ImpostaGrigliaOrdini();
    m_results->ImpostaGrigliaDettaglio();
    m_timeline->ImpostaDiagramma();
    m_results->ImpostaGrigliaClienti();

    // The parameter view, in modification mode.
    ui.CMD_DATE->hide();
    ui.CMD_DETT->hide();
    ui.CBO_ORD->hide();
    ui.QRX_LABEL2->hide();
    ui.CMD_FUNZ->hide();
    ui.CHK_MODIFICA->setValueText(QStringLiteral("1"));

    m_rebuilder->LeggiDataRicalcolo();
    m_session->CreaNomiTabelleLavoro();

    // The grids wait, split 70 / 30, until the first "Visualizza".
    ui.SPLITTER->setSplitPercent(70);
    ui.SPLITTER->hide();
    ui.GRID_ORD->hide();
    ui.GRID_DETT->hide();

    m_initialized = true;
    m_viewMode = ViewMode::Parameters;

    ui.TXT_DATAMIN->setText(m_parameters->DataMinimaIniziale());
    ui.EnhancedQuery->setFocus();
}

void FRMPD_KVB_SCADLAV::onUnload() {
    // Each step runs even when the one before it failed: the screen never refuses to close.
    auto step = [](auto&& action) {
        try {
            action();
        } catch (...) {
        }
    };

    step([this] {
        if (m_session->connection() && m_session->connection()->isOpen())
            m_session->accessRegistry().RimuoviUtente();
    });
    step([this] {
        m_ui->EnhancedQuery->detach();
        m_ui->Timer1->stop();
        m_recalc->release();
        m_timeline->release();
        m_detail->release();
        m_results->release();
    });
    step([this] { m_parameters->RilasciaServiziHost(); });
    step([this] {
        // The host's references to the module are cleared.
        if (!ClsModulo)
            return;
        if (IGlobalContext* global = ClsModulo->Cinterface_ClsGlobal()) {
            if (global->currentModule() == ClsModulo)
                global->setCurrentModule(nullptr);
        }
        if (INavigator* navigator = ClsModulo->Cinterface_ActiveNavigator()) {
            if (navigator->currentModule() == ClsModulo)
                navigator->setCurrentModule(nullptr);
        }
    });
    step([this] {
        if (ClsModulo && ClsModulo->Cinterface_Connection() == m_session->connection())
            ClsModulo->Cinterface_SetConnection(nullptr);
        // Record sets opened on the connection go first; the connection closes with them.
        m_rebuilder->release();
        m_session->close();
    });
    step([this] {
        ActiveDll = nullptr;
        ClsModulo = nullptr;
    });
}

void FRMPD_KVB_SCADLAV::MostraVistaParametri() {
    ScheduleControls& ui = *m_ui;
    ui.SPLITTER->hide();
    ui.GRID_ORD->hide();
    ui.GRID_DETT->hide();
    ui.CBO_ORD->hide();
    ui.QRX_LABEL2->hide();
    ui.CMD_DETT->hide();
    ui.CMD_FUNZ->hide();
    ui.CMD_DATE->hide();
    ui.EnhancedQuery->show();
    ui.CHK_MODIFICA->show();
    ui.CMD_RICALCOLA->show();
    m_viewMode = ViewMode::Parameters;
}

void FRMPD_KVB_SCADLAV::MostraVistaRisultati() {
    ScheduleControls& ui = *m_ui;
    ui.EnhancedQuery->hide();
    ui.CHK_MODIFICA->hide();
    ui.CMD_RICALCOLA->hide();
    ui.lstStati->hide();
    ui.SPLITTER->show();
    ui.GRID_ORD->show();
    ui.CBO_ORD->show();
    ui.QRX_LABEL2->show();
    ui.CMD_DETT->show();
    ui.CMD_FUNZ->show();
    ui.CMD_DATE->setVisible(ui.CHK_MODIFICA->valueText() == QStringLiteral("1"));
    m_viewMode = ViewMode::Results;
}

void FRMPD_KVB_SCADLAV::resizeEvent(QResizeEvent* event) {
    ModuleScreen::resizeEvent(event);
    // After the controls followed the window, the split goes back to 70 / 30.
    if (m_ui->SPLITTER)
        m_ui->SPLITTER->setSplitPercent(70);
    if (m_ui->lstStati && m_ui->lstStati->isVisible())
        m_ui->placeStateList(this);
}

void FRMPD_KVB_SCADLAV::SPLITTER_Changed() {
    m_ui->Timer1->start();
}

void FRMPD_KVB_SCADLAV::Timer1_Timer() {
    ScheduleControls& ui = *m_ui;
    ui.Timer1->stop();
    // Once the split settled, both grids take the frame's width less its margins.
    const int width = ui.QRX_FRAME1->width() - ScheduleControls::scaledX(this, 100);
    if (width <= 0)
        return;
    ui.GRID_ORD->resize(width, ui.GRID_ORD->height());
    ui.DETT_AREA->resize(ui.GRID_ORD->width(), ui.DETT_AREA->height());
}

bool FRMPD_KVB_SCADLAV::canShow() const {
    return m_ui->CMD_ELABORA->isEnabled();
}

bool FRMPD_KVB_SCADLAV::canRebuild() const {
    return m_viewMode == ViewMode::Parameters && m_ui->CMD_RICALCOLA->isEnabled();
}

QDate FRMPD_KVB_SCADLAV::lastRebuildDay() const {
    return m_ui->TXT_DATARIC->date();
}

void FRMPD_KVB_SCADLAV::CMD_CHIUDICLI_Click() {
    m_ui->FrameCLI->hide();
}

QString FRMPD_KVB_SCADLAV::applyParameters(const JobParameters& p) {
    ScheduleControls& ui = *m_ui;
    if (p.minDate.isValid())
        ui.TXT_DATAMIN->setDate(p.minDate);
    if (!p.phaseType.isEmpty() && !ui.CBO_TIPOLAV->setText(p.phaseType))
        return m_session->TraduzioneTesto(QStringLiteral("Il tipo lavorazioni \"%1\" non è previsto."), 90420,
                                          Value(QList<Value>{p.phaseType}));
    if (p.states) {
        for (int state = 0; state <= 4; ++state)
            ui.lstStati->setChecked(QStringLiteral("K%1").arg(state), p.states->contains(state));
    }
    if (!p.sortCode.isEmpty() && !ui.CBO_ORD->setText(p.sortCode))
        return m_session->TraduzioneTesto(QStringLiteral("L'ordinamento \"%1\" non è previsto."), 90421,
                                          Value(QList<Value>{p.sortCode}));
    if (p.modify)
        ui.CHK_MODIFICA->setValueText(*p.modify ? QStringLiteral("1") : QStringLiteral("0"));
    for (const JobFilter& filter : p.filters) {
        if (ui.EnhancedQuery->rowOf(filter.field) < 0)
            return m_session->TraduzioneTesto(QStringLiteral("Il pannello filtri non ha il campo %1."), 90422,
                                              Value(QList<Value>{filter.field}));
        ui.EnhancedQuery->setFromValue(filter.field, filter.from);
        ui.EnhancedQuery->setToValue(filter.field, filter.to);
    }
    if (!ui.EnhancedQuery->isValid())
        return m_session->TraduzioneTesto(
            QStringLiteral("Correggere i filtri prima di visualizzare:\n%1"), 90402,
            Value(QList<Value>{ui.EnhancedQuery->validationErrors().join(QStringLiteral("; "))}));
    return QString();
}

ActionOutcome FRMPD_KVB_SCADLAV::runRebuild() {
    if (!m_initialized || !canRebuild())
        return {ActionOutcome::Status::Failed,
                m_session->TraduzioneTesto(
                    QStringLiteral("Il ricalcolo non è disponibile in questo momento."), 90423)};
    m_rebuilder->CMD_RICALCOLA_ButtonClick();
    return m_rebuilder->lastOutcome();
}

ActionOutcome FRMPD_KVB_SCADLAV::runShow() {
    if (!m_initialized || m_viewMode != ViewMode::Parameters)
        return {ActionOutcome::Status::Failed, QString()};
    if (!canShow())
        return {ActionOutcome::Status::NoData,
                m_session->TraduzioneTesto(QStringLiteral("Nessun dato presente nei limiti selezionati."),
                                           78512)};
    m_results->CMD_ELABORA_ButtonClick();
    // A job works on every row: the rows still to come are read before it goes on.
    if (m_results->lastOutcome().status == ActionOutcome::Status::Done)
        m_results->CompletaLettura();
    return m_results->lastOutcome();
}

ActionOutcome FRMPD_KVB_SCADLAV::runReminders(const ReminderJob& job) {
    if (!m_initialized || m_viewMode != ViewMode::Results)
        return {ActionOutcome::Status::Failed, QString()};
    return m_results->EseguiSolleciti(job);
}

const QAbstractItemModel* FRMPD_KVB_SCADLAV::shownRows() const {
    return m_viewMode == ViewMode::Results ? m_ui->GRID_ORD->boundModel() : nullptr;
}

// The outcome of a view a batch job asks for: a failing statement is a failure with its reason.
template <typename Action> static ActionOutcome viewOutcome(Action&& action) {
    try {
        return action();
    } catch (...) {
        return {ActionOutcome::Status::Failed,
                RuntimeError::fromException(std::current_exception()).description};
    }
}

ActionOutcome FRMPD_KVB_SCADLAV::runProposals() {
    if (!m_initialized || m_viewMode != ViewMode::Results)
        return {ActionOutcome::Status::Failed, QString()};
    return viewOutcome([this] { return m_results->PreparaProposte(); });
}

const QAbstractItemModel* FRMPD_KVB_SCADLAV::proposalRows() const {
    return m_results->proposalModel();
}

ActionOutcome FRMPD_KVB_SCADLAV::runCommitment(const QString& article) {
    if (!m_initialized)
        return {ActionOutcome::Status::Failed, QString()};
    return viewOutcome([this, &article] {
        m_results->ApriImpegnatoCliente(article);
        return ActionOutcome{ActionOutcome::Status::Done, QString()};
    });
}

const QAbstractItemModel* FRMPD_KVB_SCADLAV::commitmentRows() const {
    return m_results->commitmentModel();
}

ActionOutcome FRMPD_KVB_SCADLAV::runReschedule(const RescheduleRequest& request) {
    if (!m_initialized)
        return {ActionOutcome::Status::Failed, QString()};
    return m_recalc->reschedule(request);
}

ActionOutcome FRMPD_KVB_SCADLAV::runUndoReschedule() {
    if (!m_initialized)
        return {ActionOutcome::Status::Failed, QString()};
    m_recalc->AnnullaUltimoRicalcolo();
    return m_recalc->lastOutcome();
}

bool FRMPD_KVB_SCADLAV::exportWorkbook(const QString& path, QString& error) {
    if (m_viewMode != ViewMode::Results) {
        error = QStringLiteral("no schedule is shown");
        return false;
    }
    return m_results->EsportaGrigliaExcel(path, error);
}

} // namespace scadlav
