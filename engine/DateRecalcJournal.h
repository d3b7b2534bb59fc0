#pragma once
// The journal of the last date recalculation of each user, and its undo.
//
// Before a recalculation writes anything, the values it may overwrite (dates of the order
// phases, of the schedule rows, of the order lines and of the linked subcontract order lines)
// are copied into the journal, in a few set-based statements; when it ends, the values written
// are copied next to them. An undo puts the old values back, in one transaction, on the rows that
// still hold what the recalculation wrote; rows changed since by anyone are left alone and
// reported. Only the last recalculation of a user can be undone, and only once.
//
// The journal lives in two tables of the ERP database, so it outlasts the program:
//   PD5R_RICALCDATE     one row per recalculation (company, user, time, undone)
//   PD5S_RICALCDATEVAL  one row per row written, with its old and new dates

#include "module/services/RuntimeError.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace scadlav::db {
class Connection;
} // namespace scadlav::db

namespace scadlav::engine {

// The statements that create the two journal tables and their index.
QStringList dateJournalTableStatements();

// A row the undo left alone because its dates are no longer those the recalculation wrote.
struct JournalRow {
    QString table; // "DO46", "PD5C" or "DO31"
    QString order;
    qint64 line = 0;
    qint64 sequence = 0; // 0 for an order line
    qint64 subPhase = 0;
};

struct UndoOutcome {
    enum class Status { Nothing, Done, Failed };
    Status status = Status::Nothing;
    QDateTime recalculatedAt; // when the undone recalculation ran
    int restored = 0;         // rows put back
    QList<JournalRow> changed;
    RuntimeError error;
};

class DateRecalcJournal {
public:
    // `run` sends a statement and throws a RuntimeException when it fails; the screen passes its
    // own runner so that the statement becomes its current statement.
    using Runner = std::function<void(const QString&)>;

    DateRecalcJournal(db::Connection& connection, Runner run, std::int16_t company, std::int16_t user);

    // Creates the tables when the database lacks them. Throws when it cannot.
    void ensureTables();
    // Opens a new recalculation of the user, forgetting the previous one (only the last can be
    // undone). Throws on failure.
    void begin();
    // Copies the rows the recalculation of the order lines in `linesTable` (NUMREG, RIGA) may
    // change: their order phases, schedule rows and order lines, and the subcontract order lines
    // (with the schedule rows that refer to them) that `detailTable` links to their phases.
    void keepBefore(const QString& linesTable, const QString& detailTable);
    // After the write-back: the values written next to the old ones; rows the recalculation left
    // as they were are forgotten, and a recalculation that changed nothing leaves no journal.
    // Harmless when called twice.
    void keepAfter();

    // Undoes the user's last recalculation of `company`. Never throws.
    static UndoOutcome undoLast(db::Connection& connection, std::int16_t company, std::int16_t user);

private:
    db::Connection& m_connection;
    Runner m_run;
    std::int16_t m_company = 0;
    std::int16_t m_user = 0;
    qint64 m_id = 0;
};

} // namespace scadlav::engine
