// The host's phase-scheduling object over an embedded ERP database: routing rows, the phase
// table's fallback, the company's closures, failures and what it reads once.
#include "platform/host/CoreClasses.h"
#include "platform/host/HostSettings.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/ObjectFactory.h"
#include "platform/host/PhaseScheduler.h"

#include "module/db/BackendFactory.h"
#include "module/db/Connection.h"
#include "module/services/ClassNames.h"
#include "tests/support/ErpDbTesting.h"

#include <gtest/gtest.h>

using erphost::PhaseScheduler;
using scadlav::PhaseScheduleArgs;
using scadlav::Value;

namespace {

// Counts the statements that reach the database.
class CountingBackend : public scadlav::db::IBackend {
public:
    CountingBackend(std::unique_ptr<IBackend> inner, int& count)
        : m_inner(std::move(inner)), m_count(count) {}
    bool open(const std::string& text, const scadlav::db::OpenOptions& options,
              std::vector<scadlav::db::ProviderError>& errors) override {
        return m_inner->open(text, options, errors);
    }
    void close() override { m_inner->close(); }
    bool isOpen() const override { return m_inner->isOpen(); }
    bool execute(std::string_view text, const scadlav::db::ExecuteOptions& options,
                 scadlav::db::IRowSink* sink, std::vector<scadlav::db::ProviderError>& errors,
                 std::int64_t* rowsAffected) override {
        ++m_count;
        return m_inner->execute(text, options, sink, errors, rowsAffected);
    }
    bool callProcedure(std::string_view name, const std::vector<scadlav::db::ProcedureParameter>& parameters,
                       const scadlav::db::ExecuteOptions& options, scadlav::db::IRowSink* sink,
                       std::vector<scadlav::db::ProviderError>& errors) override {
        ++m_count;
        return m_inner->callProcedure(name, parameters, options, sink, errors);
    }
    scadlav::db::Dialect dialect() const override { return m_inner->dialect(); }

private:
    std::unique_ptr<IBackend> m_inner;
    int& m_count;
};

PhaseScheduleArgs args(int sequence, int phase, const Value& date, const Value& quantity,
                       bool resourceChange = false, const char* cycle = "CIC-T") {
    PhaseScheduleArgs a;
    a.cycle = Value(QString::fromLatin1(cycle));
    a.phaseSequence = Value(scadlav::Decimal(sequence, 0));
    a.phaseCode = Value(scadlav::Decimal(phase, 0));
    a.referenceDate = date;
    a.quantity = quantity;
    a.resourceChange = resourceChange;
    return a;
}

class PhaseSchedulerTest : public ::testing::Test {
protected:
    PhaseSchedulerTest() {
        // Cycle CIC-T: sequence 10 cutting, 20 heat treatment in two sub-phases of the same
        // phase code, 30 sandblasting with no times at all.
        db.run("INSERT INTO PD12_FASILAVORO (PD12_DITTA_CG18, PD12_CODFASE, PD12_DESCR, PD12_GGLAV) VALUES "
               "(1, 100, 'Taglio barra', 1), (1, 900, 'Zincatura', 6), (1, 920, 'Trattamento termico', 8), "
               "(1, 950, 'Sabbiatura', NULL), (2, 100, 'Taglio barra', 1)");
        db.run("INSERT INTO PD53_FASICICLO (PD53_DITTA_CG18, PD53_CODCICLO_PD52, PD53_CODSEQFASE, "
               "PD53_PROGSFASE, PD53_CODFASE_PD12, PD53_GGLAV, PD53_TEMPOUNIT) VALUES "
               "(1, 'CIC-T', 10, 0, 100, 1, 2.4), (1, 'CIC-T', 20, 2, 920, 9, 0), "
               "(1, 'CIC-T', 20, 1, 920, 4, NULL), (1, 'CIC-T', 30, 0, 950, NULL, NULL), "
               "(1, 'CIC-U', 10, 0, 100, 2, 0)");
        // Company 1 closes from 10 to 21 August 2026.
        for (int day : {10, 11, 12, 13, 14, 17, 18, 19, 20, 21})
            db.run(
                "INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, PDCA_DESCR) VALUES (1, '2026-08-" +
                std::to_string(day) + "', 'Chiusura estiva')");
        connection = std::make_unique<scadlav::db::Connection>(
            std::make_unique<CountingBackend>(scadlav::db::makeBackend(connectionString()), statements));
        EXPECT_TRUE(connection->open(connectionString())) << connection->lastErrorText().toStdString();
        scheduler.setConnessione(connection.get());
        scheduler.setStringaConnessione(connectionString());
        scheduler.setDitta(Value(1));
    }

    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + db.path(); }

