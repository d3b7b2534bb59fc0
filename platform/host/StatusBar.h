#pragma once

#include "module/services/IStatusBar.h"

#include <QElapsedTimer>
#include <QList>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace erphost {

// The host's status bar with three panels (1: company and user, 2: the module's progress
// texts, 3: the database); panels are numbered from 1 as the module numbers them. Beside
// panel 2, a long job's progress: a bar and "step n of N · elapsed · rows".
class StatusBar : public scadlav::IStatusBar {
public:
    static constexpr int PanelCount = 3;

    explicit StatusBar(QStatusBar* bar);
    void setPanelText(int panel, const QString& text) override;
    QString panelText(int panel) const override;
    void repaint() override;
    void setProgress(int step, int steps, qint64 rowsDone = -1, qint64 rowsTotal = -1) override;
    void endProgress() override;

    // While a command waits for another session's lock: panel 2 says so, its own text back
    // afterwards, and the mouse pointer waits. Painted at once: the wait happens inside the
    // database's call, where the event loop must not run.
    void showLockWait(const QString& text);
    void endLockWait();

    // What the indicator shows now ("" when no job runs), for tests and the user guide.
    QString progressText() const;
    bool progressShown() const;

private:
    QLabel* label(int panel) const;

    QStatusBar* m_bar;
    QList<QLabel*> m_panels;
    QProgressBar* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QElapsedTimer m_clock;
    QString m_textBeforeWait;
    bool m_waiting = false;
};

} // namespace erphost
