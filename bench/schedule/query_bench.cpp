// Timed driver of "Visualizza" and of a re-sort on a large schedule: a demo order book of about
// the given number of phases, its schedule table filled straight from the order phases, the
// schedule screen driven off screen. Each step is printed: the statement built, the record set
// opened, the grid bound and painted, and the whole click.
//
//   scadlav_query_bench [phases]     default: 100000

#include "bench/schedule/BenchScreen.h"
#include "bench/schedule/DemoSchedule.h"
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

template <typename F> double timed(const char* name, F&& f) {
    QElapsedTimer t;
    t.start();
    f();
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("  %-34s %8.3f s\n", name, seconds);
    std::fflush(stdout);
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    bench::prepareOffscreen();
    QApplication app(argc, argv);
    const int phases = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    erpdb::registerDatabaseObjects();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("schedule.db"));
    const bench::DemoSchedule demo = bench::createDemoSchedule(path, phases);
    std::printf("schedule rows: %d (demo phases %d)\n", demo.scheduleRows, demo.phases);
    const QString connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;

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
        timed("run and read all rows", [&] {
            if (!rs.open(statement, *screen->session().connection()))
                die(rs.lastErrorText());
        });
        std::printf("  rows: %d\n", rs.recordCount());
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
    const double show = timed("Visualizza: click to grid painted", [&] {
        screen->results().CMD_ELABORA_ButtonClick();
        screen->controls().GRID_ORD->grab();
    });
    if (!screen->results().scheduleRecordset())
        die(QStringLiteral("Visualizza showed no schedule: ") + messages.boxes().value(0).text);
    std::printf("  rows: %d\n", screen->results().scheduleRecordset()->recordCount());
    const double resort = timed("re-sort to end date: pick to painted", [&] {
        screen->controls().CBO_ORD->setText(QStringLiteral("2"));
        screen->controls().GRID_ORD->grab();
    });
    std::printf("  rows: %d\n", screen->controls().GRID_ORD->rowCount());
    std::printf("target under 2 s each: %s\n", show < 2.0 && resort < 2.0 ? "met" : "NOT met");
    host.module.Cinterface_CloseForm();
    return 0;
}
