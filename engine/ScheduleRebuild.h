#pragma once
// The rebuild of the schedule table as one operation: the working tables, the quantity-in-work
// procedure, the delete and insert of every phase, the second quantity pass, the per-row
// completion of references and previous phases, and the time of the rebuild read back.
//
// The schedule screen's rebuild button and the tests run this same operation; the screen adds
// what belongs to a screen (the checks and the question before it, the access registry, the
// pointer, the status texts and the messages that tell the outcome).

#include "engine/RebuildStatements.h"
#include "module/db/DbError.h"
#include "module/services/RuntimeError.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace scadlav::engine {

// The steps of a rebuild, in the order they start.
enum class RebuildStep {
    DropWorkingTables,
    FilterTable, // only when the filter panel narrows the order lines
    QuantityInWork,
    GroupedQuantities,
    DeleteSchedule,
    InsertSchedule,
    CompleteQuantities,
    OpenSchedule,
    PreviousPhases,
    LastRebuildTime,
};

// Told when each step starts; the screen shows its status texts from here, the benchmark
// times the steps.
class IRebuildProgress {
public:
    virtual ~IRebuildProgress() = default;
    virtual void stepStarted(RebuildStep step) = 0;
};

struct RebuildOutcome {
    enum class Status {
        Done,           // the schedule holds the rebuilt rows; `rebuiltAt` is their time
        NoData,         // nothing within the limits: the schedule is empty
        InsertRejected, // the server refused the insert; `insertError` is its first error
        Failed,         // a step failed; `error` says which and why
    };
    Status status = Status::Failed;
    std::optional<QDateTime> rebuiltAt;
    db::DbError insertError;
    RuntimeError error;
};

class ScheduleRebuild {
public:
    ScheduleRebuild(db::Connection& connection, const WorkTables& tables);
    ~ScheduleRebuild();

    // Runs every step to its end and says how it ended; it never throws. `subcontractWarehouse`
    // is the company's subcontract warehouse, a parameter of the quantity-in-work procedure.
    RebuildOutcome run(const RebuildInputs& inputs, const QString& subcontractWarehouse,
                       IRebuildProgress* progress = nullptr);

    // The steps of run(), for the tests that look at the schedule between them. Each throws a
    // RuntimeException when a statement fails.
    // Working tables, procedure, grouped quantities, delete and insert. False when the server
    // refused the insert (its first error in `insertError`).
    bool fillSchedule(const RebuildInputs& inputs, const QString& subcontractWarehouse,
                      db::DbError* insertError = nullptr);
    // The second quantity pass and the mark of the rows with a quantity to send.
    void completeQuantities();
    // The schedule as the per-row pass walks it, standing on its first row.
    std::unique_ptr<db::Recordset> openSchedule();
    // Subcontract references and previous phases of every production-order row of `schedule`,
    // from its current row on. Returns the number of rows written.
    int completeReferences(db::Recordset& schedule, std::int16_t company);
    // The time of the rows just written; nullopt when the schedule is empty.
    std::optional<QDateTime> lastRebuildTime();

    // The last statement sent, for the caller's error report.
    const QString& lastStatement() const { return m_lastStatement; }

private:
    void step(RebuildStep step);
    void execute(const QString& sql);

    db::Connection& m_connection;
    WorkTables m_tables;
    IRebuildProgress* m_progress = nullptr;
    QString m_lastStatement;
};

} // namespace scadlav::engine
