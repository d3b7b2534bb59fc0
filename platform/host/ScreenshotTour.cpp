#include "platform/host/ScreenshotTour.h"

#include "module/services/IScheduleJobs.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/GridBar.h"
#include "platform/host/HostWindow.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>

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
    }
    return written;
}

} // namespace erphost
