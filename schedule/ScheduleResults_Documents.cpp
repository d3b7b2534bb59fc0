// The documents behind a schedule row: the open customer orders asking for its article, shown in
// the customer panel under the grids, and the host's stock console on its article and option.
// Also the proposals' rows as the proposals screen orders them, for the batch export.
#include "schedule/ScheduleResults.h"

#include "engine/ConnectionError.h"
#include "engine/CustomerCommitment.h"
#include "module/contract/Cinterface.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IGlobalContext.h"
#include "module/services/INavigator.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IStatusBar.h"
#include "module/services/IStockConsole.h"
#include "module/sql/SqlText.h"
#include "platform/controls/Grid.h"
#include "platform/controls/NumberPicture.h"
#include "proposals/FRMPD_KVB_PROP.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace scadlav {

namespace {

const QString kConsoleModule = QStringLiteral("MGUO_KVB_PORTORD");
const QString kConsoleRoutine = QStringLiteral("InvocaConsoleProgressivi");

// The hourglass while an action of the screen runs; the default pointer again however it ends.
class Hourglass {
public:
    explicit Hourglass(QWidget& screen) : m_screen(screen) { m_screen.setCursor(Qt::WaitCursor); }
    ~Hourglass() { m_screen.unsetCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

private:
    QWidget& m_screen;
};

void mostraStato(ScreenSession& session, const QString& text) {
    Cinterface* module = session.module();
    IStatusBar* bar = module ? module->Cinterface_StatusBar() : nullptr;
    if (!bar)
        return;
    bar->setPanelText(IStatusBar::ProgressPanel, text);
    bar->repaint();
}

} // namespace

void ScheduleResults::MostraImpegnatoCliente() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen() || m_rsScadlav->eof() || m_rsScadlav->bof())
        throw RuntimeException({RuntimeError::ApplicationDefined,
                                session().TraduzioneTesto(
                                    QStringLiteral("Nessuna riga della schedulazione selezionata."), 91212),
                                FRMPD_KVB_SCADLAV::ScreenName});
    ApriImpegnatoCliente(RTrimN(m_rsScadlav->value(QStringLiteral("PD5C_CODART_MG66"))));
}

void ScheduleResults::ApriImpegnatoCliente(const QString& article) {
    Hourglass hourglass(m_screen);
    const QString statement = schedule_sql::customerCommitmentStatement(article);
    std::unique_ptr<db::Recordset> rs;
    try {
        rs = session().EseguiSQL(statement, -1);
    } catch (const RuntimeException& e) {
        // The code goes into the statement as it is, so a quote in it breaks the statement:
        // the planner is told why before the server's own words.
        if (!article.contains(QLatin1Char('\'')))
            throw;
        RuntimeError error = e.error();
        error.description =
            session().TraduzioneTesto(
                QStringLiteral(
                    "Il codice articolo %1 contiene un apice: gli ordini cliente non si possono leggere."),
                91900, Value(QList<Value>{article})) +
            QLatin1Char('\n') + error.description;
        throw RuntimeException(error);
    }

    // The open quantity of every line listed, whatever company it belongs to.
    Decimal total;
    const int quantity = rs->fieldIndex(QStringLiteral("VFW_QTA1RES"));
    for (int row = 0, count = rs->recordCount(); quantity >= 0 && row < count; ++row)
        total = total + rs->valueAt(row, quantity).toDecimal().value_or(Decimal());

    ui().TXT_ARTIC->setText(article);
    ui().GRID_CLI->unbind();
    if (!m_modelCli) {
        m_modelCli = std::make_unique<db::RecordsetModel>();
        m_modelCli->setEditable(false);
    }
    m_modelCli->setRecordset(rs.get());
    m_rsClienti = std::move(rs);
    ui().GRID_CLI->bind(m_modelCli.get());
    m_totaleClienti = total;
    const QString shown = erpctl::NumberPicture(QStringLiteral("###,###,###,##0.00"))
                              .formatDecimal(total.toString(), ui().GRID_CLI->locale());
    ui().LBL_TOTCLI->setText(session().TraduzioneTesto(QStringLiteral("Totale da evadere: %1"), 91211,
                                                       Value(QList<Value>{shown})));
    ui().FrameCLI->show();
}

