#pragma once

#include "module/services/IPhaseScheduler.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <memory>

namespace scadlav::doubles {

// A phase scheduler with arithmetic a test can redo in its head: every calendar day is a working
// day, a phase lasts `durations[phase code]` days (2 when not listed), a change of resource costs
// one day before the phase starts (forward) or after it ends (backward). Every computation is
// recorded; `failOn` makes the computation of that phase code fail.
class FakePhaseScheduler : public IPhaseScheduler {
public:
    struct Call {
        bool forward = true;
        PhaseScheduleArgs args;
        QString cycleProperty;
        QString option;
    };
    // What the screen set and asked, shared with the test after the object is gone.
    struct Log {
        QList<Call> calls;
        QHash<qint64, int> durations;
        qint64 failOn = -1;
        Value company;
        bool connectionSet = false;
        bool moduleSet = false;
    };

    explicit FakePhaseScheduler(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

    void setStringaConnessione(const QString&) override {}
    void setConnessione(db::Connection* connection) override { m_log->connectionSet = connection != nullptr; }
    void setDitta(const Value& company) override { m_log->company = company; }
    void setModulo(Cinterface* module) override { m_log->moduleSet = module != nullptr; }
    void setCiclo(const Value& cycle) override { m_cycle = cycle.toText(); }
    void setOpzione(const Value& option) override { m_option = option.toText(); }
    bool Errore() const override { return m_error; }
    QString DescrizioneErroreFase() const override { return m_description; }
    Value DataRiferimento() const override { return m_reference; }
    Value DataInizioCalcolata() const override { return m_start; }
    Value CalcolaDaFine(const PhaseScheduleArgs& args, std::int16_t) override { return compute(args, false); }
    bool CambioFornitore() const override { return false; }
    Value DataFineCalcolata() const override { return m_end; }
    Value CalcolaDaInizio(const PhaseScheduleArgs& args) override { return compute(args, true); }
    void setModalita(std::int16_t) override {}

private:
    Value compute(const PhaseScheduleArgs& args, bool forward) {
        m_log->calls << Call{forward, args, m_cycle, m_option};
        m_error = false;
        const qint64 code = args.phaseCode.toInt64().value_or(0);
        const std::optional<QDateTime> reference = args.referenceDate.toDateTime();
        if (code == m_log->failOn || !reference) {
            m_error = true;
            m_description = QStringLiteral("Fase %1 non calcolabile").arg(code);
            return Value::null();
        }
        const int days = m_log->durations.value(code, 2) - 1;
        const int transfer = args.resourceChange ? 1 : 0;
        QDate start;
        QDate end;
        if (forward) {
            start = reference->date().addDays(transfer);
            end = start.addDays(days);
            m_reference = Value(start);
        } else {
            end = reference->date().addDays(-transfer);
            start = end.addDays(-days);
            m_reference = Value(end);
        }
        m_start = Value(start);
        m_end = Value(end);
        return m_reference;
    }

    std::shared_ptr<Log> m_log;
    QString m_cycle;
    QString m_option;
    bool m_error = false;
    QString m_description;
    Value m_reference;
    Value m_start;
    Value m_end;
};

} // namespace scadlav::doubles
