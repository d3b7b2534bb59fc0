// Timed driver of the schedule rebuild on generated demo databases: the rebuild operation the
// screen runs, against the embedded database, with the time of each step and the total, and how
// each step grows from the first size to the others. Generation is not timed.
//
//   scadlav_rebuild_bench [--keep DIR] [--again] [phases ...]   default: 100000 300000 1000000
//
// --keep DIR keeps each generated order book in DIR and copies it from there on the next run
// (same size, same book), so repeated runs skip the generation of a million phases.
// --again rebuilds each book a second time over the schedule the first rebuild wrote, as a
// planner's rebuild usually runs, and gives the ratios of those second rebuilds too.

#include "bench/BenchSupport.h"
#include "bench/MachineSpell.h"
#include "engine/ScheduleRebuild.h"
#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <unistd.h>

using namespace scadlav;
using namespace scadlav::engine;
using scadlav::bench::die;

namespace {

// The rebuild runs on this thread only, but the embedded database may use helper threads for
// sorting: the process's processor time counts them too.
double processCpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Step {
    RebuildStep step;
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
        m_current = step;
        m_running = true;
        m_timer.start();
        m_cpu = processCpuNow();
    }
    void finish() {
        if (m_running)
            m_steps.push_back({m_current, m_timer.nsecsElapsed() / 1e9, processCpuNow() - m_cpu});
        m_running = false;
    }

private:
    std::vector<Step>& m_steps;
    RebuildStep m_current = RebuildStep::DropWorkingTables;
    bool m_running = false;
    QElapsedTimer m_timer;
    double m_cpu = 0;
};

struct Run {
    int phases = 0;
    long long scheduleRows = 0;
    std::vector<Step> steps;
    double wall = 0, cpu = 0;
};

erpdb::DemoOptions demoOptions() {
    erpdb::DemoOptions options;
    options.seed = 11;
    options.today = QDate(2026, 12, 5);
    return options;
}

// Demo lines for about `phases` production phases: the generator gives a few phases a line.
int linesFor(int phases) {
    erpdb::DemoOptions options = demoOptions();
    options.lines = 200;
    erpdb::DemoSummary summary;
    QString error;
    QTemporaryDir probeDir;
    if (!erpdb::createDemoDatabase(probeDir.filePath(QStringLiteral("probe.db")), options, true, &summary,
                                   &error))
        die(error);
    return std::max(1, int(double(phases) * options.lines / std::max(1, summary.phases)));
}

// Puts the order book of about `phases` phases at `path`: generated, or copied from `keepDir`
// where an earlier run left it. Returns the number of production phases.
int prepare(const QString& path, int phases, const QString& keepDir) {
    const QString kept =
        keepDir.isEmpty() ? QString() : QDir(keepDir).filePath(QStringLiteral("rebuild_%1.db").arg(phases));
    const QString keptCount = kept + QStringLiteral(".phases");
    if (!kept.isEmpty() && QFile::exists(kept) && QFile::exists(keptCount)) {
        QFile count(keptCount);
        if (!count.open(QIODevice::ReadOnly) || !QFile::copy(kept, path))
            die(QStringLiteral("cannot copy the kept order book ") + kept);
        std::printf("\n%s: order book copied from %s\n", qPrintable(QString::number(phases)),
                    qPrintable(kept));
        return count.readAll().trimmed().toInt();
    }
    QElapsedTimer genTime;
    genTime.start();
    erpdb::DemoOptions options = demoOptions();
    options.lines = linesFor(phases);
    erpdb::DemoSummary summary;
    QString error;
    if (!erpdb::createDemoDatabase(path, options, true, &summary, &error))
        die(error);
    std::printf("\n%d production phases (%d lines, %d subcontract lines), generated in %.1f s\n",
                summary.phases, summary.productionLines, summary.subcontractLines,
                genTime.elapsed() / 1000.0);
    if (!kept.isEmpty()) {
        QDir().mkpath(keepDir);
        QFile::remove(kept);
        QFile count(keptCount);
        if (!QFile::copy(path, kept) || !count.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            count.write(QByteArray::number(summary.phases)) < 0)
            die(QStringLiteral("cannot keep the order book in ") + keepDir);
    }
    return summary.phases;
}

