#include "platform/host/ScreenshotTour.h"

#include "module/services/IScheduleJobs.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/Grid.h"
#include "platform/controls/GridBar.h"
#include "platform/controls/MenuButton.h"
#include "platform/host/HostWindow.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QScrollBar>
#include <QSet>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

namespace erphost {

namespace {

// Lets the window lay itself out and paint before it is grabbed.
void settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget* widget, const QString& folder, const QString& name, QStringList& written) {
    const QString path = QDir(folder).filePath(name);
    if (!widget || !widget->grab().save(path))
        return false;
    written << path;
    return true;
}

// A window that opens modal (a list, a menu) is grabbed and closed from the event loop it runs.
void grabWhenOpen(const QString& folder, const QString& name, QStringList& written) {
    QTimer::singleShot(700, [folder, name, &written] {
        QWidget* open = QApplication::activeModalWidget();
        if (!open)
            open = QApplication::activePopupWidget();
        if (!open)
            return;
        save(open, folder, name, written);
        open->close();
    });
}

// The three views of the function menu on the rows of the order book: the open customer orders
// of the row whose article customers wait for most, the stock console on that row, and the
// proposals screen. What each showed is printed, so that a script can compare it with the batch
// export of the same views. Returns what could not be done ("" when all was).
QString functionMenuTour(HostWindow& window, const QString& folder, QStringList& written) {
    QWidget* screen = window.embeddedScreen();
    auto* menu = screen->findChild<erpctl::MenuButton*>(QStringLiteral("CMD_FUNZ"));
    auto* schedule = screen->findChild<erpctl::Grid*>(QStringLiteral("GRID_ORD"));
    auto* customers = screen->findChild<erpctl::Grid*>(QStringLiteral("GRID_CLI"));
    auto* frame = screen->findChild<QWidget*>(QStringLiteral("FrameCLI"));
    if (!menu || !schedule || !customers || !frame)
        return QStringLiteral("the schedule screen has no function menu or customer panel");

    // Rows are tried article by article, the first forty at most; the picture shows the one
    // that customers wait for most (ties: the first).
    QSet<QString> tried;
    int found = -1;
    int most = 0;
    for (int row = 0; row < schedule->rowCount() && tried.size() < 40; ++row) {
        const QString article = schedule->value(row, QStringLiteral("PD5C_CODART_MG66")).toString().trimmed();
        if (article.isEmpty() || tried.contains(article))
            continue;
        tried.insert(article);
        schedule->setCurrentRow(row);
        menu->triggerItem(QStringLiteral("KEY_IMP"));
        if (frame->isVisibleTo(screen) && customers->rowCount() > most) {
            found = row;
            most = customers->rowCount();
        }
    }
    if (found < 0)
        return QStringLiteral("\"Impegnato cliente\" found no open customer order for the first %1 articles")
            .arg(tried.size());
    schedule->setCurrentRow(found);
    menu->triggerItem(QStringLiteral("KEY_IMP"));
    const QString article = schedule->value(found, QStringLiteral("PD5C_CODART_MG66")).toString().trimmed();
    settle();
    save(&window, folder, QStringLiteral("schedule-commitment.png"), written);
    std::printf("shown: commitment %s %d rows\n", qPrintable(article), customers->rowCount());

    menu->triggerItem(QStringLiteral("KEY_GIAC"));
    settle();
    QWidget* console = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("StockConsole") && top->isVisible())
            console = top;
    }
    auto* figures = console ? console->findChild<QTableWidget*>(QStringLiteral("TABELLA")) : nullptr;
    if (!figures || figures->rowCount() == 0)
        return QStringLiteral("\"Situazione giacenze\" opened no stock console for %1").arg(article);
    save(console, folder, QStringLiteral("stock-console.png"), written);
    std::printf("shown: stock %s %d warehouses\n", qPrintable(article), figures->rowCount() - 1);
    console->close();

    // The proposals screen is modal: it is read, grabbed and closed from its own event loop.
    int proposals = -1;
    QString firstKey, lastKey;
    QTimer::singleShot(700, [&folder, &written, &proposals, &firstKey, &lastKey] {
        QWidget* open = QApplication::activeModalWidget();
        if (!open)
            return;
        if (open->objectName() != QLatin1String("FRMPD_KVB_PROP")) {
            open->close(); // the message that nothing has stock to send
            return;
        }
        if (auto* grid = open->findChild<erpctl::Grid*>(QStringLiteral("GRID_GIAC"))) {
            proposals = grid->rowCount();
            firstKey = grid->value(0, QStringLiteral("PD5C_KEYGRID")).toString().trimmed();
            lastKey = grid->value(proposals - 1, QStringLiteral("PD5C_KEYGRID")).toString().trimmed();
        }
        save(open, folder, QStringLiteral("proposals.png"), written);
        open->close();
    });
    menu->triggerItem(QStringLiteral("KEY_PROP"));
    if (proposals <= 0)
        return QStringLiteral("\"Proposte C/Lav.\" showed no phase with stock to send");
    std::printf("shown: proposals %d rows, first %s, last %s\n", proposals, qPrintable(firstKey),
                qPrintable(lastKey));
    return QString();
}

} // namespace

