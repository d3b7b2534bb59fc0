#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include "module/db/Connection.h"
#include "module/services/IConnectionFactory.h"
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/controls/EnhancedQuery.h"
#include "tests/schedule/ScheduleTestDatabase.h"
#include "tests/schedule/screen_harness.h"

#include <QApplication>

using namespace scadlav;
using namespace scadlav::doubles;
using scadlav::testing::ScheduleTestDatabase;

namespace {

class CountingConnectionFactory : public IConnectionFactory {
public:
    explicit CountingConnectionFactory(int& count) : m_count(count) {}
    std::unique_ptr<db::Connection> createConnection() override {
        ++m_count;
        return std::make_unique<db::Connection>();
    }

private:
    int& m_count;
};

// A schedule screen on a fresh database, its connections made by the host's factory.
class ScheduleScreenTest : public scadlav::testing::ScreenHarness {
protected:
    ScheduleScreenTest() {
        factory.registerClass(classnames::ConnectionFactory, [this] {
            return std::make_unique<CountingConnectionFactory>(connectionsMade);
        });
        global.connection = db.connectionString();
    }
    ~ScheduleScreenTest() override { close(); }

    ScheduleTestDatabase db;
    int connectionsMade = 0;
};

TEST_F(ScheduleScreenTest, FirstActivationOnAnEmptyScheduleWaitsForARebuild) {
    // Rows this user left in the access registry (a crashed session) go; other users' stay.
    db.exec("INSERT INTO PD5D_ACCESSISCAD VALUES(7,1,0), (7,0,1), (2,0,0)");
    messages.texts.insert(81080, "Situazione fasi di lavorazione");
    module.Cinterface_LetCaption(Value(QStringLiteral("dal menu")));
    open();
    ASSERT_TRUE(screen->isInitialized());
    EXPECT_TRUE(errorLog.records.isEmpty());
    EXPECT_EQ(screen->windowTitle(), "Situazione fasi di lavorazione");

    // Own connection, made by the host's factory, handed to the module.
    EXPECT_EQ(connectionsMade, 1);
    ASSERT_NE(screen->session().connection(), nullptr);
    EXPECT_EQ(screen->session().connection()->commandTimeout(), 0);
    EXPECT_EQ(module.Cinterface_Connection(), screen->session().connection());
    EXPECT_EQ(db.registry(), QStringList{"2/0/0"});

    EXPECT_TRUE(screen->controls().TXT_DATARIC->text().isEmpty());
    EXPECT_FALSE(screen->canShow());

    // Every order state until the planner narrows them (the other defaults are relied on by the
    // rebuild's and the show's tests).
    EXPECT_EQ(screen->controls().lstStati->checkedKeys(), (QStringList{"K0", "K1", "K2", "K3", "K4"}));
    // Six months back from 15 March.
    EXPECT_EQ(screen->controls().TXT_DATAMIN->text(), "15/09/2025");
}

TEST_F(ScheduleScreenTest, LastRebuildShownAsItsDayAndLaterActivationsChangeNothing) {
    db.exec("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DITTA_CG18, PD5C_DATAELAB) VALUES ('K1', 1, "
            "'2026-03-14 18:22:05')");
    open();
    ASSERT_TRUE(screen->isInitialized());
    EXPECT_EQ(screen->controls().TXT_DATARIC->text(), "14/03/2026");
    EXPECT_TRUE(screen->canShow());

    screen->controls().CBO_TIPOLAV->setText("2");
    screen->controls().TXT_DATAMIN->setText("01/01/2026");
    screen->controls().lstStati->setChecked("K1", false);
    const engine::WorkTables names = screen->session().workTables();
    clock.advance(5);
    screen->Form_Activate();
    EXPECT_EQ(screen->controls().CBO_TIPOLAV->text(), "2");
    EXPECT_EQ(screen->controls().CBO_TIPOLAV->count(), 3);
    EXPECT_EQ(screen->controls().TXT_DATAMIN->text(), "01/01/2026");
    EXPECT_FALSE(screen->controls().lstStati->isChecked("K1"));
    EXPECT_EQ(screen->controls().lstStati->count(), 5);
    EXPECT_EQ(screen->session().workTables().TempDati, names.TempDati);
    EXPECT_EQ(connectionsMade, 1);
}

TEST_F(ScheduleScreenTest, TheMomentOfOpeningNamesTheWorkTablesAndClampsTheMinimumDate) {
    global.identity = "MARIO PC-01";
    clock.set(QDateTime(QDate(2026, 8, 31), QTime(9, 0, 7)));
    open();
    // Six months back from 31 August is the end of February.
    EXPECT_EQ(screen->controls().TXT_DATAMIN->text(), "28/02/2026");
    const engine::WorkTables first = screen->session().workTables();
    EXPECT_EQ(first.TempDati, "##TempDati_MARIO_PC_01_31_08_2026_09_00_07");
    const QStringList all{first.TempDati,  first.TempDatiGRP, first.TestateODLOCL, first.DocumCambioCod,
                          first.DocumFase, first.TabElab,     first.TabODL};
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), 7);
    module.Cinterface_CloseForm();

    clock.advance(1);
    open();
    EXPECT_NE(screen->session().workTables().TempDati, first.TempDati);
}

