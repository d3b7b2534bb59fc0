// "&Calc. Date": the walks forward, backward and on one phase from the anchor typed in the order
// detail, what is passed to the host's phase scheduler and what is written back, the failures,
// and the undo of the last recalculation.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "schedule/DateRecalculation.h"
#include "tests/support/doubles/FakePhaseScheduler.h"

using namespace scadlav;
using namespace scadlav::testing;

namespace {

class DateRecalcTest : public QueryScreenTest {
protected:
    // Order R1 line 1: phases 10..50, phase 30 subcontracted to 500 on subcontract order OCL1/3;
    // R1 line 2: a single phase 10; R2 line 1: phases 10 and 20. Every phase starts on 1 March
    // and ends on 2 March; every order line is delivered on 1 January.
    void SetUp() override {
        factory.registerClass(classnames::PhaseScheduler,
                              [this] { return std::make_unique<doubles::FakePhaseScheduler>(calls); });
        for (int sequence : {10, 20, 30, 40, 50})
            addPhase(phaseOf("R1", 1, sequence));
        addPhase(phaseOf("R1", 2, 10));
        addPhase(phaseOf("R2", 1, 10));
        addPhase(phaseOf("R2", 1, 20));
        exec("UPDATE DO46_DOCCORORDDET SET DO46_DATAINIZIO = '2026-03-01', DO46_DATAFINE = "
             "'2026-03-02', DO46_IDCICLO_PD48 = 1, DO46_CLIFOR_CG44 = 0, DO46_INDSTATOORD = 0");
        exec("UPDATE DO46_DOCCORORDDET SET DO46_CLIFOR_CG44 = 500 WHERE DO46_CODSEQFASE = 30");
        // The detail reads the cycle through the schedule row's cycle id.
        exec("UPDATE PD5C_SCADLAV SET PD5C_IDCICLO = 1");
        exec("UPDATE PD5C_SCADLAV SET PD5C_NUMREGCLAV = 'OCL1', PD5C_PROGRIGACLAV = 3 WHERE "
             "PD5C_KEYGRID = 'R1-1-30'");
        exec("INSERT INTO PD48_CICLI (PD48_IDCICLO, PD48_DITTA_CG18, PD48_CICLO_PD52) VALUES (1, 1, 'CIC1')");
        for (const char* line : {"'R1', 1, 12", "'R1', 2, 5", "'R2', 1, 7"})
            exec(
                QStringLiteral("INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, "
                               "DO30_QTA1, DO30_OPZIONE_MG5E) VALUES (1, %1, 'OPZ')")
                    .arg(QLatin1String(line)));
        for (const char* line : {"'R1', 1", "'R1', 2", "'R2', 1", "'OCL1', 3"})
            exec(QStringLiteral(
                     "INSERT INTO DO31_DOCCORPOORD (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA, "
                     "DO31_DATACONS, DO31_DATACONSINT, DO31_DATAINIZLAV) VALUES (1, %1, '2026-01-01', "
                     "'2026-01-01', '2026-01-01')")
                     .arg(QLatin1String(line)));
        calls->durations = {{30, 3}, {50, 4}};
        open();
        screen->results().CMD_ELABORA_ButtonClick();
        ASSERT_EQ(screen->viewMode(), FRMPD_KVB_SCADLAV::ViewMode::Results);
    }
    // Puts typed dates and a direction on the phase of schedule row `key` ("R1-1-30") in the
    // detail, as the editing rules leave them.
    void typed(const char* key, const char* start, const char* end, int direction) {
        auto date = [](const char* d) { return d ? QStringLiteral("'%1'").arg(QLatin1String(d)) : "NULL"; };
        const QStringList phase = QString::fromLatin1(key).split(QLatin1Char('-'));
        exec(QStringLiteral(
                 "UPDATE %1 SET DATA_INI = %2, DATA_FINE = %3, IND_DIR = %4 WHERE DO46_NUMREG_CO99 = "
                 "'%5' AND DO46_PROGRIGA = %6 AND DO46_CODSEQFASE = %7")
                 .arg(screen->detail().detailTableName(), date(start), date(end))
                 .arg(direction)
                 .arg(phase[0], phase[1], phase[2]));
    }
    // A forward start on 1 April typed on phase 30 of R1 line 1 and on phase 10 of R2 line 1.
    void typeTwoLines() {
        openDetailOn("R1-1-30");
        typed("R1-1-30", "2026-04-01", nullptr, 1);
        openDetailOn("R2-1-10");
        typed("R2-1-10", "2026-04-01", nullptr, 1);
    }
    // Runs an order-line statement on phase `sequence` of R1 line 1.
    void onR1Phase(int sequence, const QString& statement) {
        exec(statement + QStringLiteral(" WHERE DO46_NUMREG_CO99 = 'R1' AND DO46_PROGRIGA = 1 AND "
                                        "DO46_CODSEQFASE = %1")
                             .arg(sequence));
    }
    void click() { screen->recalculation().CMD_DATE_Click(); }

