#pragma once

#include <QString>

namespace scadlav {

// The host's status bar. The module writes only panel 2 (progress texts, always translated)
// and asks for an immediate repaint so the text shows while a long action runs.
class IStatusBar {
public:
    static constexpr int ProgressPanel = 2;

    virtual ~IStatusBar();
    virtual void setPanelText(int panel, const QString& text) = 0;
    virtual QString panelText(int panel) const = 0;
    // Lets the user interface repaint now, before the running handler goes on.
    virtual void repaint() = 0;

    // Progress of a long job, shown beside the text of panel 2: a bar with "step n of N", the
    // time since the job's first step and, when the step knows them (rows >= 0), the rows done
    // of the rows to do. The first call of a job starts its clock; endProgress() hides the
    // indicator. Both repaint at once. A host without an indicator ignores them.
    virtual void setProgress(int step, int steps, qint64 rowsDone = -1, qint64 rowsTotal = -1) {
        (void)step, (void)steps, (void)rowsDone, (void)rowsTotal;
    }
    virtual void endProgress() {}
};

// One long job's progress on the status bar: steps shown as they start, rows as they go, and
// the indicator hidden when the job ends however it ends. A null bar is allowed (no host).
class ProgressSteps {
public:
    ProgressSteps(IStatusBar* bar, int steps) : m_bar(bar), m_steps(steps) {}
    ~ProgressSteps() {
        if (m_bar && m_step > 0)
            m_bar->endProgress();
    }
    ProgressSteps(const ProgressSteps&) = delete;
    ProgressSteps& operator=(const ProgressSteps&) = delete;

    // Starts step n (1-based); a text, when given, becomes the text of panel 2.
    void step(int n, const QString& text = QString()) {
        m_step = n;
        if (!m_bar)
            return;
        if (!text.isEmpty())
            m_bar->setPanelText(IStatusBar::ProgressPanel, text);
        m_bar->setProgress(n, m_steps);
    }
    // Rows done within the current step; repaint as often as the caller likes.
    void rows(qint64 done, qint64 total) {
        if (m_bar && m_step > 0)
            m_bar->setProgress(m_step, m_steps, done, total);
    }
    int current() const { return m_step; }

private:
    IStatusBar* m_bar;
    int m_steps;
    int m_step = 0;
};

} // namespace scadlav
