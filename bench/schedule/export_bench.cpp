// Timed driver of the batch export against the statement it runs. For each size it generates a
// demo order book of about that many phases with its schedule table filled (not timed), takes
// the show statement the export runs (the screen's own text for its default parameters and the
// earliest date 01/01/2000), and measures in one run:
//   - the statement alone as the embedded database runs it, in this process, every row read
//     and dropped (no record set, no text);
//   - the statement alone through `tsql`, a process writing every row as CSV to /dev/null;
//   - the whole batch export, `erp-host --batch export --out X.csv`, a process.
// The two processes run alternately; for each the best of the rounds is printed with its wall
// time, the processor time of the child (user + system) and its peak resident memory.
//
//   scadlav_export_bench [phases ...]     default: 100000 300000 1000000
//   BENCH_ROUNDS=n                        rounds of the two processes (default 2, 1 from 1 000 000)

#include "bench/schedule/BenchScreen.h"
#include "bench/schedule/DemoSchedule.h"
#include "engine/ScheduleStatement.h"
#include "schedule/ParametersPanel.h"

#include <tsqlite/tsqlite.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace scadlav;
using bench::die;

namespace {

struct Run {
    double wall = 0;
    double cpu = 0;  // user + system of the child
    long peakKb = 0; // peak resident size of the child
    int exitCode = -1;
};

// Runs a program with its standard output to `outputPath`, waits for it and reads its usage.
Run runChild(const QString& program, const QStringList& arguments, const QString& outputPath) {
    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray output = outputPath.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        die(QStringLiteral("cannot start ") + program);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        die(QStringLiteral("lost the child ") + program);
    Run run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Counts the rows of the result and drops them.
class CountingSink : public tsqlite::ResultSink {
public:
    void beginResultSet(const std::vector<tsqlite::Column>&) override { rows = 0; }
    void row(const tsqlite::Cell*, std::size_t) override { ++rows; }
    void endResultSet() override {}
    long rows = 0;
};

void print(const char* name, const Run& run) {
    std::printf("  %-44s wall %7.2f s  cpu %7.2f s  peak %6ld MB\n", name, run.wall, run.cpu,
                run.peakKb / 1024);
    std::fflush(stdout);
}

// The rows the export reported ("export: N rows written to ...", the English line with its plain
// count, which is why the export runs with --lang en).
long exportedRows(const QString& logPath) {
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() > 1 && words[0] == "export:")
            return words[1].toLong();
    }
    return -1;
}

void measure(int phases, int rounds, const QString& binaries) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("schedule.db"));
    const bench::DemoSchedule demo = bench::createDemoSchedule(path, phases);
    std::printf("%d phases requested: demo phases %d, schedule rows %d\n", phases, demo.phases,
                demo.scheduleRows);
    const QString connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;

    QString statement;
    {
        bench::BenchScreen host(connectionString);
        statement = *schedule_sql::showStatement(host.screen->parameters().LeggiParametri());
        host.module.Cinterface_CloseForm();
    }
    const QString script = dir.filePath(QStringLiteral("show.sql"));
    {
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly) || file.write(statement.toUtf8()) < 0)
            die(QStringLiteral("cannot write ") + script);
    }

    // The embedded database alone.
    CountingSink sink;
    bench::Timing engine = bench::measure(
        [&] {
            std::vector<tsqlite::Error> errors;
            auto connection = tsqlite::Connection::open(path.toStdString(), errors);
            if (!connection || !connection->execute(statement.toStdString(), &sink, errors))
                die(QStringLiteral("the show statement failed: ") +
                    QString::fromStdString(errors.empty() ? std::string() : errors.front().description));
        },
        {}, 1);
    std::printf("  %-44s wall %7.2f s  cpu %7.2f s  rows %ld\n", "statement, engine only (in process)",
                engine.wall, engine.cpu, sink.rows);

    const QString csv = dir.filePath(QStringLiteral("schedule.csv"));
    const QString log = dir.filePath(QStringLiteral("export.log"));
    Run tsql{1e9}, exported{1e9};
    for (int round = 0; round < rounds; ++round) {
        const Run t =
            runChild(binaries + QStringLiteral("/tsql"),
                     {QStringLiteral("--connect"), connectionString, QStringLiteral("--file"), script},
                     QStringLiteral("/dev/null"));
        if (t.exitCode != 0)
            die(QStringLiteral("tsql failed"));
        print("statement, tsql to /dev/null (process)", t);
        const Run e =
            runChild(binaries + QStringLiteral("/erp-host"),
                     {QStringLiteral("--batch"), QStringLiteral("export"), QStringLiteral("--demo-db"), path,
                      QStringLiteral("--user"), QStringLiteral("1"), QStringLiteral("--out"), csv,
                      QStringLiteral("--min-date"), QStringLiteral("2000-01-01"), QStringLiteral("--lang"),
                      QStringLiteral("en")},
                     log);
        if (e.exitCode != 0)
            die(QStringLiteral("the export failed (exit %1)").arg(e.exitCode));
        print("batch export to CSV (process)", e);
        if (t.wall < tsql.wall)
            tsql = t;
        if (e.wall < exported.wall)
            exported = e;
    }
    const long rows = exportedRows(log);
    std::printf("  rows exported %ld (statement %ld), CSV %.1f MB\n", rows, sink.rows,
                static_cast<double>(QFileInfo(csv).size()) / 1e6);
    if (rows != sink.rows)
        die(QStringLiteral("the export and the statement have different rows"));
    std::printf(
        "  best: export / tsql  wall %.2fx  cpu %.2fx;  export / engine only  wall %.2fx  cpu %.2fx;  "
        "export peak %ld MB\n",
        exported.wall / tsql.wall, exported.cpu / tsql.cpu, exported.wall / engine.wall,
        exported.cpu / engine.cpu, exported.peakKb / 1024);
    std::printf("  target export within 1.15x of the statement through tsql: %s\n",
                exported.wall <= 1.15 * tsql.wall ? "met" : "NOT met");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    bench::prepareOffscreen();
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {100000, 300000, 1000000};
    const QString binaries = QCoreApplication::applicationDirPath();
    QTemporaryDir home;
    // The host's settings and logs go to a throwaway folder.
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toLocal8Bit());
    erpdb::registerDatabaseObjects();
    const int rounds = qEnvironmentVariableIntValue("BENCH_ROUNDS");
    for (const int phases : sizes)
        measure(phases, rounds > 0 ? rounds : (phases >= 1000000 ? 1 : 2), binaries);
    return 0;
}