    QString one(const QString& sql) {
        auto rs = db.execute(sql);
        if (!rs || !rs->isOpen() || rs->recordCount() == 0)
            return "<none>";
        QStringList values;
        for (int i = 0; i < rs->fieldCount(); ++i) {
            const Value v = rs->value(i);
            const auto when = v.isNull() ? std::nullopt : v.toDateTime();
            values << (v.isNull() ? "null" : when ? when->toString("MM-dd") : v.toText());
        }
        return values.join(QLatin1Char(' '));
    }
    // Start and end of each phase of an order line, "seq:MM-dd..MM-dd".
    QStringList phases(const char* numreg, int line) {
        QStringList out;
        auto rs = db.execute(
            QStringLiteral("SELECT DO46_CODSEQFASE, DO46_PROGSFASE, DO46_DATAINIZIO, DO46_DATAFINE "
                           "FROM DO46_DOCCORORDDET WHERE DO46_NUMREG_CO99 = '%1' AND DO46_PROGRIGA = "
                           "%2 ORDER BY 1, 2")
                .arg(QLatin1String(numreg))
                .arg(line));
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            out << rs->value(0).toText() +
                       (rs->value(1).toInt64() > 0 ? QLatin1Char('.') + rs->value(1).toText() : QString()) +
                       QLatin1Char(':') + rs->value(2).toDateTime()->toString("MM-dd") +
                       QStringLiteral("..") + rs->value(3).toDateTime()->toString("MM-dd");
        return out;
    }
    // Order line dates: work start, delivery, internal delivery.
    QString orderLine(const char* numreg, int line) {
        return one(
            QStringLiteral("SELECT DO31_DATAINIZLAV, DO31_DATACONS, DO31_DATACONSINT FROM DO31_DOCCORPOORD "
                           "WHERE DO31_NUMREG_CO99 = '%1' AND DO31_PROGRIGA = %2")
                .arg(QLatin1String(numreg))
                .arg(line));
    }
    QString scheduleRow(const char* key) {
        return one(QStringLiteral(
                       "SELECT PD5C_DATAINIFASE, PD5C_DATAFINEFASE, PD5C_DATACONS, PD5C_DATACONSOCLAV FROM "
                       "PD5C_SCADLAV WHERE PD5C_KEYGRID = '%1'")
                       .arg(QLatin1String(key)));
    }
    int detailRows() {
        return one(QStringLiteral("SELECT COUNT(*) FROM ") + screen->detail().detailTableName()).toInt();
    }

    std::shared_ptr<doubles::FakePhaseScheduler::Log> calls =
        std::make_shared<doubles::FakePhaseScheduler::Log>();
};

} // namespace

TEST_F(DateRecalcTest, NothingTypedSaysSoAndTouchesNothing) {
    openDetailOn("R1-1-30");
    click();
    EXPECT_EQ(boxIds(), QList<int>{78504});
    EXPECT_EQ(screen->recalculation().lastOutcome().status, ActionOutcome::Status::NoData);
    EXPECT_EQ(factory.requestCount(classnames::PhaseScheduler), 0);
    EXPECT_TRUE(statusBar.progressTexts.isEmpty());
    EXPECT_EQ(detailRows(), 5);
}

