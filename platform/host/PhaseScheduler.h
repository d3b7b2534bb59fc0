#pragma once
// The host's phase-scheduling object (class name ERPHOST.PhaseScheduler): one phase's start
// and end from the routing's lead times and the company's working calendar. The rules are in
// docs/phase-scheduler.md.

#include "module/services/IPhaseScheduler.h"
#include "platform/host/WorkingCalendar.h"

#include <QHash>
#include <QList>
#include <memory>
#include <optional>

namespace scadlav::db {
class Recordset;
} // namespace scadlav::db

namespace erphost {

class PhaseScheduler : public scadlav::IPhaseScheduler {
public:
    // `connectionString` is the host's, used until the module sets its own.
    explicit PhaseScheduler(QString connectionString = {});
    ~PhaseScheduler() override;

    void setStringaConnessione(const QString& connectionString) override;
    void setConnessione(scadlav::db::Connection* connection) override;
    void setDitta(const scadlav::Value& company) override;
    // Company and connection come through their own setters: the module reference is not needed.
    void setModulo(scadlav::Cinterface*) override {}
    // The cycle used by a computation whose own cycle argument is empty.
    void setCiclo(const scadlav::Value& cycle) override { m_cycle = cycle; }
    // Routings do not differ by variant: the option is accepted and does not change a result.
    void setOpzione(const scadlav::Value&) override {}
    bool Errore() const override { return m_failed; }
    QString DescrizioneErroreFase() const override { return m_error; }
    scadlav::Value DataRiferimento() const override { return m_reference; }
    scadlav::Value DataInizioCalcolata() const override { return m_start; }
    // `last` (the module passes 0) does not change the computation.
    scadlav::Value CalcolaDaFine(const scadlav::PhaseScheduleArgs& args, std::int16_t last) override;
    bool CambioFornitore() const override { return m_resourceChange; }
    scadlav::Value DataFineCalcolata() const override { return m_end; }
    scadlav::Value CalcolaDaInizio(const scadlav::PhaseScheduleArgs& args) override;
    // There is one way to compute, mode 0, the one the module sets; any mode computes it.
    void setModalita(std::int16_t) override {}

private:
    enum class Direction { FromStart, FromEnd };
    // One routing row of a cycle.
    struct RoutingRow {
        scadlav::Value sequence;
        scadlav::Value phase;
        PhaseTimes times;
    };

    scadlav::Value compute(const scadlav::PhaseScheduleArgs& args, Direction direction);
    scadlav::Value fail(const QString& description);
    void forgetReads();
    scadlav::db::Connection* connection();
    // Each sets m_error and returns nullptr / false when the database fails.
    const WorkingCalendar* calendar();
    const QList<RoutingRow>* routing(const QString& cycle);
    // `times` stays empty when neither the routing nor the phase table knows the phase.
    bool phaseTimes(const QString& cycle, const scadlav::Value& sequence, const scadlav::Value& phase,
                    std::optional<PhaseTimes>& times);
    std::unique_ptr<scadlav::db::Recordset> read(const QString& sql);

    QString m_connectionString;
    scadlav::db::Connection* m_connection = nullptr;
    std::unique_ptr<scadlav::db::Connection> m_ownConnection;
    std::int64_t m_company = 0;
    scadlav::Value m_cycle;

    // Reads kept for the object's life (until the company or the database changes).
    std::optional<WorkingCalendar> m_calendar;
    QHash<QString, QList<RoutingRow>> m_routings;           // by cycle, upper case
    QHash<QString, std::optional<scadlav::Value>> m_phases; // fixed days by phase code; nullopt: unknown

    bool m_failed = false;
    QString m_error;
    scadlav::Value m_reference, m_start, m_end;
    bool m_resourceChange = false;
};

} // namespace erphost
