#pragma once
// Completes the production-order rows of the schedule with the subcontract order line that
// works each phase and, for a phase with a quantity to send, with the previous phase of its
// order line.
//
// Asking the server once per row costs one or two statements per row; instead the pass reads
// every subcontract reference and every phase of the company once, indexes them in memory by
// order line, and then walks the record set, writing each completed row back at once. The
// values written are those the per-row lookups would give: the first subcontract line found
// for the phase, and the phase of the line with the highest sequence below the row's own.

#include "module/value/Value.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace scadlav::engine {

class PhaseReferencePass {
public:
    // `groupedTable` is the rebuild's grouped quantity-in-work table.
    PhaseReferencePass(db::Connection& connection, std::int16_t company, const QString& groupedTable);

    // The two reads, as sent to the server.
    static QString subcontractReferencesSql(std::int16_t company);
    static QString linePhasesSql(std::int16_t company, const QString& groupedTable);

    // Reads the references and phases. Throws a RuntimeException when a read fails.
    void load();
    // Walks `schedule` from its current row to its end (it is left past the last row) and
    // writes the reference and previous-phase columns of each production-order row. Throws a
    // RuntimeException when a row cannot be written; rows already written keep their values.
    // Returns the number of rows written.
    int run(db::Recordset& schedule);

    // The last statement sent, for the caller's error report.
    const QString& lastStatement() const { return m_lastStatement; }

private:
    struct Reference {
        Value text, deliveryDate, numreg, line, sequence;
    };
    struct Phase {
        std::int64_t sequence = 0, subPhase = 0, phaseCode = 0;
        Value sequenceValue, phase, description, worker, done, inWork;
    };

    static QString lineKey(const Value& numreg, const Value& line);
    std::unique_ptr<db::Recordset> read(const QString& sql);

    db::Connection& m_connection;
    std::int16_t m_company;
    QString m_groupedTable;
    QString m_lastStatement;
    // order line + phase code + sequence -> first subcontract line found
    QHash<QString, Reference> m_references;
    // order line -> its phases, highest sequence first
    QHash<QString, std::vector<Phase>> m_phases;
};

} // namespace scadlav::engine
