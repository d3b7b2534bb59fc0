// Timed driver of "Visualizza" and of a re-sort on a large schedule: a demo order book of about
// the given number of phases, its schedule table filled straight from the order phases, the
// schedule screen driven off screen. Each step is printed: the statement built, the record set
// opened, the grid bound and painted, and the whole click.
//
//   scadlav_query_bench [phases]     default: 100000

#include "bench/MemoryFigures.h"
#include "bench/schedule/BenchScreen.h"
#include "engine/ScheduleStatement.h"
#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/Grid.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ParametersPanel.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScheduleRebuilder.h"
#include "schedule/ScheduleResults.h"
#include "schedule/ScreenSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

using namespace scadlav;

namespace {

using bench::die;
using bench::exec;

template <typename F> double timed(const char* name, F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("  %-34s %8.3f s\n", name, seconds);
    std::fflush(stdout);
    return seconds;
}

// A schedule row for every phase of the demo order book, as a rebuild leaves them.
void fillSchedule(db::Connection& c) {
    exec(c, QStringLiteral(
                "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_DATAELAB, PD5C_SEL, PD5C_FASEINTEST, "
                "PD5C_INDFASEINTEST, "
                "PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_PROGSFASE, PD5C_CODART_MG66, "
                "PD5C_DITTA_CG18, "
                "PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_DOCUM_MG3G, PD5C_DATADOC, PD5C_NUMDOC, "
                "PD5C_DATAINIFASE, "
                "PD5C_DATAFINEFASE, PD5C_INDSTATOCONS, PD5C_INDSTATOORD, PD5C_QTA1ORD, PD5C_QTAINLAV, "
                "PD5C_QTADAINV, "
                "PD5C_GIACPREC) "
                "SELECT DO46_NUMREG_CO99 + '_' + CAST(DO46_PROGRIGA AS VARCHAR(6)) + '_' + "
                "CAST(DO46_CODSEQFASE AS "
                "VARCHAR(5)) + '_' + CAST(DO46_PROGSFASE AS VARCHAR(4)) + '_' + CAST(DO46_CODFASE AS "
                "VARCHAR(5)), "
                "'2026-12-01 08:00:00', 0, 'I', ISNULL(DO46_INDFASEINTEST, 0), ISNULL(DO46_CODREPARTO, "
                "'Reparto'), "
                "DO46_CODSEQFASE, DO46_CODFASE, DO46_PROGSFASE, DO30_CODART_MG66, DO46_DITTA_CG18, "
                "DO46_NUMREG_CO99, "
                "DO46_PROGRIGA, DO11_DOCUM_MG36, DO11_DATADOC, DO11_NUMDOC, DO46_DATAINIZIO, DO46_DATAFINE, "
                "2, 0, "
                "DO46_QTA1ORD, 1, 5, 3 "
                "FROM DO46_DOCCORORDDET INNER JOIN DO30_DOCCORPO ON DO30_DITTA_CG18 = DO46_DITTA_CG18 AND "
                "DO30_NUMREG_CO99 = DO46_NUMREG_CO99 AND DO30_PROGRIGA = DO46_PROGRIGA INNER JOIN "
                "DO11_DOCTESTATA ON "
                "DO11_DITTA_CG18 = DO30_DITTA_CG18 AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99"));
}

// The memory of a loaded record set against its raw data, and the resident growth while it
// loaded (anonymous apart from the file-mapped database pages).
void reportMemory(const db::Recordset* rs, bench::ResidentPeak& peak) {
    peak.stop();
    if (rs)
        bench::printMemoryLine("memory", rs->storeRawBytes(), rs->storeMemoryBytes(), peak);
}

} // namespace

int main(int argc, char** argv) {
    bench::prepareOffscreen();
    QApplication app(argc, argv);
    const int phases = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    erpdb::registerDatabaseObjects();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("schedule.db"));
    erpdb::DemoOptions options;
    options.seed = 5;
    options.today = QDate(2026, 12, 5);
    options.lines = 200;
    erpdb::DemoSummary summary;
    QString error;
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    options.lines = std::max(1, int(double(phases) * options.lines / std::max(1, summary.phases)));
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    const QString connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;
    {
        db::Connection c;
        if (!c.open(connectionString))
            die(c.lastErrorText());
        fillSchedule(c);
        auto rs = c.execute(QStringLiteral("SELECT COUNT(*) FROM PD5C_SCADLAV"));
        std::printf("schedule rows: %s (demo phases %d)\n", qPrintable(rs->value(0).toText()),
                    summary.phases);
    }

    // Every order of the demo book, whatever its date.
    bench::BenchScreen host(connectionString);
    FRMPD_KVB_SCADLAV* screen = host.screen;
    doubles::ScriptedMessageService& messages = host.messages;

    ScheduleParameters p;
    p.companyCode = screen->session().companyCode();
    p.minDateLiteral = QStringLiteral("'2000-01-01 00:00:00'");
    p.stateKeys = QStringList{"K0", "K1", "K2", "K3", "K4"};
    for (const auto& [title, resort] :
         {std::pair{"show statement (sort 0)", false}, {"re-sort statement (sort 2)", true}}) {
        std::printf("%s\n", title);
        p.sortCode = resort ? QStringLiteral("2") : QStringLiteral("0");
        QString statement;
        timed("build text", [&] {
            statement = *(resort ? schedule_sql::resortStatement(p) : schedule_sql::showStatement(p));
        });
        db::Recordset rs;
        bench::ResidentPeak peak;
        timed("run and read all rows", [&] {
            if (!rs.open(statement, *screen->session().connection()))
                die(rs.lastErrorText());
        });
        std::printf("  rows: %d\n", rs.recordCount());
        reportMemory(&rs, peak);
        erpctl::Grid grid;
        grid.resize(1500, 900);
        db::RecordsetModel model(&rs);
        timed("bind the grid and paint it", [&] {
            grid.addColumn(QStringLiteral("PD5C_FORREP"), QStringLiteral("Forn./Rep."),
                           erpctl::ColumnKind::Text, 1500);
            grid.addColumn(QStringLiteral("PD5C_DATAFINEFASE"), QStringLiteral("Data fine"),
                           erpctl::ColumnKind::Date, 1000);
            grid.bind(&model);
            grid.show();
            grid.grab();
        });
    }

    std::printf("through the screen\n");
    bench::ResidentPeak showPeak;
    const double show = timed("Visualizza: click to grid painted", [&] {
        screen->results().CMD_ELABORA_ButtonClick();
        screen->controls().GRID_ORD->grab();
    });
    if (!screen->results().scheduleRecordset())
        die(QStringLiteral("Visualizza showed no schedule: ") + messages.boxes().value(0).text);
    std::printf("  rows: %d\n", screen->results().scheduleRecordset()->recordCount());
    reportMemory(screen->results().scheduleRecordset(), showPeak);
    const double resort = timed("re-sort to end date: pick to painted", [&] {
        screen->controls().CBO_ORD->setText(QStringLiteral("2"));
        screen->controls().GRID_ORD->grab();
    });
    std::printf("  rows: %d\n", screen->controls().GRID_ORD->rowCount());
    std::printf("target under 2 s each: %s\n", show < 2.0 && resort < 2.0 ? "met" : "NOT met");
    host.module.Cinterface_CloseForm();
    return 0;
}