Run rebuild(const QString& path, int phases) {
    Run run;
    run.phases = phases;
    // The copy or the generated book is written out before the clock starts: the kernel writing
    // half a gigabyte of dirty pages during the first steps made them vary by half.
    ::sync();

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

    StepTimer timer(run.steps);
    ScheduleRebuild operation(connection,
                              WorkTables::withSuffix(QStringLiteral("BENCH_05_12_2026_10_00_00")));
    const RebuildOutcome outcome = operation.run(in, QStringLiteral("CL"), &timer);
    timer.finish();
    if (outcome.status != RebuildOutcome::Status::Done)
        die(QStringLiteral("rebuild did not complete: ") + outcome.error.description +
            outcome.insertError.description);

    std::unique_ptr<db::Recordset> count =
        connection.execute(QStringLiteral("SELECT COUNT(*) FROM PD5C_SCADLAV"));
    run.scheduleRows = count ? static_cast<long long>(count->value(0).toInt64().value_or(0)) : 0LL;

    std::printf("%d production phases, %lld schedule rows\n", run.phases, run.scheduleRows);
    std::printf("%-48s %10s %10s\n", "step", "wall s", "cpu s");
    for (const Step& s : run.steps) {
        std::printf("%-48s %10.3f %10.3f\n", stepName(s.step), s.wall, s.cpu);
        run.wall += s.wall;
        run.cpu += s.cpu;
    }
    std::printf("%-48s %10.3f %10.3f\n", "TOTAL", run.wall, run.cpu);
    std::fflush(stdout);
    return run;
}

const Step* findStep(const Run& run, RebuildStep step) {
    for (const Step& s : run.steps)
        if (s.step == step)
            return &s;
    return nullptr;
}

double ratio(double later, double first) {
    return first > 0 ? later / first : 0;
}

// How every step grew from the first size to each later one, against how the phases grew.
void printRatios(const std::vector<Run>& runs, const char* which) {
    if (runs.size() < 2)
        return;
    const Run& first = runs.front();
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const Run& later = runs[i];
        std::printf("\nratios%s %d -> %d phases (%.2fx the phases)\n", which, first.phases, later.phases,
                    ratio(later.phases, first.phases));
        std::printf("%-48s %10s %10s\n", "step", "wall", "cpu");
        for (const Step& s : later.steps) {
            const Step* base = findStep(first, s.step);
            if (!base)
                continue;
            std::printf("%-48s %10.2f %10.2f\n", stepName(s.step), ratio(s.wall, base->wall),
                        ratio(s.cpu, base->cpu));
        }
        std::printf("%-48s %10.2f %10.2f\n", "TOTAL", ratio(later.wall, first.wall),
                    ratio(later.cpu, first.cpu));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    erpdb::registerDatabaseObjects();
    std::vector<int> sizes;
    QString keepDir;
    bool again = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--keep") && i + 1 < argc) {
            keepDir = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (arg == QLatin1String("--again")) {
            again = true;
            continue;
        }
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (!ok || n <= 0)
            die(QStringLiteral("usage: scadlav_rebuild_bench [--keep DIR] [--again] [phases ...]"));
        sizes.push_back(n);
    }
    if (sizes.empty())
        sizes = {100000, 300000, 1000000};
    QTemporaryDir dir;
    std::vector<Run> runs, secondRuns;
    bench::printMachineSpell("before");
    for (int n : sizes) {
        const QString path = dir.filePath(QStringLiteral("bench_%1.db").arg(n));
        const int phases = prepare(path, n, keepDir);
        runs.push_back(rebuild(path, phases));
        if (again) {
            std::printf("\nagain, over the schedule just written:\n");
            secondRuns.push_back(rebuild(path, phases));
        }
        // A million-phase database is over a gigabyte: keep the temporary folder small.
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
    }
    printRatios(runs, "");
    printRatios(secondRuns, " of the second rebuilds,");
    bench::printMachineSpell("after");
    return 0;
}