QStringList takeScreenshots(HostWindow& window, const QString& folder, QString* problem) {
    QStringList written;
    const auto fail = [problem, &written](const QString& why) {
        if (problem)
            *problem = why;
        return written;
    };
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create %1").arg(folder));
    QWidget* screen = window.embeddedScreen();
    auto* jobs = dynamic_cast<scadlav::IScheduleJobs*>(screen);
    // The screen initialises itself when the window first becomes active.
    window.activateWindow();
    for (int wait = 0; jobs && !jobs->isReady() && wait < 20; ++wait)
        settle(100);
    if (!jobs || !jobs->isReady())
        return fail(QStringLiteral("the schedule screen did not open in the window"));
    window.resize(1366, 780);
    settle();
    if (!save(&window, folder, QStringLiteral("schedule-parameters.png"), written))
        return fail(QStringLiteral("cannot write the parameter view's picture"));

    auto* filters = screen->findChild<erpctl::EnhancedQuery*>(QStringLiteral("EnhancedQuery"));
    if (filters) {
        grabWhenOpen(folder, QStringLiteral("schedule-lookup.png"), written);
        filters->requestLookup(QStringLiteral("DO46_CLIFOR_CG44"), 1);
        settle();
    }

    const scadlav::ActionOutcome shown = jobs->runShow();
    if (shown.status != scadlav::ActionOutcome::Status::Done)
        return fail(QStringLiteral("\"Visualizza\" showed nothing: rebuild the schedule first (%1)")
                        .arg(shown.description));
    settle();
    save(&window, folder, QStringLiteral("schedule-results.png"), written);

    // Scrolled right: the key columns stay at the left edge, the totals under the quantities.
    if (auto* grid = screen->findChild<QAbstractScrollArea*>(QStringLiteral("GRID_ORD"))) {
        QScrollBar* across = grid->horizontalScrollBar();
        across->setValue(across->maximum() * 2 / 3);
        settle();
        save(&window, folder, QStringLiteral("schedule-scrolled.png"), written);
        across->setValue(0);
    }
    if (auto* bar = screen->findChild<erpctl::GridBar*>()) {
        QMenu* legend = bar->createLegend(&window);
        legend->adjustSize();
        save(legend, folder, QStringLiteral("schedule-legend.png"), written);
        delete legend;
    }
    if (auto* detail = screen->findChild<QAbstractButton*>(QStringLiteral("CMD_DETT"))) {
        detail->click();
        settle();
        save(&window, folder, QStringLiteral("schedule-detail.png"), written);
        detail->click();
    }
    if (QString problem = functionMenuTour(window, folder, written); !problem.isEmpty())
        return fail(problem);
    return written;
}

} // namespace erphost
