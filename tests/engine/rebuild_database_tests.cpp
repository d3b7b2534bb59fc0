// The rows the rebuild writes into the schedule table, on a small order book built by hand.

#include "tests/support/RebuildDatabase.h"

#include "engine/ScheduleRebuild.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::engine;
using scadlav::testing::RebuildDatabase;

namespace {

// Keys: registration number, line (6), sequence (5), sub-phase (4), subcontractor (8).
const QString kCut = QStringLiteral("P1") + "000012" + "00010" + "0000" + "00000000";
const QString kWeld = QStringLiteral("P1") + "000012" + "00020" + "0000" + "00001234";
const QString kPaint = QStringLiteral("P1") + "000012" + "00030" + "0000" + "00000000";
const QString kDone = QStringLiteral("P1") + "000013" + "00010" + "0000" + "00000000";
const QString kSubcontract = QStringLiteral("C1") + "000001" + "00020" + "0000" + "00001234";

class RecordingProgress : public IRebuildProgress {
public:
    void stepStarted(RebuildStep step) override { steps.push_back(step); }
    std::vector<RebuildStep> steps;
};

class RebuildRows : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ERP_FIXED_NOW", "2026-12-05 10:30:00");
        db.fillSmallOrderBook();
    }
    void TearDown() override { qunsetenv("ERP_FIXED_NOW"); }

    Value at(const QString& key, const char* column) { return db.scheduleValue(key, column); }
    static Value dec(const char* text) { return Value(*Value(text).toDecimal()); }
    RebuildDatabase db;
};

} // namespace

TEST_F(RebuildRows, InsertsEveryOpenPhaseWithItsKeyAndQuantities) {
    ASSERT_TRUE(db.rebuild(RebuildDatabase::defaultInputs()))
        << db.connection().lastErrorText().toStdString();

    // P1/12 (three phases), P1/13, P2/1 and the subcontract order C1; not the closed line, the
    // old order, the order of reason 9999 or the other company.
    EXPECT_EQ(db.scheduleCount(), 6);
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_NUMREG_CO99 = 'C9'")), 0);
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_PROGRIGA_DO30 = 14")), 0);

    // A subcontractor code of nine digits leaves no room: the whole key is null.
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_KEYGRID IS NULL AND PD5C_NUMREG_CO99 = 'P2'")), 1);

    EXPECT_EQ(at(kCut, "PD5C_FASEINTEST").toText(), QStringLiteral("I"));
    EXPECT_EQ(at(kWeld, "PD5C_FASEINTEST").toText(), QStringLiteral("E"));
    EXPECT_EQ(at(kCut, "PD5C_FORREP").toText(), QStringLiteral("Reparto taglio"));
    EXPECT_EQ(at(kWeld, "PD5C_FORREP").toText(), QStringLiteral("Terzista Srl"));
    EXPECT_EQ(at(kCut, "PD5C_QGIACATT_MG70"), dec("55"));
    EXPECT_EQ(at(kPaint, "PD5C_INDSTATOORD").toInt64(), 99) << "a phase without state";
    EXPECT_EQ(at(kCut, "PD5C_RIFOCLAV").toText(), QString());
    EXPECT_TRUE(at(kCut, "PD5C_DATACONSOCLAV").isNull());

    // Done and scrap: null instead of zero; residual = ordered - done - scrap.
    EXPECT_EQ(at(kCut, "PD5C_QTA1CONSOLID"), dec("40"));
    EXPECT_TRUE(at(kCut, "PD5C_QTA1SCARTO").isNull());
    EXPECT_EQ(at(kCut, "PD5C_QTARES"), dec("60"));
    EXPECT_TRUE(at(kPaint, "PD5C_QTA1CONSOLID").isNull());
    EXPECT_EQ(at(kPaint, "PD5C_QTARES"), dec("95"));

    // Quantity to send: ordered - done - |in work| - scrap when in work is positive.
    EXPECT_EQ(at(kCut, "PD5C_QTAINLAV"), dec("30"));
    EXPECT_EQ(at(kCut, "PD5C_QTADAINV"), dec("30"));
    EXPECT_EQ(at(kPaint, "PD5C_QTADAINV"), dec("85"));
    // The subcontractor works another article: nothing matched at the insert.
    EXPECT_TRUE(at(kWeld, "PD5C_QTAINLAV").isNull());
    EXPECT_TRUE(at(kWeld, "PD5C_QTADAINV").isNull());
    // Fully reported and more taken out than in: still inserted, in work 0, nothing to send.
    EXPECT_EQ(at(kDone, "PD5C_QTARES"), dec("0"));
    EXPECT_EQ(at(kDone, "PD5C_QTAINLAV"), dec("0"));
    EXPECT_TRUE(at(kDone, "PD5C_QTADAINV").isNull());

    // One rebuild time on every row, from the ERP's clock, and no row marked.
    auto times = db.query(QStringLiteral("SELECT DISTINCT PD5C_DATAELAB FROM PD5C_SCADLAV"));
    ASSERT_TRUE(times && times->isOpen());
    EXPECT_EQ(times->recordCount(), 1);
    EXPECT_EQ(times->value(0).toDateTime(), wallClock(QDateTime(QDate(2026, 12, 5), QTime(10, 30))));
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_SEL = 0")), 6);

    db.completeQuantities();
    EXPECT_EQ(at(kWeld, "PD5C_QTAINLAV"), dec("25")) << "second match, without the article";
    EXPECT_EQ(at(kDone, "PD5C_QTAINLAV"), dec("0")) << "only positive quantities are grouped";
    EXPECT_EQ(at(kPaint, "PD5C_FASEPREC"), dec("0"));
    EXPECT_TRUE(at(kWeld, "PD5C_FASEPREC").isNull());
}