    erpdb::testing::ErpDatabase db;
    int statements = 0;
    std::unique_ptr<scadlav::db::Connection> connection;
    PhaseScheduler scheduler;
};

Value day(int year, int month, int dayOfMonth) {
    return Value(QDate(year, month, dayOfMonth));
}

} // namespace

TEST_F(PhaseSchedulerTest, ForwardAndBackwardFromTheRoutingRowOfTheCycle) {
    // 200 units at 2.4 minutes: one day of run time on top of the fixed day. From a Saturday.
    const Value result =
        scheduler.CalcolaDaInizio(args(10, 100, Value(QStringLiteral("07/03/2026")), Value(200)));
    ASSERT_FALSE(scheduler.Errore()) << scheduler.DescrizioneErroreFase().toStdString();
    EXPECT_EQ(result, day(2026, 3, 9));
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 10));

    // Of two sub-phases with the same sequence and phase the lower counts: 4 days, not 9. The
    // transfer day lands after the company's summer closure.
    EXPECT_EQ(scheduler.CalcolaDaFine(args(20, 920, day(2026, 8, 24), Value(10), true), 0), day(2026, 8, 7));
    EXPECT_EQ(scheduler.DataInizioCalcolata(), day(2026, 8, 4));
    EXPECT_FALSE(scheduler.CambioFornitore());

    // Nulls count as 0: a phase with no times lasts one day.
    scheduler.CalcolaDaInizio(args(30, 950, day(2026, 3, 16), Value::null()));
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 16));
}

TEST_F(PhaseSchedulerTest, PhaseOutsideTheCycleTakesThePhaseTablesDaysAndNoRunTime) {
    // 900 is not in CIC-T: its 6 days, whatever the quantity.
    scheduler.CalcolaDaInizio(args(40, 900, day(2026, 3, 9), Value(100000)));
    ASSERT_FALSE(scheduler.Errore()) << scheduler.DescrizioneErroreFase().toStdString();
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 16));
    // 100 is in the cycle, but not at sequence 50: the phase table's 1 day, not 2.4 minutes a unit.
    scheduler.CalcolaDaInizio(args(50, 100, day(2026, 3, 9), Value(100000)));
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 9));
    // No cycle argument: the one set on the object.
    PhaseScheduleArgs noCycle = args(10, 100, day(2026, 3, 9), Value(0));
    noCycle.cycle = Value();
    scheduler.setCiclo(Value(QStringLiteral("CIC-U")));
    scheduler.CalcolaDaInizio(noCycle);
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 10));
}

TEST_F(PhaseSchedulerTest, FailuresAreReportedWithTheirTextsAndClearedByTheNextComputation) {
    EXPECT_TRUE(scheduler.CalcolaDaInizio(args(10, 555, day(2026, 3, 9), Value(1))).isNull());
    EXPECT_TRUE(scheduler.Errore());
    EXPECT_EQ(scheduler.DescrizioneErroreFase(), QStringLiteral("Fase 555 non presente nel ciclo CIC-T"));
    scheduler.CalcolaDaFine(args(10, 100, Value(QStringLiteral("31/02/2026")), Value(1)), 0);
    EXPECT_EQ(scheduler.DescrizioneErroreFase(), QStringLiteral("Data di riferimento non valida"));
    scheduler.CalcolaDaInizio(args(10, 100, day(2026, 3, 9), Value(-1), true));
    EXPECT_EQ(scheduler.DescrizioneErroreFase(), QStringLiteral("Quantità non valida"));
    EXPECT_FALSE(scheduler.CambioFornitore());

    scheduler.CalcolaDaInizio(args(10, 100, day(2026, 3, 9), Value(1)));
    EXPECT_FALSE(scheduler.Errore());
    EXPECT_TRUE(scheduler.DescrizioneErroreFase().isEmpty());
}