TEST_F(ScheduleScreenTest, FailedFirstActivationIsLoggedAndRetriedAtTheNextOne) {
    global.connection = QStringLiteral("Provider=tsqlite;Data Source=") + db.path() + ".missing/x.db";
    open();
    EXPECT_FALSE(screen->isInitialized());
    EXPECT_TRUE(messages.boxes().isEmpty());
    ASSERT_EQ(errorLog.records.size(), 1);
    const MemoryErrorLog::Record& logged = errorLog.records[0];
    EXPECT_EQ(QStringList({logged.position, logged.moduleText, logged.routine}),
              (QStringList{"0_0_0_0", "PDUO_KVB_SCADLAV", "Form_Activate"}));
    EXPECT_TRUE(errorLog.records[0].error.isSet());

    global.connection = db.connectionString();
    screen->Form_Activate();
    EXPECT_TRUE(screen->isInitialized());
    EXPECT_EQ(errorLog.records.size(), 1);
}

TEST_F(ScheduleScreenTest, ClosingUnregistersDetachesAndClosesTheConnection) {
    global.current = &module;
    navigator.current = &module;
    open();
    ASSERT_TRUE(screen->results().RegistraVisualizzazione());
    EXPECT_EQ(db.registry(), QStringList{"7/0/1"});
    // A global temporary table of the screen's connection goes with the connection.
    screen->session().EseguiSQL("CREATE TABLE ##ScreenProbe (A int)", db::kCmdTextNoRecords);
    EXPECT_TRUE(db.tempTableExists("##ScreenProbe"));
    QPointer<erpctl::EnhancedQuery> panel = screen->controls().EnhancedQuery;

    module.Cinterface_CloseForm();
    EXPECT_TRUE(db.registry().isEmpty());
    EXPECT_EQ(module.Cinterface_Connection(), nullptr);
    EXPECT_EQ(global.current, nullptr);
    EXPECT_EQ(navigator.current, nullptr);
    EXPECT_FALSE(db.tempTableExists("##ScreenProbe"));
    if (panel) {
        EXPECT_EQ(panel->connection(), nullptr);
    }
}

TEST_F(ScheduleScreenTest, BecomingTheActiveWindowInitialisesTheScreen) {
    show();
    EXPECT_FALSE(screen->isInitialized());
    // What the window system does when the user switches to the screen.
    screen->activateWindow();
    QApplication::setActiveWindow(screen);
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen->isActiveWindow());
    EXPECT_TRUE(screen->isInitialized());
    EXPECT_TRUE(errorLog.records.isEmpty());
}

} // namespace
