// Timed driver of the schedule rebuild on generated demo databases: every step the screen
// runs, against the embedded database, with the time of each step and the total. Generation
// is not timed.
//
//   scadlav_rebuild_bench [phases ...]     default: 10000 100000

#include "engine/PhaseReferencePass.h"
#include "engine/RebuildStatements.h"
#include "erpdb.h"
#include "module/db/Command.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace scadlav;
using namespace scadlav::engine;

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Step {
    const char* name;
    double wall = 0, cpu = 0;
};

class Timer {
public:
    explicit Timer(std::vector<Step>& steps) : m_steps(steps) {}
    template <typename F> void run(const char* name, F&& f) {
        QElapsedTimer t;
        t.start();
        const double c0 = cpuSeconds();
        f();
        m_steps.push_back({name, t.nsecsElapsed() / 1e9, cpuSeconds() - c0});
    }

private:
    std::vector<Step>& m_steps;
};

[[noreturn]] void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

void exec(db::Connection& c, const QString& sql) {
    c.clearErrors();
    if (!c.execute(sql, db::kCmdTextNoRecords))
        die(QStringLiteral("statement failed: ") + c.lastErrorText() + QStringLiteral("\n") + sql.left(300));
}

// Demo lines for about `phases` production phases: the generator gives a few phases a line.
erpdb::DemoSummary generate(const QString& path, int phases) {
    erpdb::DemoOptions options;
    options.seed = 11;
    options.today = QDate(2026, 12, 5);
    options.lines = 200;
    erpdb::DemoSummary summary;
    QString error;
    QTemporaryDir probeDir;
    if (!erpdb::createDemoDatabase(probeDir.filePath(QStringLiteral("probe.db")), options, true, &summary,
                                   &error))
        die(error);
    options.lines = std::max(1, int(double(phases) * options.lines / std::max(1, summary.phases)));
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    return summary;
}

double rebuild(const QString& path, int phases) {
    QElapsedTimer genTime;
    genTime.start();
    const erpdb::DemoSummary summary = generate(path, phases);
    std::printf("\n%d production phases (%d lines, %d subcontract lines), generated in %.1f s\n",
                summary.phases, summary.productionLines, summary.subcontractLines,
                genTime.elapsed() / 1000.0);

    db::Connection connection;
    if (!connection.open(QStringLiteral("Provider=tsqlite;Data Source=") + path))
        die(connection.lastErrorText());
    connection.setCommandTimeout(0);

    const QString suffix = QStringLiteral("BENCH_05_12_2026_10_00_00");
    const RebuildTables tables{
        QStringLiteral("##TabODL_") + suffix,         QStringLiteral("##TempDati_") + suffix,
        QStringLiteral("##TempDatiGRP_") + suffix,    QStringLiteral("##Testate_ODL_OCL") + suffix,
        QStringLiteral("##Docum_CambioCod") + suffix, QStringLiteral("##Docum_Fase") + suffix,
        QStringLiteral("##TabElab_") + suffix};
    RebuildInputs in;
    in.company = 1;
    in.minDateLiteral = QStringLiteral("'2020-01-01 00:00:00'");
    in.phaseType = QStringLiteral("0");
    in.checkedStates = QStringList{QStringLiteral("K0"), QStringLiteral("K1"), QStringLiteral("K2"),
                                   QStringLiteral("K3"), QStringLiteral("K4")};
    const QString common = *commonConditions(in);

    std::vector<Step> steps;
    Timer timer(steps);
    std::unique_ptr<db::Recordset> schedule;
    int written = 0;
    timer.run("drop working tables", [&] {
        for (const QString* t : {&tables.TabODL, &tables.TempDati, &tables.TempDatiGRP, &tables.TestateODLOCL,
                                 &tables.DocumCambioCod, &tables.DocumFase})
            exec(connection, dropTempTableSql(*t));
    });
    timer.run("SPPD_SITCLAVORO", [&] {
        db::Command command;
        command.setActiveConnection(&connection);
        command.setCommandText(SitcLavoroProcedure);
        command.setCommandType(db::kCmdStoredProc);
        command.setCommandTimeout(0);
        for (const ProcedureArgument& a :
             sitcLavoroArguments(in.company, QStringLiteral("CL"), tables, false))
            command.setParameter(a.name, a.value, a.smallInt);
        if (!command.execute(nullptr, db::kCmdTextNoRecords))
            die(connection.lastErrorText());
    });
    timer.run("grouped quantities (select into, update, index)", [&] {
        exec(connection, groupedSelectSql(tables.TempDatiGRP, tables.TempDati));
        exec(connection, groupedUpdateSql(tables.TempDatiGRP, tables.TempDati));
        exec(connection, groupedIndexSql(tables.TempDatiGRP));
        exec(connection, dropTempTableSql(tables.TabElab));
    });
    timer.run("delete schedule", [&] { exec(connection, DeleteScheduleSql); });
    timer.run("insert schedule",
              [&] { exec(connection, insertScheduleSql(in, tables.TempDatiGRP, common)); });
    timer.run("second quantity pass and marks", [&] {
        exec(connection, quantityInWorkUpdateSql(tables.TempDatiGRP));
        exec(connection, PreviousPhaseMarkSql);
    });
    timer.run("open schedule record set", [&] {
        schedule = std::make_unique<db::Recordset>();
        if (!schedule->open(ScheduleSelectSql, connection))
            die(connection.lastErrorText());
        schedule->moveFirst();
    });
    PhaseReferencePass pass(connection, in.company, tables.TempDatiGRP);
    timer.run("per-row pass: reads", [&] { pass.load(); });
    timer.run("per-row pass: walk and write back", [&] { written = pass.run(*schedule); });
    timer.run("last rebuild time", [&] {
        if (!connection.execute(LastRebuildSql))
            die(connection.lastErrorText());
    });

    double wall = 0, cpu = 0;
    std::printf("%-44s %10s %10s\n", "step", "wall s", "cpu s");
    for (const Step& s : steps) {
        std::printf("%-44s %10.3f %10.3f\n", s.name, s.wall, s.cpu);
        wall += s.wall;
        cpu += s.cpu;
    }
    std::printf("%-44s %10.3f %10.3f\n", "TOTAL", wall, cpu);
    std::printf("schedule rows %d, rows completed by the per-row pass %d\n", schedule->recordCount(),
                written);
    return cpu;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    erpdb::registerDatabaseObjects();
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000};
    QTemporaryDir dir;
    std::vector<double> cpu;
    for (int n : sizes)
        cpu.push_back(rebuild(dir.filePath(QStringLiteral("bench_%1.db").arg(n)), n));
    if (cpu.size() == 2 && cpu[0] > 0)
        std::printf("\nprocessor time ratio %d -> %d phases: %.2f\n", sizes[0], sizes[1], cpu[1] / cpu[0]);
    return 0;
}
