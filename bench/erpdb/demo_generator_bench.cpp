// Time to write the demo order book with about 100 000 production-order phases (target: under
// 30 s on the project's two-core machines).

#include "erpdb.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

void DemoDatabaseWith100kPhases(benchmark::State& state) {
    QTemporaryDir dir;
    erpdb::DemoOptions options;
    options.lines = static_cast<int>(state.range(0));
    options.seed = 7;
    options.today = QDate(2026, 6, 15);
    erpdb::DemoSummary summary;
    for (auto _ : state) {
        const QString path = dir.filePath(QStringLiteral("bench.db"));
        QFile::remove(path);
        QString error;
        if (!erpdb::createDemoDatabase(path, options, true, &summary, &error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
    }
    state.counters["phases"] = summary.phases;
    state.counters["movements"] = summary.movements;
    state.counters["subcontract_orders"] = summary.subcontractOrders;
}

} // namespace

// 18 500 order lines give a little over 100 000 phases.
BENCHMARK(DemoDatabaseWith100kPhases)->Arg(18500)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

BENCHMARK_MAIN();