TEST_F(DateRecalcTest, ForwardFromAMiddlePhaseMovesItAndTheLaterOnes) {
    openDetailOn("R1-1-30");
    typed("R1-1-30", "2026-04-01", nullptr, 1);
    click();

    // 30 lasts 3 days from the typed start; 40 is on another resource (a transfer day) and starts
    // where 30 ended; 50 starts where 40 ended. 10 and 20 come before the anchor.
    EXPECT_EQ(phases("R1", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02", "30:04-01..04-03",
                                            "40:04-04..04-05", "50:04-05..04-08"}));
    EXPECT_EQ(scheduleRow("R1-1-40"), "04-04 04-05 04-08 null");
    EXPECT_EQ(scheduleRow("R1-1-10"), "03-10 03-20 04-08 null") << "every row takes the delivery";
    EXPECT_EQ(scheduleRow("R1-1-30"), "04-01 04-03 04-08 04-03");
    EXPECT_EQ(orderLine("R1", 1), "01-01 04-08 04-08") << "the first phase was not recalculated";
    EXPECT_EQ(orderLine("OCL1", 3), "01-01 04-03 04-03") << "the subcontract line takes 30's end";
    EXPECT_EQ(phases("R2", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02"}));

    ASSERT_EQ(calls->calls.size(), 3);
    const auto& first = calls->calls[0];
    EXPECT_TRUE(first.forward);
    EXPECT_FALSE(first.args.resourceChange);
    // Cycle, cycle property, option, resource kind, resource, quantity.
    EXPECT_EQ(QStringList({first.args.cycle.toText(), first.cycleProperty, first.option,
                           QString::number(first.args.resourceKind), first.args.resource.toText(),
                           first.args.quantity.toText()}),
              (QStringList{"CIC1", "CIC1", "OPZ", "1", "500", "12"}));
    EXPECT_TRUE(first.args.billId.isNull());
    EXPECT_EQ(calls->calls[1].args.resourceKind, 0);
    EXPECT_EQ(calls->calls[1].args.resource.toText(), QString()) << "no department: the empty text";
    EXPECT_TRUE(calls->calls[1].args.resourceChange);
    EXPECT_FALSE(calls->calls[2].args.resourceChange) << "the object said the transfer was counted";
    EXPECT_EQ(calls->company.toText(), "1");
    EXPECT_TRUE(calls->connectionSet && calls->moduleSet);

    EXPECT_EQ(boxIds(), QList<int>{78506});
    EXPECT_EQ(screen->recalculation().lastOutcome().status, ActionOutcome::Status::Done);
    EXPECT_EQ(statusBar.progressTexts, (QStringList{"T78526", "T78527"}));
    // The line's five phases walked, then the rows read again, and the indicator gone at the end.
    const QStringList steps = statusBar.progressSteps.mid(statusBar.progressSteps.indexOf("1/2"));
    EXPECT_EQ(steps, (QStringList{"1/2", "1/2 0/5", "1/2 5/5", "2/2", "end"}))
        << steps.join(", ").toStdString();
    EXPECT_EQ(detailRows(), 0) << "the detail is emptied";
    EXPECT_EQ(screen->detail().detailRecordset()->recordCount(), 0);
    EXPECT_EQ(byKey("PD5C_DATAINIFASE").value("R1-1-30"), "2026-04-01")
        << "the schedule grid shows the new dates at once";
}

TEST_F(DateRecalcTest, BackwardFromTheLastPhaseSkipsSettledPhasesAndSetsTheWorkStart) {
    onR1Phase(20, "UPDATE DO46_DOCCORORDDET SET DO46_INDSTATOORD = 3");
    openDetailOn("R1-1-50");
    typed("R1-1-50", nullptr, "2026-05-20", 2);
    click();
    // 50 ends on the typed day; 40 ends where 50 starts; 30 is another resource (a transfer day
    // after it); 20 is settled and neither written nor moving the date; 10 changes resource again.
    EXPECT_EQ(phases("R1", 1), (QStringList{"10:05-11..05-12", "20:03-01..03-02", "30:05-13..05-15",
                                            "40:05-16..05-17", "50:05-17..05-20"}));
    EXPECT_EQ(orderLine("R1", 1), "05-11 05-20 05-20");
    for (const auto& call : calls->calls)
        EXPECT_FALSE(call.forward);
}

TEST_F(DateRecalcTest, TypedDatesInTheWalkAreKeptOrComputedFromAndUnreachedOnesDropped) {
    openDetailOn("R1-1-20");
    typed("R1-1-10", "2026-06-01", nullptr, 0); // before the anchor: dropped
    typed("R1-1-20", "2026-04-01", nullptr, 1);
    typed("R1-1-30", "2026-04-10", "2026-04-12", 0);
    typed("R1-1-40", nullptr, "2026-04-20", 0);
    click();
    EXPECT_EQ(phases("R1", 1), (QStringList{"10:03-01..03-02", "20:04-01..04-02", "30:04-10..04-12",
                                            "40:04-19..04-20", "50:04-20..04-23"}));
    ASSERT_EQ(calls->calls.size(), 3) << "the phase with both dates is not computed";
    EXPECT_FALSE(calls->calls[1].forward) << "40 has only an end: computed backward from it";
    EXPECT_TRUE(calls->calls[2].forward);
}

TEST_F(DateRecalcTest, ASchedulingFailureWritesThePhasesBeforeItAndGoesOnWithTheNextLine) {
    calls->failOn = 40;
    typeTwoLines();
    click();

    EXPECT_EQ(phases("R1", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02", "30:04-01..04-03",
                                            "40:03-01..03-02", "50:03-01..03-02"}));
    EXPECT_EQ(orderLine("R1", 1), "01-01 01-01 01-01") << "its last phase was not reached";
    EXPECT_EQ(phases("R2", 1), (QStringList{"10:04-01..04-02", "20:04-02..04-03"}));
    EXPECT_EQ(orderLine("R2", 1), "04-01 04-03 04-03");
    ASSERT_EQ(messages.boxes().size(), 2);
    EXPECT_EQ(messages.boxes()[0].text, "Fase 40 non calcolabile (Routine : DeterminaDateFasiCiclo)");
    EXPECT_EQ(messages.boxes()[1].textId, 78506);
}

