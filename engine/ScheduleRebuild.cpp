#include "engine/ScheduleRebuild.h"

#include "engine/ConnectionError.h"
#include "engine/PhaseReferencePass.h"
#include "module/db/Command.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"

namespace scadlav::engine {

namespace {

[[noreturn]] void failFromConnection(const db::Connection& connection) {
    throw RuntimeException(connectionError(connection));
}

} // namespace

ScheduleRebuild::ScheduleRebuild(db::Connection& connection, const WorkTables& tables)
    : m_connection(connection), m_tables(tables) {}

ScheduleRebuild::~ScheduleRebuild() = default;

void ScheduleRebuild::step(RebuildStep step) {
    if (m_progress)
        m_progress->stepStarted(step);
}

void ScheduleRebuild::execute(const QString& sql) {
    m_lastStatement = sql;
    if (!m_connection.execute(sql, db::kCmdTextNoRecords))
        failFromConnection(m_connection);
}

RebuildOutcome ScheduleRebuild::run(const RebuildInputs& inputs, const QString& subcontractWarehouse,
                                    IRebuildProgress* progress) {
    m_progress = progress;
    RebuildOutcome outcome;
    try {
        if (!fillSchedule(inputs, subcontractWarehouse, &outcome.insertError)) {
            outcome.status = RebuildOutcome::Status::InsertRejected;
        } else {
            completeQuantities();
            std::unique_ptr<db::Recordset> schedule = openSchedule();
            if (schedule->recordCount() == 0) {
                outcome.status = RebuildOutcome::Status::NoData;
            } else {
                step(RebuildStep::PreviousPhases);
                completeReferences(*schedule, inputs.company);
                step(RebuildStep::LastRebuildTime);
                outcome.rebuiltAt = lastRebuildTime();
                outcome.status =
                    outcome.rebuiltAt ? RebuildOutcome::Status::Done : RebuildOutcome::Status::NoData;
            }
        }
    } catch (...) {
        outcome.status = RebuildOutcome::Status::Failed;
        outcome.error = RuntimeError::fromException(std::current_exception());
    }
    m_progress = nullptr;
    return outcome;
}

bool ScheduleRebuild::fillSchedule(const RebuildInputs& inputs, const QString& subcontractWarehouse,
                                   db::DbError* insertError) {
    const std::optional<QString> common = commonConditions(inputs);
    if (!common)
        throw RuntimeException({RuntimeError::ApplicationDefined,
                                QStringLiteral("Nessuno stato del documento selezionato"),
                                QString(),
                                {}});

    step(RebuildStep::DropWorkingTables);
    for (const QString* table : m_tables.rebuildTables())
        execute(dropTempTableSql(*table));

    // The order lines of the filter panel's condition, for the procedure to keep to.
    const bool withFilter = hasFilter(filterText(inputs.filterCondition));
    if (withFilter) {
        step(RebuildStep::FilterTable);
        execute(filterTableSql(inputs, m_tables.TabODL, *common));
    }

    step(RebuildStep::QuantityInWork);
    {
        db::Command command;
        command.setActiveConnection(&m_connection);
        command.setCommandText(SitcLavoroProcedure);
        command.setCommandType(db::kCmdStoredProc);
        command.setCommandTimeout(0);
        for (const ProcedureArgument& argument :
             sitcLavoroArguments(inputs.company, subcontractWarehouse, m_tables, withFilter))
            command.setParameter(argument.name, argument.value, argument.smallInt);
        m_lastStatement = SitcLavoroProcedure;
        if (!command.execute(nullptr, db::kCmdTextNoRecords))
            failFromConnection(m_connection);
    }

    step(RebuildStep::GroupedQuantities);
    const QString& grouped = m_tables.TempDatiGRP;
    execute(groupedSelectSql(grouped, m_tables.TempDati));
    execute(groupedUpdateSql(grouped, m_tables.TempDati));
    execute(groupedIndexSql(grouped));
    execute(dropTempTableSql(m_tables.TabElab));

    step(RebuildStep::DeleteSchedule);
    execute(DeleteScheduleSql);

    // The insert's own failure is the caller's to report: its errors stay in the connection's
    // list until the caller clears them.
    step(RebuildStep::InsertSchedule);
    m_connection.clearErrors();
    m_lastStatement = insertScheduleSql(inputs, grouped, *common);
    m_connection.execute(m_lastStatement, db::kCmdTextNoRecords);
    if (m_connection.errors().isEmpty())
        return true;
    if (insertError)
        *insertError = m_connection.errors().first();
    return false;
}

void ScheduleRebuild::completeQuantities() {
    step(RebuildStep::CompleteQuantities);
    execute(quantityInWorkUpdateSql(m_tables.TempDatiGRP));
    execute(PreviousPhaseMarkSql);
}

std::unique_ptr<db::Recordset> ScheduleRebuild::openSchedule() {
    step(RebuildStep::OpenSchedule);
    m_lastStatement = ScheduleSelectSql;
    auto schedule = std::make_unique<db::Recordset>();
    if (!schedule->open(ScheduleSelectSql, m_connection, db::CursorType::Dynamic, db::LockType::Optimistic))
        failFromConnection(m_connection);
    if (schedule->recordCount() != 0)
        schedule->moveFirst();
    return schedule;
}

int ScheduleRebuild::completeReferences(db::Recordset& schedule, std::int16_t company) {
    PhaseReferencePass pass(m_connection, company, ParseTableName(m_tables.TempDatiGRP));
    try {
        pass.load();
        const int written = pass.run(schedule);
        m_lastStatement = pass.lastStatement();
        return written;
    } catch (...) {
        m_lastStatement = pass.lastStatement();
        throw;
    }
}

std::optional<QDateTime> ScheduleRebuild::lastRebuildTime() {
    m_lastStatement = LastRebuildSql;
    std::unique_ptr<db::Recordset> rs = m_connection.execute(LastRebuildSql);
    if (!rs)
        failFromConnection(m_connection);
    if (!rs->isOpen() || rs->recordCount() == 0)
        return std::nullopt;
    rs->moveFirst();
    const QString text = RTrimN(rs->value(QStringLiteral("PD5C_DATAELAB")));
    const std::optional<QDateTime> when = Value(text).toDateTime();
    if (!when)
        throw RuntimeException({RuntimeError::TypeMismatch,
                                QStringLiteral("Data ricalcolo non valida: ") + text,
                                QString(),
                                {}});
    return when;
}

} // namespace scadlav::engine
