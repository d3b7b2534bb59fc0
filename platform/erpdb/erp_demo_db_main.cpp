// erp-demo-db: writes a demo ERP database with an Italian manufacturing order book.

#include "erpdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr const char* kUsage = "usage: erp-demo-db --lines N --seed S --today YYYY-MM-DD [--force] <file>\n";

int refuse(const QString& message) {
    std::fprintf(stderr, "erp-demo-db: %s\n%s", qPrintable(message), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    erpdb::DemoOptions options;
    bool force = false;
    bool haveLines = false, haveSeed = false, haveToday = false;
    QString file;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* out) {
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--lines")) {
            bool ok = false;
            if (!value(&v) || (options.lines = v.toInt(&ok), !ok) || options.lines <= 0)
                return refuse(
                    QStringLiteral("--lines needs a whole number greater than 0, not \"%1\"").arg(v));
            haveLines = true;
        } else if (a == QLatin1String("--seed")) {
            bool ok = false;
            if (!value(&v) || (options.seed = v.toUInt(&ok), !ok))
                return refuse(
                    QStringLiteral("--seed needs a whole number from 0 to 4294967295, not \"%1\"").arg(v));
            haveSeed = true;
        } else if (a == QLatin1String("--today")) {
            if (!value(&v) || !(options.today = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"))).isValid())
                return refuse(
                    QStringLiteral("--today needs a date in the form YYYY-MM-DD, not \"%1\"").arg(v));
            haveToday = true;
        } else if (a == QLatin1String("--force")) {
            force = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return refuse(QStringLiteral("unknown option %1").arg(a));
        } else if (file.isEmpty()) {
            file = a;
        } else {
            return refuse(QStringLiteral("only one output file may be given"));
        }
    }
    if (!haveLines || !haveSeed || !haveToday || file.isEmpty())
        return refuse(QStringLiteral("--lines, --seed, --today and the output file are all required"));

    QElapsedTimer timer;
    timer.start();
    erpdb::DemoSummary summary;
    QString error;
    if (!erpdb::createDemoDatabase(file, options, force, &summary, &error)) {
        std::fprintf(stderr, "erp-demo-db: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s: %d production orders, %d lines, %d phases, %d subcontract orders, %d phase movements, "
                "%d customer order lines (%.1f s)\n",
                qPrintable(file), summary.productionOrders, summary.productionLines, summary.phases,
                summary.subcontractOrders, summary.movements, summary.customerOrderLines,
                static_cast<double>(timer.elapsed()) / 1000.0);
    return 0;
}
