// The rebuild driven through the schedule screen, offscreen, with scripted host services and
// the small order book of the engine tests in an embedded database.

#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleRebuilder.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include "module/services/IMessageService.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/DateField.h"
#include "tests/schedule/screen_harness.h"
#include "tests/support/RebuildDatabase.h"

#include <QPushButton>

using namespace scadlav;
using namespace scadlav::doubles;
using scadlav::testing::RebuildDatabase;

namespace {

const QString kPaint = QStringLiteral("P1") + "000012" + "00030" + "0000" + "00000000";

class RebuildScreen : public scadlav::testing::ScreenHarness {
protected:
    void SetUp() override {
        qputenv("ERP_FIXED_NOW", "2026-12-05 10:30:00");
        db.fillSmallOrderBook();
        global.connection = QStringLiteral("Provider=tsqlite;Data Source=") + db.erp().path();
        ASSERT_TRUE(open());
        ASSERT_TRUE(screen->isInitialized());
        screen->controls().TXT_DATAMIN->setText("01/01/2026");
        // A schedule of an earlier rebuild, to see whether a refused rebuild touches it.
        db.exec("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_NUMREG_CO99) VALUES ('OLD', 'OLD')");
        messages.records.clear();
        statusBar.progressTexts.clear();
    }
    void TearDown() override {
        close();
        qunsetenv("ERP_FIXED_NOW");
    }

    // The outcome batch jobs read must say what the messages said.
    ActionOutcome::Status outcome() const { return screen->rebuilder().lastOutcome().status; }
    int registryRows() {
        auto rs = db.query("SELECT COUNT(*) FROM PD5D_ACCESSISCAD");
        return int(rs->value(0).toInt64().value_or(-1));
    }
    // However the rebuild ended: empty registry, button usable, normal pointer.
    void expectReleased() {
        EXPECT_EQ(registryRows(), 0);
        EXPECT_TRUE(screen->canRebuild());
        EXPECT_NE(screen->cursor().shape(), Qt::WaitCursor);
    }
    // Nothing changed: the old schedule alone, and the screen released.
    void expectUntouched() {
        EXPECT_EQ(db.scheduleCount(), 1);
        EXPECT_EQ(db.scheduleCount("PD5C_KEYGRID = 'OLD'"), 1);
        expectReleased();
    }

    RebuildDatabase db;
};

} // namespace

TEST_F(RebuildScreen, RefusalsChangeNothing) {
    using Status = ActionOutcome::Status;
    // Presses the button and checks the messages shown, the outcome the batch jobs read and, when
    // cancelled, that nothing changed.
    const auto press = [this](const QList<int>& ids, Status status) {
        messages.records.clear();
        screen->rebuilder().CMD_RICALCOLA_ButtonClick();
        EXPECT_EQ(boxIds(), ids);
        EXPECT_EQ(outcome(), status);
        if (status == Status::Cancelled)
            expectUntouched();
    };
    screen->controls().TXT_DATAMIN->clear();
    press({78509}, Status::Cancelled);
    EXPECT_EQ(messages.boxes().first().flags, 64);

    screen->controls().TXT_DATAMIN->setText("01/01/2026");
    messages.answerNext(msgbox::ResultNo);
    press({78510}, Status::Cancelled);
    EXPECT_EQ(messages.boxes().first().flags, 4);

    // No state ticked: refused before the registry and the delete.
    screen->controls().lstStati->setAllChecked(false);
    press({78510, 51499}, Status::Cancelled);
    EXPECT_TRUE(statusBar.progressTexts.isEmpty());

    // Somebody else in the schedule.
    screen->controls().lstStati->setAllChecked(true);
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(8,0,1)");
    press({78510, 78511}, Status::Refused);
    EXPECT_EQ(messages.boxes().last().parameters, QList<Value>{Value(QStringLiteral("Anna Bianchi"))});
    EXPECT_EQ(db.scheduleCount("PD5C_KEYGRID = 'OLD'"), 1);
    EXPECT_TRUE(errorLog.records.isEmpty());
}

TEST_F(RebuildScreen, RebuildFillsTheScheduleAndReportsProgress) {
    screen->controls().CMD_ELABORA->setEnabled(false);
    screen->rebuilder().CMD_RICALCOLA_ButtonClick();

    EXPECT_EQ(boxIds(), (QList<int>{78510, 78513}));
    EXPECT_EQ(outcome(), ActionOutcome::Status::Done);
    EXPECT_EQ(statusBar.progressTexts, (QStringList{"T78532", "T78533", "T78534", "T78535", "T78527"}));
    // Every step is counted on the indicator, which goes before the closing message.
    ASSERT_FALSE(statusBar.progressSteps.isEmpty());
    EXPECT_EQ(statusBar.progressSteps.first(), "1/10");
    EXPECT_TRUE(statusBar.progressSteps.contains("9/10"));
    EXPECT_EQ(statusBar.progressSteps.last(), "end");
    EXPECT_EQ(db.scheduleCount(), 6);
    EXPECT_EQ(db.scheduleCount("PD5C_KEYGRID = 'OLD'"), 0);
    EXPECT_EQ(db.scheduleValue(kPaint, "PD5C_DESCFASEPREC").toText(), "Saldatura");
    expectReleased();
    EXPECT_TRUE(screen->canShow());
    EXPECT_EQ(screen->lastRebuildDay(), QDate(2026, 12, 5));
    EXPECT_TRUE(errorLog.records.isEmpty());
}