TEST_F(PhaseSchedulerTest, RoutingsPhasesAndClosuresAreReadOncePerObject) {
    scheduler.CalcolaDaInizio(args(10, 100, day(2026, 3, 9), Value(1)));
    ASSERT_FALSE(scheduler.Errore()) << scheduler.DescrizioneErroreFase().toStdString();
    EXPECT_EQ(statements, 2); // the routing of CIC-T and the closures
    scheduler.CalcolaDaFine(args(20, 920, day(2026, 3, 20), Value(5)), 0);
    scheduler.CalcolaDaFine(args(30, 950, day(2026, 3, 20), Value(5)), 0);
    EXPECT_EQ(statements, 2);
    for (int i = 0; i < 2; ++i) {
        scheduler.CalcolaDaInizio(args(40, 900, day(2026, 3, 9), Value(1)));
        scheduler.CalcolaDaInizio(args(10, 555, day(2026, 3, 9), Value(1)));
    }
    EXPECT_EQ(statements, 4); // phase 900 and the unknown phase 555, once each
    scheduler.CalcolaDaInizio(args(10, 100, day(2026, 3, 9), Value(1), false, "cic-u"));
    EXPECT_EQ(statements, 5);
    EXPECT_EQ(scheduler.DataFineCalcolata(), day(2026, 3, 10)); // the cycle's code ignores case

    // Another company is another calendar (no August closure) and other routings.
    scheduler.setDitta(Value(2));
    scheduler.CalcolaDaInizio(args(10, 100, day(2026, 8, 10), Value(1)));
    EXPECT_EQ(scheduler.DataRiferimento(), day(2026, 8, 10));
    EXPECT_EQ(statements, 8);
}

TEST(PhaseSchedulerObject, MadeByTheFactoryOpensItsOwnConnectionAndReportsADatabaseFailure) {
    erpdb::testing::ErpDatabase db;
    db.run("INSERT INTO PD12_FASILAVORO (PD12_DITTA_CG18, PD12_CODFASE, PD12_GGLAV) VALUES (1, 700, 2)");
    erphost::HostSettings settings;
    settings.connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + db.path();
    struct : erphost::IMessageBoxPresenter {
        int show(const QString&, int, const QString&) override { return 1; }
    } presenter;
    erphost::ObjectFactory factory;
    erphost::registerCoreClasses(factory, settings, presenter);
    std::unique_ptr<scadlav::IHostObject> object = factory.createObject(scadlav::classnames::PhaseScheduler);
    auto* scheduler = dynamic_cast<scadlav::IPhaseScheduler*>(object.get());
    ASSERT_NE(scheduler, nullptr);
    scheduler->setDitta(Value(1));
    const PhaseScheduleArgs a = args(10, 700, Value(QStringLiteral("2026-03-09")), Value::null());
    scheduler->CalcolaDaInizio(a);
    ASSERT_FALSE(scheduler->Errore()) << scheduler->DescrizioneErroreFase().toStdString();
    EXPECT_EQ(scheduler->DataFineCalcolata(), Value(QDate(2026, 3, 10)));

    db.run("DROP TABLE PDCA_CALENDARIO");
    PhaseScheduler fresh(settings.connectionString);
    fresh.setDitta(Value(1));
    EXPECT_TRUE(fresh.CalcolaDaInizio(a).isNull());
    EXPECT_TRUE(fresh.DescrizioneErroreFase().contains(QStringLiteral("PDCA_CALENDARIO")))
        << fresh.DescrizioneErroreFase().toStdString();
}
