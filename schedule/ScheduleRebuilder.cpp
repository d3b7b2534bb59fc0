#include "schedule/ScheduleRebuilder.h"

#include "engine/ScheduleRebuild.h"
#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/IStatusBar.h"
#include "module/sql/SqlText.h"
#include "platform/controls/DateField.h"
#include "schedule/AccessRegistry.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QPushButton>

namespace scadlav {

namespace {

const QString kRoutine = QStringLiteral("CMD_RICALCOLA_ButtonClick");

IStatusBar* statusBar(ScreenSession& session) {
    Cinterface* module = session.module();
    return module ? module->Cinterface_StatusBar() : nullptr;
}

// The status texts of the steps the planner sees (the other steps run under the text before),
// and every step counted on the status bar's progress indicator.
class StatusProgress : public engine::IRebuildProgress {
public:
    explicit StatusProgress(ScreenSession& session)
        : m_session(session), m_steps(statusBar(session), int(engine::RebuildStep::LastRebuildTime) + 1) {}
    void stepStarted(engine::RebuildStep step) override {
        m_steps.step(int(step) + 1);
        switch (step) {
        case engine::RebuildStep::DropWorkingTables:
            m_session.MostraStato(QStringLiteral("Estrazione documenti ......"), 78532);
            break;
        case engine::RebuildStep::QuantityInWork:
            m_session.MostraStato(QStringLiteral("Calcolo quantità in lavorazione ......"), 78533);
            break;
        case engine::RebuildStep::DeleteSchedule:
            m_session.MostraStato(QStringLiteral("Estrazione fasi ordini di lavoro ......"), 78534);
            break;
        case engine::RebuildStep::PreviousPhases:
            m_session.MostraStato(QStringLiteral("Elaborazione fase precedente ......"), 78535);
            break;
        default:
            break;
        }
    }

private:
    ScreenSession& m_session;
    ProgressSteps m_steps;
};

// The company's subcontract warehouse, a parameter of the quantity-in-work procedure.
QString magazzinoContoLavoro(ScreenSession& session) {
    Cinterface* module = session.module();
    IGlobalContext* global = module ? module->Cinterface_ClsGlobal() : nullptr;
    if (!global)
        throw RuntimeException({RuntimeError::ObjectNotSet,
                                QStringLiteral("Contesto globale non disponibile"),
                                FRMPD_KVB_SCADLAV::ScreenName});
    return RTrimN(Value(global->subcontractWarehouse()));
}

// The message of a rejected insert: the anomaly of two phases with one sequence, or the error.
QString testoAnomalia(ScreenSession& session, const db::DbError& first) {
    const QString notCompleted = session.TraduzioneTesto(QStringLiteral("Operazione non completata."), 42158);
    if (first.number == engine::IntegrityViolation)
        return QStringLiteral("Anomalia dovuta alla presenza di righe ordine con fasi di lavoro diverse "
                              "ma con stesso numero di sequenza.") +
               CRLF + notCompleted + CRLF + CRLF + QStringLiteral("Description: ") + first.description;
    return notCompleted + CRLF + CRLF + QStringLiteral("Error: ") + QString::number(first.number) + CRLF +
           QStringLiteral("Description: ") + first.description;
}

} // namespace

ScheduleRebuilder::ScheduleRebuilder(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

ScheduleRebuilder::~ScheduleRebuilder() = default;

bool ScheduleRebuilder::RegistraRicalcolo() {
    return m_screen.session().accessRegistry().ControlloRicalcolo();
}

void ScheduleRebuilder::CMD_RICALCOLA_ButtonClick() {
    ScheduleControls& ui = m_screen.controls();
    ScreenSession& session = m_screen.session();
    const QString title = m_screen.windowTitle();
    // Button, pointer and registry back as they were before the rebuild started.
    const auto restore = [&] {
        session.RimuoviRegistrazione();
        ui.CMD_RICALCOLA->setEnabled(true);
        m_screen.unsetCursor();
    };
    const auto ended = [this](ActionOutcome::Status status, const QString& description = QString()) {
        m_outcome = {status, description};
    };
    bool started = false;
    ended(ActionOutcome::Status::Failed);

    try {
        if (!session.connection())
            throw RuntimeException({RuntimeError::ObjectNotSet,
                                    QStringLiteral("Connessione non aperta"),
                                    FRMPD_KVB_SCADLAV::ScreenName,
                                    {}});

        // The minimum date: empty, or no date at all, stops here with nothing changed.
        const QString dateText = RTrimN(Value(ui.TXT_DATAMIN->text()));
        const Value minDate =
            dateText.isEmpty() ? Value() : session.FormattaValoreSQL(Value(dateText), sqlkind::Date, true);
        if (!minDate.isText() || minDate.toText() == QLatin1String("null")) {
            const QString text =
                QStringLiteral("Inserire una data minima per il reperimento degli ordini !!");
            session.QRX_MSGBOX(text, 78509, msgbox::Information, title);
            ended(ActionOutcome::Status::Cancelled, session.TraduzioneTesto(text, 78509));
            return;
        }

        if (session.QRX_MSGBOX(QStringLiteral("Eseguire ricalcolo con i limiti selezionati ?"), 78510,
                               msgbox::YesNo, title) == msgbox::ResultNo) {
            ended(ActionOutcome::Status::Cancelled);
            return;
        }

        const engine::RebuildInputs inputs = m_screen.parameters().LeggiParametriRicalcolo(minDate.toText());
        // The order states are checked before anything changes, so that a refused rebuild
        // never leaves the schedule table empty or the registry row behind.
        if (!engine::commonConditions(inputs)) {
            const QString text = QStringLiteral("Selezionare almeno uno stato del documento da visualizzare");
            session.QRX_MSGBOX(text, 51499, msgbox::Information, title);
            ended(ActionOutcome::Status::Cancelled, session.TraduzioneTesto(text, 51499));
            return;
        }

        if (!RegistraRicalcolo()) {
            ended(ActionOutcome::Status::Refused);
            return;
        }
        started = true;

        ui.CMD_RICALCOLA->setEnabled(false);
        m_screen.setCursor(Qt::WaitCursor);
        // The rebuild rewrites every row: a schedule still held from an earlier "Visualizza" goes.
        m_screen.results().RilasciaSchedulazione();

        engine::ScheduleRebuild operation(*session.connection(), session.workTables());
        // The indicator goes when the steps are over, before the closing message.
        const engine::RebuildOutcome outcome = [&] {
            StatusProgress progress(session);
            return operation.run(inputs, magazzinoContoLavoro(session), &progress);
        }();
        session.setCurrentStatement(operation.lastStatement());

        switch (outcome.status) {
        case engine::RebuildOutcome::Status::InsertRejected: {
            session.MostraStato(QStringLiteral("Operazione non completata."), 42158,
                        Value(QList<Value>{Value(QString())}));
            const QString message = testoAnomalia(session, outcome.insertError);
            session.QRX_MSGBOX(message, 0, msgbox::Critical, title);
            session.connection()->clearErrors();
            restore();
            started = false;
            session.MostraStato(QStringLiteral("Pronto ......"), 78527);
            ended(ActionOutcome::Status::Failed, outcome.insertError.description);
            return;
        }
        case engine::RebuildOutcome::Status::Failed:
            throw RuntimeException(outcome.error);
        case engine::RebuildOutcome::Status::NoData:
        case engine::RebuildOutcome::Status::Done:
            break;
        }

        restore();
        started = false;
        session.MostraStato(QStringLiteral("Pronto ......"), 78527);
        if (outcome.status == engine::RebuildOutcome::Status::Done) {
            ui.TXT_DATARIC->setDate(outcome.rebuiltAt->date());
            ui.CMD_ELABORA->setEnabled(true);
            session.QRX_MSGBOX(QStringLiteral("Ricalcolo terminato correttamente."), 78513,
                               msgbox::Information, title);
            ended(ActionOutcome::Status::Done);
        } else {
            // Nothing to show until the next rebuild finds rows.
            ui.CMD_ELABORA->setEnabled(false);
            session.QRX_MSGBOX(QStringLiteral("Nessun dato presente nei limiti selezionati."), 78512,
                               msgbox::Information, title);
            ended(ActionOutcome::Status::NoData);
        }
    } catch (...) {
        RuntimeError error = RuntimeError::fromException(std::current_exception());
        if (error.source.isEmpty())
            error.source = FRMPD_KVB_SCADLAV::ScreenName;
        ended(ActionOutcome::Status::Failed, error.description);
        session.ScriviErroreLog(FRMPD_KVB_SCADLAV::ScreenName, kRoutine, error);
        // The user can try again at once: the button comes back, the pointer is restored and
        // the registry row no longer blocks the others.
        if (started) {
            try {
                restore();
            } catch (...) {
                ui.CMD_RICALCOLA->setEnabled(true);
                m_screen.unsetCursor();
            }
        }
    }
}

void ScheduleRebuilder::LeggiDataRicalcolo() {
    ScheduleControls& ui = m_screen.controls();
    m_rsDataRicalcolo = m_screen.session().EseguiSQL(engine::LastRebuildSql);
    if (m_rsDataRicalcolo && m_rsDataRicalcolo->isOpen() && m_rsDataRicalcolo->recordCount() != 0) {
        m_rsDataRicalcolo->moveFirst();
        // The date part only: the field shows the day of the last rebuild.
        const QString text = RTrimN(m_rsDataRicalcolo->value(QStringLiteral("PD5C_DATAELAB"))).left(10);
        const std::optional<QDateTime> date = Value(text).toDateTime();
        if (!date)
            throw RuntimeException({RuntimeError::TypeMismatch,
                                    QStringLiteral("Data ricalcolo non valida: ") + text,
                                    FRMPD_KVB_SCADLAV::ScreenName});
        ui.TXT_DATARIC->setDate(date->date());
    } else {
        // No schedule to show until a rebuild.
        ui.CMD_ELABORA->setEnabled(false);
    }
}

void ScheduleRebuilder::release() {
    m_rsDataRicalcolo.reset();
}

} // namespace scadlav