TEST_F(RebuildScreen, DuplicateSequenceReportsTheAnomalyAndFreesTheScreen) {
    db.exec("INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, "
            "DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_CLIFOR_CG44, DO46_QTA1ORD) VALUES "
            "(1, 'P1', 12, 10, 0, 30, 0, 5)");
    screen->rebuilder().CMD_RICALCOLA_ButtonClick();

    const auto boxes = messages.boxes();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(outcome(), ActionOutcome::Status::Failed);
    EXPECT_EQ(boxes[1].textId, 0);
    EXPECT_EQ(boxes[1].flags, 16);
    EXPECT_TRUE(boxes[1].text.startsWith("Anomalia dovuta alla presenza di righe ordine con fasi di "
                                         "lavoro diverse ma con stesso numero di sequenza.\r\nT42158"
                                         "\r\n\r\nDescription: "))
        << boxes[1].text.toStdString();
    EXPECT_EQ(statusBar.progressTexts.mid(3), (QStringList{"T42158|", "T78527"}));
    EXPECT_EQ(db.scheduleCount(), 0) << "the table stays empty until the next rebuild";
    expectReleased();
}

TEST_F(RebuildScreen, NothingSelectedDisablesTheSchedule) {
    screen->controls().TXT_DATAMIN->setText("01/01/2027");
    screen->rebuilder().CMD_RICALCOLA_ButtonClick();
    EXPECT_EQ(boxIds(), (QList<int>{78510, 78512}));
    EXPECT_EQ(outcome(), ActionOutcome::Status::NoData);
    EXPECT_EQ(db.scheduleCount(), 0);
    EXPECT_FALSE(screen->canShow());
    expectReleased();
}

TEST_F(RebuildScreen, UnexpectedFailureIsLoggedAndReleasesTheScreen) {
    // Without the bill-of-materials table the grouped quantities cannot be read.
    db.exec("DROP TABLE PD95_DISBA");
    screen->rebuilder().CMD_RICALCOLA_ButtonClick();
    ASSERT_EQ(errorLog.records.size(), 1);
    const MemoryErrorLog::Record& logged = errorLog.records[0];
    EXPECT_EQ(QStringList({logged.position, logged.moduleText, logged.routine}),
              (QStringList{"0_0_0_0", "FRMPD_KVB_SCADLAV", "CMD_RICALCOLA_ButtonClick"}));
    EXPECT_EQ(boxIds(), QList<int>{78510}) << "no message besides the question";
    EXPECT_EQ(outcome(), ActionOutcome::Status::Failed);
    EXPECT_TRUE(screen->rebuilder().lastOutcome().description.contains("PD95_DISBA"));
    expectReleased();
}

// The batch jobs press the same button through the screen's job interface.
TEST_F(RebuildScreen, BatchJobsSetTheParametersAndReadTheOutcome) {
    IScheduleJobs& jobs = *screen;
    JobParameters bad;
    bad.phaseType = "7";
    EXPECT_EQ(jobs.applyParameters(bad), "T90420|7");
    bad = {};
    bad.filters = {{"NOPE", "1", "2"}};
    EXPECT_EQ(jobs.applyParameters(bad), "T90422|NOPE");

    JobParameters later;
    later.minDate = QDate(2027, 1, 1);
    ASSERT_EQ(jobs.applyParameters(later), QString());
    EXPECT_EQ(jobs.runRebuild().status, ActionOutcome::Status::NoData);
    EXPECT_EQ(jobs.runShow().status, ActionOutcome::Status::NoData) << "nothing to show until a rebuild";

    JobParameters all;
    all.minDate = QDate(2026, 1, 1);
    all.states = QList<int>{0, 1, 2, 3, 4};
    ASSERT_EQ(jobs.applyParameters(all), QString());
    EXPECT_EQ(jobs.runRebuild().status, ActionOutcome::Status::Done);
    EXPECT_EQ(db.scheduleCount(), 6);

    JobParameters view;
    view.modify = false;
    ASSERT_EQ(jobs.applyParameters(view), QString());
    EXPECT_EQ(jobs.runShow().status, ActionOutcome::Status::Done);
    ASSERT_TRUE(jobs.shownRows());
    ASSERT_TRUE(screen->results().scheduleRecordset());
    EXPECT_GT(jobs.shownRows()->rowCount(), 0);
    EXPECT_EQ(jobs.shownRows()->rowCount(), screen->results().scheduleRecordset()->recordCount());
    EXPECT_EQ(jobs.runRebuild().status, ActionOutcome::Status::Failed) << "not from the result view";
}