const QAbstractItemModel* ScheduleResults::commitmentModel() const {
    return m_rsClienti ? m_modelCli.get() : nullptr;
}

void ScheduleResults::InvocaConsoleProgressivi() {
    if (!m_rsScadlav || !m_rsScadlav->isOpen() || m_rsScadlav->eof() || m_rsScadlav->bof())
        return;
    m_screen.setCursor(Qt::WaitCursor);
    mostraStato(session(), session().TraduzioneTesto(QStringLiteral("Ricerca progressivi in corso"), 91210) +
                               QStringLiteral("..."));
    try {
        if (!m_console) {
            IObjectFactory* factory = HostRuntime::objectFactory();
            m_console = factory ? factory->create<IStockConsole>(classnames::StockConsole) : nullptr;
            if (!m_console)
                throw RuntimeException(
                    {RuntimeError::CannotCreateObject,
                     QStringLiteral("Impossibile creare l'oggetto ") + classnames::StockConsole,
                     FRMPD_KVB_SCADLAV::ScreenName});
        }
        Cinterface* module = session().module();
        if (!module)
            throw RuntimeException({RuntimeError::ObjectNotSet, QStringLiteral("Modulo non impostato"),
                                    FRMPD_KVB_SCADLAV::ScreenName});
        // The console works on behalf of the module, which the host must not treat as active
        // meanwhile; the hand-over is made twice, as the console expects it.
        module->Cinterface_LetIsActive(false);
        m_console->setModule(module);
        module->Cinterface_LetIsActive(false);
        m_console->setModule(module);
        m_console->configure(10, 1100, true);
        m_console->inquire(RTrimN(m_rsScadlav->value(QStringLiteral("PD5C_CODART_MG66"))),
                           RTrimN(m_rsScadlav->value(QStringLiteral("PD5C_OPZIONE_MG5E"))));
        m_console->setModule(nullptr);
        m_console->show();
        module->Cinterface_LetIsActive(true);
        if (IGlobalContext* global = module->Cinterface_ClsGlobal())
            global->setCurrentModule(module);
        if (INavigator* navigator = module->Cinterface_ActiveNavigator())
            navigator->setCurrentModule(module);
    } catch (...) {
        session().ScriviErroreLog(kConsoleModule, kConsoleRoutine,
                                  RuntimeError::fromException(std::current_exception()));
        m_screen.unsetCursor();
        return;
    }
    m_screen.unsetCursor();
    mostraStato(session(), session().TraduzioneTesto(QStringLiteral("Pronto"), 45817));
}

ActionOutcome ScheduleResults::PreparaProposte() {
    std::unique_ptr<db::Recordset> righe = RigheProposte();
    if (!righe)
        return {ActionOutcome::Status::NoData,
                session().TraduzioneTesto(
                    QStringLiteral("Nessuna giacenza in fase da inviare presente nei limiti selezionati !!"),
                    78503)};
    if (!FRMPD_KVB_PROP::OrdinaProposte(*righe))
        return {ActionOutcome::Status::Failed, righe->lastErrorText()};
    if (!m_modelProposte) {
        m_modelProposte = std::make_unique<db::RecordsetModel>();
        m_modelProposte->setEditable(false);
    }
    m_modelProposte->setRecordset(righe.get());
    m_righeProposte = std::move(righe);
    return {ActionOutcome::Status::Done, QString()};
}

const QAbstractItemModel* ScheduleResults::proposalModel() const {
    return m_righeProposte && m_modelProposte && m_modelProposte->recordset() == m_righeProposte.get()
               ? m_modelProposte.get()
               : nullptr;
}

} // namespace scadlav