TEST_F(RebuildRows, PerRowPassWritesReferencesAndPreviousPhases) {
    ASSERT_TRUE(db.rebuild(RebuildDatabase::defaultInputs()));
    db.completeQuantities();
    auto schedule = db.openSchedule();
    EXPECT_EQ(db.operation().completeReferences(*schedule, 1), 2);
    EXPECT_TRUE(schedule->eof());

    // The subcontract order line working the external phase.
    EXPECT_EQ(at(kWeld, "PD5C_RIFOCLAV").toText(), QStringLiteral("OCL,10/06/26,3"));
    EXPECT_EQ(at(kWeld, "PD5C_DATACONSOCLAV").toDateTime()->date(), QDate(2026, 7, 1));
    EXPECT_EQ(at(kWeld, "PD5C_NUMREGCLAV").toText(), QStringLiteral("C1"));
    EXPECT_EQ(at(kWeld, "PD5C_PROGRIGACLAV"), dec("1"));
    EXPECT_EQ(at(kWeld, "PD5C_SEQCLAV"), dec("20"));

    // The paint shop has something to send: its previous phase is the subcontracted one.
    EXPECT_EQ(at(kPaint, "PD5C_SEQPREC"), dec("20"));
    EXPECT_EQ(at(kPaint, "PD5C_FASEPREC"), dec("20"));
    EXPECT_EQ(at(kPaint, "PD5C_DESCFASEPREC").toText(), QStringLiteral("Saldatura"));
    EXPECT_EQ(at(kPaint, "PD5C_FORREPPREC").toText(), QStringLiteral("Terzista Srl"));
    EXPECT_EQ(at(kPaint, "PD5C_DISPPREC"), dec("0"));
    EXPECT_EQ(at(kPaint, "PD5C_GIACPREC"), dec("25"));

    // The first phase has no previous one: the '0' mark stays.
    EXPECT_EQ(at(kCut, "PD5C_FASEPREC"), dec("0"));
    EXPECT_TRUE(at(kCut, "PD5C_SEQPREC").isNull());
    // The subcontract order's own row is passed over.
    EXPECT_EQ(at(kSubcontract, "PD5C_RIFOCLAV").toText(), QString());
    EXPECT_TRUE(at(kSubcontract, "PD5C_NUMREGCLAV").isNull());
}

TEST_F(RebuildRows, ConditionsChooseTheRows) {
    RebuildInputs in = RebuildDatabase::defaultInputs();
    in.phaseType = QStringLiteral("2");
    ASSERT_TRUE(db.rebuild(in));
    EXPECT_EQ(db.scheduleCount(), 3) << "external phases: P1/12 seq 20, P2/1, C1/1";
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_INDFASEINTEST = 0")), 0);

    in = RebuildDatabase::defaultInputs();
    in.checkedStates = QStringList{QStringLiteral("K2"), QStringLiteral("K3")};
    ASSERT_TRUE(db.rebuild(in));
    EXPECT_EQ(db.scheduleCount(), 4) << "lines in state 2 and 3: P1/12 and P1/13";

    // With a condition the filter table is built; the order of reason 9999 still counts there.
    in = RebuildDatabase::defaultInputs();
    in.filterCondition = QStringLiteral("AND DO30_NUMREG_CO99 IN ('P1','C9')");
    ASSERT_TRUE(db.rebuild(in));
    EXPECT_EQ(db.scheduleCount(QStringLiteral("PD5C_NUMREG_CO99 <> 'P1'")), 0);
    auto filtered =
        db.query(QStringLiteral("SELECT DISTINCT FILTRO_NUMREG_CO99, FILTRO_PROGRIGA FROM ") +
                 db.tables().TabODL + QStringLiteral(" ORDER BY FILTRO_NUMREG_CO99, FILTRO_PROGRIGA"));
    ASSERT_TRUE(filtered && filtered->isOpen());
    QStringList lines;
    for (filtered->moveFirst(); !filtered->eof(); filtered->moveNext())
        lines << filtered->value(0).toText() + u'/' + filtered->value(1).toText();
    // P1/13 is fully reported, so the filter table leaves it out.
    EXPECT_EQ(lines, (QStringList{QStringLiteral("C9/1"), QStringLiteral("P1/12")}));

    // Without a condition the table of the previous run is dropped and not built again.
    ASSERT_TRUE(db.rebuild(RebuildDatabase::defaultInputs()));
    db.connection().clearErrors();
    EXPECT_FALSE(db.connection().execute(QStringLiteral("SELECT * FROM ") + db.tables().TabODL));
}

