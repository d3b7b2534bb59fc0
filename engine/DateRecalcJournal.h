#pragma once
// The journal of the last date recalculation of each user, and its undo.
//
// Before a recalculated order line is written back, the values its write-back will overwrite
// (dates of the order phases, of the schedule rows, of the order line and of the linked
// subcontract order lines) are copied into the journal; right after, the values written are
// copied next to them. An undo puts the old values back, in one transaction, on the rows that
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
    // Copies the rows the write-back of order line `order`/`line` will change, from the phase
    // dates now in `phaseTable`; rows already kept by this recalculation are not copied again,
    // so the journal holds the values from before the whole recalculation.
    void keepBefore(const QString& order, qint64 line, const QString& phaseTable);
    // After the write-back of the line: the values written, next to the old ones.
    void keepAfter();
    // Ends the recalculation; one that changed nothing leaves no journal.
    void finish();

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
