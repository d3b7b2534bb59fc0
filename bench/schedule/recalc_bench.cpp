// Timed driver of "&Calc. Date" on many order lines at once: an order book of N lines of 8
// phases each (one subcontracted), the schedule shown in modification mode, the detail filled
// for every line and a new start typed on each line's first phase, then one click. The host's
// real phase scheduler does the arithmetic. Runs N and 2N lines and prints how the time grows.
//
//   scadlav_recalc_bench [lines]     default: 1000

#include "bench/BenchSupport.h"
#include "erpdb.h"
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/IDateObject.h"
#include "platform/controls/DateField.h"
#include "platform/host/PhaseScheduler.h"
#include "schedule/DateRecalculation.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"
#include "tests/support/doubles/EmbeddedDateObject.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>

using namespace scadlav;
using scadlav::bench::die;
using scadlav::bench::exec;

namespace {

using doubles::EmbeddedDateObject;

// `lines` order lines of phases 10..80 on one routing, phase 40 at subcontractor 700 with its
// subcontract order line, and their schedule rows as a rebuild leaves them.
void fillOrderBook(db::Connection& c, int lines) {
    exec(c, QStringLiteral("BEGIN TRANSACTION"));
    exec(c, QStringLiteral("CREATE TABLE NUMERI (I int NOT NULL)"));
    for (int i = 1; i <= lines; ++i)
        exec(c, QStringLiteral("INSERT INTO NUMERI (I) VALUES (%1)").arg(i));
    exec(c, QStringLiteral("CREATE TABLE FASI (S int NOT NULL)"));
    for (int s = 10; s <= 80; s += 10) {
        exec(c, QStringLiteral("INSERT INTO FASI (S) VALUES (%1)").arg(s));
        exec(c,
             QStringLiteral("INSERT INTO PD12_FASILAVORO (PD12_DITTA_CG18, PD12_CODFASE, PD12_GGLAV) VALUES "
                            "(1, %1, 1)")
                 .arg(s));
        exec(c, QStringLiteral(
                    "INSERT INTO PD53_FASICICLO (PD53_DITTA_CG18, PD53_CODCICLO_PD52, PD53_CODSEQFASE, "
                    "PD53_PROGSFASE, PD53_CODFASE_PD12, PD53_GGLAV, PD53_TEMPOUNIT) VALUES (1, 'CB', %1, "
                    "0, %1, 1, 30)")
                    .arg(s));
    }
    exec(c, QStringLiteral(
                "INSERT INTO PD48_CICLI (PD48_IDCICLO, PD48_DITTA_CG18, PD48_CICLO_PD52) VALUES (1, 1, "
                "'CB')"));
    exec(c, QStringLiteral("INSERT INTO PDCA_CALENDARIO (PDCA_DITTA_CG18, PDCA_DATA, PDCA_DESCR) VALUES (1, "
                           "'2026-04-24', 'Ponte')"));
    exec(c, QStringLiteral(
                "INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1) VALUES (1, 'ART1', "
                "'PZ')"));
    exec(c,
         QStringLiteral("INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'ART1')"));
    const QString numreg = QStringLiteral("'B' + RIGHT('0000000' + CAST(I AS VARCHAR(7)), 7)");
    const QString ocl = QStringLiteral("'C' + RIGHT('0000000' + CAST(I AS VARCHAR(7)), 7)");
    exec(c, QStringLiteral(
                "INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, DO30_QTA1, "
                "DO30_CODART_MG66) SELECT 1, %1, 1, 40, 'ART1' FROM NUMERI")
                .arg(numreg));
    for (const QString& number : {numreg, ocl})
        exec(c, QStringLiteral(
                    "INSERT INTO DO31_DOCCORPOORD (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA, "
                    "DO31_DATACONS, DO31_DATACONSINT, DO31_DATAINIZLAV) SELECT 1, %1, 1, '2026-03-01', "
                    "'2026-03-01', '2026-02-01' FROM NUMERI")
                    .arg(number));
    exec(c, QStringLiteral(
                "INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, "
                "DO46_CODSEQFASE, DO46_PROGSFASE, DO46_CODFASE, DO46_CLIFOR_CG44, DO46_INDSTATOORD, "
                "DO46_IDCICLO_PD48, DO46_DATAINIZIO, DO46_DATAFINE, DO46_QTA1ORD) SELECT 1, %1, 1, S, 0, "
                "S, CASE WHEN S = 40 THEN 700 ELSE 0 END, 0, 1, '2026-02-01', '2026-02-02', 40 FROM "
                "NUMERI CROSS JOIN FASI")
                .arg(numreg));
    exec(c, QStringLiteral(
                "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DATAELAB, PD5C_SEL, PD5C_FASEINTEST, "
                "PD5C_INDFASEINTEST, PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_PROGSFASE, "
                "PD5C_CODART_MG66, PD5C_DITTA_CG18, PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_TIPODOC, "
                "PD5C_DOCUM_MG3G, PD5C_DATADOC, PD5C_NUMDOC, PD5C_DATAINIFASE, PD5C_DATAFINEFASE, "
                "PD5C_INDSTATOCONS, PD5C_INDSTATOORD, PD5C_QTA1ORD, PD5C_IDCICLO, PD5C_NUMREGCLAV, "
                "PD5C_PROGRIGACLAV) SELECT %1 + '_' + CAST(S AS VARCHAR(5)), '2026-03-14 18:00:00', 0, "
                "'I', 0, 'Reparto', S, S, 0, 'ART1', 1, %1, 1, 24, 'ODL', '2026-01-10', I, '2026-02-01', "
                "'2026-02-02', 2, 0, 40, 1, CASE WHEN S = 40 THEN %2 ELSE NULL END, CASE WHEN S = 40 THEN "
                "1 ELSE NULL END FROM NUMERI CROSS JOIN FASI")
                .arg(numreg, ocl));
    exec(c, QStringLiteral("COMMIT TRANSACTION"));
}

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0; // of this thread: what the click costs whatever else runs on the machine
    int phasesWritten = 0;
};

