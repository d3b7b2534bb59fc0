// Timed driver of the schedule rebuild on generated demo databases: the rebuild operation the
// screen runs, against the embedded database, with the time of each step and the total. Generation
// is not timed.
//
//   scadlav_rebuild_bench [phases ...]     default: 10000 100000

#include "engine/ScheduleRebuild.h"
#include "erpdb.h"
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

const char* stepName(RebuildStep step) {
    switch (step) {
    case RebuildStep::DropWorkingTables:
        return "drop working tables";
    case RebuildStep::FilterTable:
        return "filter table";
    case RebuildStep::QuantityInWork:
        return "SPPD_SITCLAVORO";
    case RebuildStep::GroupedQuantities:
        return "grouped quantities (select into, update, index)";
    case RebuildStep::DeleteSchedule:
        return "delete schedule";
    case RebuildStep::InsertSchedule:
        return "insert schedule";
    case RebuildStep::CompleteQuantities:
        return "second quantity pass and marks";
    case RebuildStep::OpenSchedule:
        return "open schedule record set";
    case RebuildStep::PreviousPhases:
        return "per-row pass: reads, walk and write back";
    case RebuildStep::LastRebuildTime:
        return "last rebuild time";
    }
    return "?";
}

// Times each step of the rebuild from its start to the start of the next one.
class StepTimer : public IRebuildProgress {
public:
    explicit StepTimer(std::vector<Step>& steps) : m_steps(steps) {}
    void stepStarted(RebuildStep step) override {
        finish();
        m_current = stepName(step);
        m_timer.start();
        m_cpu = cpuSeconds();
    }
    void finish() {
        if (m_current)
            m_steps.push_back({m_current, m_timer.nsecsElapsed() / 1e9, cpuSeconds() - m_cpu});
        m_current = nullptr;
    }

private:
    std::vector<Step>& m_steps;
    const char* m_current = nullptr;
    QElapsedTimer m_timer;
    double m_cpu = 0;
};

[[noreturn]] void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
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

    RebuildInputs in;
    in.company = 1;
    in.minDateLiteral = QStringLiteral("'2020-01-01 00:00:00'");
    in.phaseType = QStringLiteral("0");
    in.checkedStates = QStringList{QStringLiteral("K0"), QStringLiteral("K1"), QStringLiteral("K2"),
                                   QStringLiteral("K3"), QStringLiteral("K4")};

    std::vector<Step> steps;
    StepTimer timer(steps);
    ScheduleRebuild operation(connection,
                              WorkTables::withSuffix(QStringLiteral("BENCH_05_12_2026_10_00_00")));
    const RebuildOutcome outcome = operation.run(in, QStringLiteral("CL"), &timer);
    timer.finish();
    if (outcome.status != RebuildOutcome::Status::Done)
        die(QStringLiteral("rebuild did not complete: ") + outcome.error.description +
            outcome.insertError.description);

    double wall = 0, cpu = 0;
    std::printf("%-44s %10s %10s\n", "step", "wall s", "cpu s");
    for (const Step& s : steps) {
        std::printf("%-44s %10.3f %10.3f\n", s.name, s.wall, s.cpu);
        wall += s.wall;
        cpu += s.cpu;
    }
    std::printf("%-44s %10.3f %10.3f\n", "TOTAL", wall, cpu);
    std::unique_ptr<db::Recordset> count =
        connection.execute(QStringLiteral("SELECT COUNT(*) FROM PD5C_SCADLAV"));
    std::printf("schedule rows %lld\n",
                count ? static_cast<long long>(count->value(0).toInt64().value_or(0)) : 0LL);
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
