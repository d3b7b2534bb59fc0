#pragma once
// "&Calc. Date": the phases of every order line with a date typed in the order detail are
// scheduled again forward or backward from the line's anchor, through the host's
// phase-scheduling object, and the dates are written to the order phases, the schedule, the
// order line and the linked subcontract order lines. The values overwritten are kept in the
// user's recalculation journal, so that the last recalculation can be undone.

#include "module/services/IScheduleJobs.h"
#include "module/value/Value.h"

#include <QString>
#include <cstdint>
#include <memory>

namespace scadlav {

class FRMPD_KVB_SCADLAV;
class IHostObject;
class IPhaseScheduler;
class ScreenSession;
namespace db {
class Recordset;
} // namespace db
namespace engine {
class DateRecalcJournal;
} // namespace engine

class DateRecalculation {
public:
    explicit DateRecalculation(FRMPD_KVB_SCADLAV& screen);
    ~DateRecalculation();

    // Recalculates every order line of the detail that carries a typed date.
    void CMD_DATE_Click();
    // Function menu "Annulla ultimo ricalcolo date": puts back the dates the user's last
    // recalculation overwrote, where nobody changed them since.
    void AnnullaUltimoRicalcolo();

    // A batch job's date change, done through the detail grid and "&Calc. Date" (in
    // DateRecalculation_Job.cpp).
    ActionOutcome reschedule(const RescheduleRequest& request);

    // How the last click or undo ended, for batch jobs.
    const ActionOutcome& lastOutcome() const { return m_outcome; }
    // The scheduling object of the last recalculation that found work (kept until the next).
    IPhaseScheduler* scheduler() const;
    void release();

    // Schedules the phases of one order line from the anchor row `rsFasi` stands on. False when
    // `rsFasi` has no row; a failing statement throws after its message was shown.
    bool DeterminaDateFasiCiclo(const Value& Ciclo, const Value& Opzione, const Value& TipoDistinta,
                                const Value& CodiceDB, db::Recordset& rsFasi, const Value& DataRif,
                                const Value& Qta, bool Avanti, std::int16_t SeqPrima, std::int16_t SeqUltima);
    // Creates the work table of one order line's phase dates afresh.
    void CreaTabellaDateFasi();

private:
    ScreenSession& session() const;
    // The statement that reads the phases of every line to recalculate, with their cycle, order
    // line and bill of materials.
    QString statementFasi() const;
    // Order lines whose detail no longer matches the order's phases, with their keys.
    QSet<QString> righeCambiate(const db::Recordset& fasi);
    void scriviDate(const QString& numreg, std::int16_t riga);

    FRMPD_KVB_SCADLAV& m_screen;
    std::unique_ptr<IHostObject> m_scheduler;
    std::unique_ptr<engine::DateRecalcJournal> m_journal;
    ActionOutcome m_outcome;
};

} // namespace scadlav