TEST_F(DateRecalcTest, APhaseAnchorRecalculatesTheSubPhasesOfItsSequenceOnly) {
    // R1 line 1 phase 40 split in two sub-phases (codes 41 and 42).
    onR1Phase(40, "UPDATE DO46_DOCCORORDDET SET DO46_PROGSFASE = 1, DO46_CODFASE = 41");
    exec("INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, "
         "DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_CLIFOR_CG44, DO46_INDSTATOORD, "
         "DO46_IDCICLO_PD48, DO46_DATAINIZIO, DO46_DATAFINE) VALUES (1, 'R1', 1, 40, 2, 42, 0, 0, "
         "1, '2026-03-01', '2026-03-02')");
    exec("UPDATE PD5C_SCADLAV SET PD5C_PROGSFASE = 1, PD5C_CODFASE_PD12 = 41 WHERE PD5C_KEYGRID = 'R1-1-40'");
    exec("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DITTA_CG18, PD5C_NUMREG_CO99, "
         "PD5C_PROGRIGA_DO30, PD5C_SEQUENZA, PD5C_PROGSFASE, PD5C_CODFASE_PD12, PD5C_INDSTATOCONS, "
         "PD5C_INDSTATOORD, PD5C_DATAINIFASE, PD5C_DATAFINEFASE) SELECT 'R1-1-40b', 1, 'R1', 1, 40, "
         "2, 42, 2, 0, '2026-03-10', '2026-03-20'");
    screen->results().CMD_ELABORA_ButtonClick();
    screen->results().CMD_ELABORA_ButtonClick();
    openDetailOn("R1-1-40");
    typed("R1-1-40", "2026-04-01", nullptr, 3);
    click();
    EXPECT_EQ(phases("R1", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02", "30:03-01..03-02",
                                            "40.1:04-01..04-02", "40.2:04-01..04-02", "50:03-01..03-02"}));
    EXPECT_EQ(orderLine("R1", 1), "01-01 01-01 01-01") << "neither first nor last phase";
}