// The whole operation, as the schedule screen and the batch job run it.
TEST_F(RebuildRows, RunTellsHowTheRebuildEnded) {
    RecordingProgress progress;
    RebuildOutcome done =
        db.operation().run(RebuildDatabase::defaultInputs(), QStringLiteral("CL"), &progress);
    ASSERT_EQ(done.status, RebuildOutcome::Status::Done) << done.error.description.toStdString();
    EXPECT_EQ(done.rebuiltAt, wallClock(QDateTime(QDate(2026, 12, 5), QTime(10, 30))));
    EXPECT_EQ(progress.steps,
              (std::vector<RebuildStep>{
                  RebuildStep::DropWorkingTables, RebuildStep::QuantityInWork, RebuildStep::GroupedQuantities,
                  RebuildStep::DeleteSchedule, RebuildStep::InsertSchedule, RebuildStep::CompleteQuantities,
                  RebuildStep::OpenSchedule, RebuildStep::PreviousPhases, RebuildStep::LastRebuildTime}));
    // Every step ran: the second quantity pass and the per-row pass wrote their columns.
    EXPECT_EQ(db.scheduleCount(), 6);
    EXPECT_EQ(at(kWeld, "PD5C_QTAINLAV"), dec("25"));
    EXPECT_EQ(at(kPaint, "PD5C_DESCFASEPREC").toText(), QStringLiteral("Saldatura"));

    // A filter adds its own step; limits that take nothing leave an empty schedule.
    RebuildInputs none = RebuildDatabase::defaultInputs();
    none.minDateLiteral = QStringLiteral("'2027-01-01 00:00:00'");
    none.filterCondition = QStringLiteral("AND DO30_NUMREG_CO99 = 'P1'");
    progress.steps.clear();
    EXPECT_EQ(db.operation().run(none, QStringLiteral("CL"), &progress).status,
              RebuildOutcome::Status::NoData);
    EXPECT_EQ(progress.steps[1], RebuildStep::FilterTable);
    EXPECT_EQ(db.scheduleCount(), 0);
}

TEST_F(RebuildRows, RunReportsTheRejectedInsertAndFailures) {
    // No state ticked: refused before anything is dropped or deleted.
    db.exec(QStringLiteral("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES ('OLD')"));
    RebuildInputs noStates = RebuildDatabase::defaultInputs();
    noStates.checkedStates = QStringList();
    EXPECT_EQ(db.operation().run(noStates, QStringLiteral("CL")).status, RebuildOutcome::Status::Failed);
    EXPECT_EQ(db.scheduleCount(), 1);

    // A second phase at sequence 10 of P1/12: the schedule's key repeats.
    db.erp().run("INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, "
                 "DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_CLIFOR_CG44, DO46_QTA1ORD) VALUES "
                 "(1, 'P1', 12, 10, 0, 30, 0, 5)");
    const RebuildOutcome rejected =
        db.operation().run(RebuildDatabase::defaultInputs(), QStringLiteral("CL"));
    EXPECT_EQ(rejected.status, RebuildOutcome::Status::InsertRejected);
    EXPECT_EQ(rejected.insertError.number, IntegrityViolation);
    EXPECT_EQ(db.scheduleCount(), 0) << "the old row is deleted first and the refused insert keeps none";

    // A failing statement ends the run with its error and the statement that failed.
    db.exec(QStringLiteral("DROP TABLE PD95_DISBA"));
    const RebuildOutcome failed = db.operation().run(RebuildDatabase::defaultInputs(), QStringLiteral("CL"));
    EXPECT_EQ(failed.status, RebuildOutcome::Status::Failed);
    EXPECT_TRUE(failed.error.description.contains(QStringLiteral("PD95_DISBA")))
        << failed.error.description.toStdString();
    EXPECT_TRUE(db.operation().lastStatement().contains(QStringLiteral("PD95_DISBA")));
}