Figures run(int lines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recalc.db"));
    std::vector<tsqlite::Error> errors;
    {
        auto raw = tsqlite::Connection::open(path.toStdString(), errors, true);
        if (!raw || !erpdb::createSchema(*raw, errors))
            die(QStringLiteral("schema"));
    }
    const QString connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;
    db::Connection c;
    if (!c.open(connectionString))
        die(c.lastErrorText());
    exec(c,
         QStringLiteral("INSERT INTO FW07_APPUSER (FW07_ID, FW07_LOGIN, FW07_DESCR) VALUES (7, 'lferrari', "
                        "'Luca Ferrari')"));
    fillOrderBook(c, lines);
    // The statistics a database in use has (SQL Server keeps them by itself; the embedded
    // database gathers them when connections that searched the tables close).
    {
        auto raw = tsqlite::Connection::open(path.toStdString(), errors);
        sqlite3_exec(raw->handle(), "PRAGMA analysis_limit=400; ANALYZE", nullptr, nullptr, nullptr);
    }

    doubles::FixedClock clock{QDateTime(QDate(2026, 3, 15), QTime(10, 0))};
    doubles::FakeObjectFactory factory;
    factory.registerClass(classnames::DateObject, [] { return std::make_unique<EmbeddedDateObject>(); });
    factory.registerClass(classnames::PhaseScheduler,
                          [] { return std::make_unique<erphost::PhaseScheduler>(); });
    doubles::ScopedHostRuntime runtime(&factory, &clock);
    doubles::ScriptedMessageService messages;
    doubles::FakeGlobalContext global;
    global.connection = connectionString;
    global.messages = &messages;
    CLSPD_KVB_SCADLAV module([] { return new FRMPD_KVB_SCADLAV(); });
    module.Cinterface_SetClsGlobal(&global);
    module.Cinterface_ShowForm();
    auto* screen = qobject_cast<FRMPD_KVB_SCADLAV*>(module.screen());
    if (!screen)
        die(QStringLiteral("no screen"));
    screen->Form_Activate();
    if (!screen->isInitialized())
        die(QStringLiteral("the screen did not initialise"));
    screen->results().CMD_ELABORA_ButtonClick();
    if (screen->viewMode() != FRMPD_KVB_SCADLAV::ViewMode::Results)
        die(QStringLiteral("Visualizza failed: ") + messages.boxes().value(0).text);

    // Every line opened in the detail, and a new start typed on its first phase.
    const QString table = screen->detail().detailTableName();
    for (int i = 1; i <= lines; ++i)
        exec(c, OrderDetail::InserimentoRiga(table, QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0')),
                                             QStringLiteral("1")));
    exec(c, QStringLiteral("UPDATE %1 SET DATA_INI = '2026-04-01', IND_DIR = 1 WHERE DO46_CODSEQFASE = 10")
                .arg(table));

    Figures figures;
    QElapsedTimer timer;
    const double cpuBefore = bench::cpuNow();
    timer.start();
    screen->recalculation().CMD_DATE_Click();
    figures.seconds = timer.nsecsElapsed() / 1e9;
    figures.cpuSeconds = bench::cpuNow() - cpuBefore;
    if (screen->recalculation().lastOutcome().status != ActionOutcome::Status::Done)
        die(QStringLiteral("the recalculation did not end well: ") + messages.boxes().value(0).text);
    auto rs = c.execute(
        QStringLiteral("SELECT COUNT(*) FROM DO46_DOCCORORDDET WHERE DO46_DATAINIZIO >= '2026-04-01'"));
    figures.phasesWritten = int(rs->value(0).toInt64().value_or(0));
    module.Cinterface_CloseForm();
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ERP_FIXED_NOW", "2026-03-15 10:00:00");
    QApplication app(argc, argv);
    erpdb::registerDatabaseObjects();
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;

    const Figures one = run(lines);
    std::printf("%6d lines x 8 phases: %7.3f s (processor %.3f s), %d phases written\n", lines, one.seconds,
                one.cpuSeconds, one.phasesWritten);
    const Figures two = run(2 * lines);
    std::printf("%6d lines x 8 phases: %7.3f s (processor %.3f s), %d phases written\n", 2 * lines,
                two.seconds, two.cpuSeconds, two.phasesWritten);
    const double ratio = two.seconds / one.seconds;
    std::printf("growth for twice the lines: %.2f x\n", ratio);
    std::printf("targets (under 5 s for %d lines, at most 2.2 x): %s\n", lines,
                one.seconds < 5.0 && ratio <= 2.2 ? "met" : "NOT met");
    return 0;
}