TEST_F(DateRecalcTest, ALineWhosePhasesChangedSinceTheDetailIsLeftAloneWithAMessage) {
    typeTwoLines();
    onR1Phase(50, "DELETE FROM DO46_DOCCORORDDET");
    click();
    EXPECT_EQ(phases("R1", 1),
              (QStringList{"10:03-01..03-02", "20:03-01..03-02", "30:03-01..03-02", "40:03-01..03-02"}));
    EXPECT_EQ(phases("R2", 1), (QStringList{"10:04-01..04-02", "20:04-02..04-03"}));
    EXPECT_EQ(boxIds(), (QList<int>{90800, 78506}));
}

TEST_F(DateRecalcTest, AFailingStatementEndsTheClickWithItsMessageKeepingTheDetail) {
    // A quote in the subcontract number breaks the phase's insert, written as the statement
    // has always been written.
    exec("UPDATE PD5C_SCADLAV SET PD5C_NUMREGCLAV = 'O''1', PD5C_PROGRIGACLAV = 1 WHERE "
         "PD5C_KEYGRID = 'R2-1-10'");
    screen->results().CMD_ELABORA_ButtonClick();
    screen->results().CMD_ELABORA_ButtonClick();
    typeTwoLines();
    click();
    EXPECT_EQ(screen->recalculation().lastOutcome().status, ActionOutcome::Status::Failed);
    EXPECT_EQ(phases("R1", 1)[2], "30:04-01..04-03") << "the line done keeps its dates";
    EXPECT_EQ(phases("R2", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02"}));
    ASSERT_EQ(messages.boxes().size(), 1) << "one message: the error's";
    EXPECT_EQ(messages.boxes()[0].textId, 0);
    EXPECT_FALSE(messages.boxes()[0].text.isEmpty());
    EXPECT_EQ(detailRows(), 7) << "the detail keeps the typed dates";
    EXPECT_EQ(screen->cursor().shape(), Qt::ArrowCursor) << "the planner can go on working";
}

TEST_F(DateRecalcTest, UndoPutsBackOnlyUntouchedRowsOnceAndOutlivesTheScreen) {
    openDetailOn("R1-1-30");
    typed("R1-1-30", "2026-04-01", nullptr, 1);
    click();
    // Somebody else moves phase 40's end after the recalculation.
    onR1Phase(40, "UPDATE DO46_DOCCORORDDET SET DO46_DATAFINE = '2026-07-07'");
    // The journal is in the database: a new screen of the same user undoes it.
    module.Cinterface_CloseForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    open();
    messages.records.clear();
    ASSERT_EQ(screen->runUndoReschedule().status, ActionOutcome::Status::Done);

    EXPECT_EQ(phases("R1", 1), (QStringList{"10:03-01..03-02", "20:03-01..03-02", "30:03-01..03-02",
                                            "40:04-04..07-07", "50:03-01..03-02"}));
    EXPECT_EQ(orderLine("R1", 1), "01-01 01-01 01-01");
    EXPECT_EQ(orderLine("OCL1", 3), "01-01 01-01 01-01");
    EXPECT_EQ(scheduleRow("R1-1-30"), "03-10 03-20 null null");
    EXPECT_EQ(scheduleRow("R1-1-40"), "03-10 03-20 null null") << "the schedule row was untouched";
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_TRUE(messages.boxes()[0].text.contains("T90804|R1|1|40|0"))
        << messages.boxes()[0].text.toStdString();
    EXPECT_FALSE(messages.boxes()[0].text.contains("|30|"));

    EXPECT_EQ(screen->runUndoReschedule().status, ActionOutcome::Status::NoData);
    EXPECT_EQ(messages.boxes().last().textId, 90801);
}
