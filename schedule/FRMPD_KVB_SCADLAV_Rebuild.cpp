// The rebuild of the schedule table: checks, registry, working tables, the quantity-in-work
// procedure, the delete and insert of every phase, the second quantity pass, the per-row
// completion of references and previous phases, and the end of the run. The statements
// themselves are built in engine/RebuildStatements; this file only sequences them.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "engine/PhaseReferencePass.h"
#include "engine/RebuildStatements.h"
#include "module/contract/Cinterface.h"
#include "module/db/Command.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IStatusBar.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"

#include <QPushButton>

namespace scadlav {

namespace {

constexpr std::int32_t kInformation = 64;
constexpr std::int32_t kYesNo = 4;
constexpr std::int32_t kCritical = 16;
constexpr std::int32_t kAnswerNo = 7;

const QString kRoutine = QStringLiteral("CMD_RICALCOLA_ButtonClick");

[[noreturn]] void failFromConnection(db::Connection& connection) {
    const auto& errors = connection.errors();
    RuntimeError error;
    error.number =
        errors.isEmpty() ? RuntimeError::ApplicationDefined : static_cast<int>(errors.last().number);
    error.description = connection.lastErrorText();
    error.source = FRMPD_KVB_SCADLAV::ScreenName;
    throw RuntimeException(error);
}

// Panel 2 of the host's status bar, painted at once.
void mostraStato(const FRMPD_KVB_SCADLAV& screen, const QString& text) {
    IStatusBar* bar = screen.ClsModulo ? screen.ClsModulo->Cinterface_StatusBar() : nullptr;
    if (!bar)
        return;
    bar->setPanelText(IStatusBar::ProgressPanel, text);
    bar->repaint();
}

// The company's subcontract warehouse, a parameter of the quantity-in-work procedure.
QString magazzinoContoLavoro(const FRMPD_KVB_SCADLAV& screen) {
    IGlobalContext* global = screen.ClsModulo ? screen.ClsModulo->Cinterface_ClsGlobal() : nullptr;
    if (!global)
        throw RuntimeException({RuntimeError::ObjectNotSet,
                                QStringLiteral("Contesto globale non disponibile"),
                                FRMPD_KVB_SCADLAV::ScreenName});
    return RTrimN(Value(global->subcontractWarehouse()));
}

} // namespace

void FRMPD_KVB_SCADLAV::CMD_RICALCOLA_ButtonClick() {
    const QString title = windowTitle();
    const auto status = [this](const QString& text, std::int32_t id, const Value& parameters = Value()) {
        mostraStato(*this, TraduzioneTesto(text, id, parameters));
    };
    // Lets go of the working result set, unbinding the schedule grid first so that its model
    // never reads a released record set.
    const auto releaseWorkingSet = [this] {
        if (!m_rsScadlav)
            return;
        if (auto* model = qobject_cast<db::RecordsetModel*>(GRID_ORD->boundModel());
            model && model->recordset() == m_rsScadlav.get())
            model->setRecordset(nullptr);
        if (m_rsScadlav->isOpen())
            m_rsScadlav->close();
        m_rsScadlav.reset();
    };
    // Button, pointer and registry back as they were before the rebuild started.
    const auto restore = [this] {
        RimuoviRegistrazione();
        CMD_RICALCOLA->setEnabled(true);
        unsetCursor();
    };
    bool started = false;

    try {
        if (!m_connection)
            throw RuntimeException(
                {RuntimeError::ObjectNotSet, QStringLiteral("Connessione non aperta"), ScreenName});

        // The minimum date: empty, or no date at all, stops here with nothing changed.
        const QString dateText = RTrimN(Value(TXT_DATAMIN->text()));
        const Value minDate =
            dateText.isEmpty() ? Value() : FormattaValoreSQL(Value(dateText), sqlkind::Date, true);
        if (!minDate.isText() || minDate.toText() == QLatin1String("null")) {
            QRX_MSGBOX(QStringLiteral("Inserire una data minima per il reperimento degli ordini !!"), 78509,
                       kInformation, title);
            return;
        }

        if (QRX_MSGBOX(QStringLiteral("Eseguire ricalcolo con i limiti selezionati ?"), 78510, kYesNo,
                       title) == kAnswerNo)
            return;

        const WorkTableNames& names = m_workTables;
        engine::RebuildTables tables{names.TabODL,        names.TempDati,       names.TempDatiGRP,
                                     names.TestateODLOCL, names.DocumCambioCod, names.DocumFase,
                                     names.TabElab};
        engine::RebuildInputs inputs;
        inputs.company = m_companyCode;
        inputs.minDateLiteral = minDate.toText();
        inputs.phaseType = CBO_TIPOLAV->text();
        inputs.filterCondition = EnhancedQuery->conditionText();
        if (cmdStato->isEnabled())
            inputs.checkedStates = lstStati->checkedKeys();

        // The order states are checked before anything changes, so that a refused rebuild
        // never leaves the schedule table empty or the registry row behind.
        const std::optional<QString> common = engine::commonConditions(inputs);
        if (!common) {
            QRX_MSGBOX(QStringLiteral("Selezionare almeno uno stato del documento da visualizzare"), 51499,
                       kInformation, title);
            return;
        }

        if (!RegistraRicalcolo())
            return;
        started = true;

        CMD_RICALCOLA->setEnabled(false);
        setCursor(Qt::WaitCursor);
        status(QStringLiteral("Estrazione documenti ......"), 78532);

        for (const QString* table : {&tables.TabODL, &tables.TempDati, &tables.TempDatiGRP,
                                     &tables.TestateODLOCL, &tables.DocumCambioCod, &tables.DocumFase})
            EseguiSQL(engine::dropTempTableSql(*table), db::kCmdTextNoRecords);

        // The order lines of the filter panel's condition, for the procedure to keep to.
        const bool withFilter = engine::hasFilter(engine::filterText(inputs.filterCondition));
        if (withFilter)
            EseguiSQL(engine::filterTableSql(inputs, tables.TabODL, *common), db::kCmdTextNoRecords);

        status(QStringLiteral("Calcolo quantità in lavorazione ......"), 78533);
        {
            db::Command command;
            command.setActiveConnection(m_connection.get());
            command.setCommandText(engine::SitcLavoroProcedure);
            command.setCommandType(db::kCmdStoredProc);
            command.setCommandTimeout(0);
            for (const engine::ProcedureArgument& argument :
                 engine::sitcLavoroArguments(m_companyCode, magazzinoContoLavoro(*this), tables, withFilter))
                command.setParameter(argument.name, argument.value, argument.smallInt);
            m_strSQL = engine::SitcLavoroProcedure;
            if (!command.execute(nullptr, db::kCmdTextNoRecords))
                failFromConnection(*m_connection);
        }

        const QString grouped = tables.TempDatiGRP;
        EseguiSQL(engine::groupedSelectSql(grouped, tables.TempDati), db::kCmdTextNoRecords);
        EseguiSQL(engine::groupedUpdateSql(grouped, tables.TempDati), db::kCmdTextNoRecords);
        EseguiSQL(engine::groupedIndexSql(grouped), db::kCmdTextNoRecords);

        EseguiSQL(engine::dropTempTableSql(tables.TabElab), db::kCmdTextNoRecords);

        status(QStringLiteral("Estrazione fasi ordini di lavoro ......"), 78534);
        EseguiSQL(engine::DeleteScheduleSql, db::kCmdTextNoRecords);

        // The insert's own failure is reported to the user from the connection's error list.
        m_connection->clearErrors();
        m_strSQL = engine::insertScheduleSql(inputs, grouped, *common);
        m_connection->execute(m_strSQL, db::kCmdTextNoRecords);
        if (!m_connection->errors().isEmpty()) {
            const db::DbError first = m_connection->errors().first();
            const QString notCompleted = TraduzioneTesto(QStringLiteral("Operazione non completata."), 42158);
            status(QStringLiteral("Operazione non completata."), 42158,
                   Value(QList<Value>{Value(QString())}));
            QString message;
            if (first.number == engine::IntegrityViolation) {
                message =
                    QStringLiteral("Anomalia dovuta alla presenza di righe ordine con fasi di lavoro diverse "
                                   "ma con stesso numero di sequenza.") +
                    engine::CRLF + notCompleted + engine::CRLF + engine::CRLF +
                    QStringLiteral("Description: ") + first.description;
            } else {
                message = notCompleted + engine::CRLF + engine::CRLF + QStringLiteral("Error: ") +
                          QString::number(first.number) + engine::CRLF + QStringLiteral("Description: ") +
                          first.description;
            }
            QRX_MSGBOX(message, 0, kCritical, title);
            m_connection->clearErrors();
            releaseWorkingSet();
            restore();
            status(QStringLiteral("Pronto ......"), 78527);
            return;
        }

        releaseWorkingSet();
        EseguiSQL(engine::quantityInWorkUpdateSql(grouped), db::kCmdTextNoRecords);
        EseguiSQL(engine::PreviousPhaseMarkSql, db::kCmdTextNoRecords);

        m_strSQL = engine::ScheduleSelectSql;
        auto schedule = std::make_unique<db::Recordset>();
        if (!schedule->open(engine::ScheduleSelectSql, *m_connection, db::CursorType::Dynamic,
                            db::LockType::Optimistic))
            failFromConnection(*m_connection);
        m_rsScadlav = std::move(schedule);

        if (m_rsScadlav->recordCount() == 0) {
            RimuoviRegistrazione();
            // Nothing to show until the next rebuild finds rows.
            CMD_ELABORA->setEnabled(false);
            QRX_MSGBOX(QStringLiteral("Nessun dato presente nei limiti selezionati."), 78512, kInformation,
                       title);
            CMD_RICALCOLA->setEnabled(true);
            unsetCursor();
            return;
        }

        m_rsScadlav->moveFirst();
        status(QStringLiteral("Elaborazione fase precedente ......"), 78535);
        CompletaRiferimentiFasi();

        restore();
        started = false;
        status(QStringLiteral("Pronto ......"), 78527);

        m_rsDataRicalcolo = EseguiSQL(engine::LastRebuildSql);
        if (m_rsDataRicalcolo && m_rsDataRicalcolo->isOpen() && m_rsDataRicalcolo->recordCount() != 0) {
            m_rsDataRicalcolo->moveFirst();
            const QString text = RTrimN(m_rsDataRicalcolo->value(QStringLiteral("PD5C_DATAELAB")));
            const std::optional<QDateTime> when = Value(text).toDateTime();
            if (!when)
                throw RuntimeException({RuntimeError::TypeMismatch,
                                        QStringLiteral("Data ricalcolo non valida: ") + text, ScreenName});
            TXT_DATARIC->setDate(when->date());
            CMD_ELABORA->setEnabled(true);
            QRX_MSGBOX(QStringLiteral("Ricalcolo terminato correttamente."), 78513, kInformation, title);
        } else {
            CMD_ELABORA->setEnabled(false);
            QRX_MSGBOX(QStringLiteral("Nessun dato presente nei limiti selezionati."), 78512, kInformation,
                       title);
        }
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        ScriviErroreLog(ScreenName, kRoutine, error);
        // The user can try again at once: the button comes back, the pointer is restored and
        // the registry row no longer blocks the others.
        if (started) {
            try {
                restore();
            } catch (...) {
                CMD_RICALCOLA->setEnabled(true);
                unsetCursor();
            }
        }
    }
}

void FRMPD_KVB_SCADLAV::CompletaRiferimentiFasi() {
    if (!m_rsScadlav || !m_connection)
        return;
    engine::PhaseReferencePass pass(*m_connection, m_companyCode, ParseTableName(m_workTables.TempDatiGRP));
    try {
        pass.load();
        pass.run(*m_rsScadlav);
    } catch (...) {
        m_strSQL = pass.lastStatement();
        throw;
    }
    m_strSQL = pass.lastStatement();
}

} // namespace scadlav
