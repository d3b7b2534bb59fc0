#pragma once

#include "module/services/IStatusBar.h"

#include <QHash>
#include <QStringList>

namespace scadlav::doubles {

// A status bar that records every text written to panel 2, every progress step ("3/10", rows
// as "3/10 40/200") and "end" when the indicator goes, and counts repaints.
class RecordingStatusBar : public IStatusBar {
public:
    QStringList progressTexts;
    QStringList progressSteps;
    int repaints = 0;

    void setProgress(int step, int steps, qint64 rowsDone, qint64 rowsTotal) override {
        QString entry = QStringLiteral("%1/%2").arg(step).arg(steps);
        if (rowsDone >= 0)
            entry += QStringLiteral(" %1/%2").arg(rowsDone).arg(rowsTotal);
        progressSteps << entry;
    }
    void endProgress() override { progressSteps << QStringLiteral("end"); }

    void setPanelText(int panel, const QString& text) override {
        m_panels[panel] = text;
        if (panel == ProgressPanel)
            progressTexts << text;
    }
    QString panelText(int panel) const override { return m_panels.value(panel); }
    void repaint() override { ++repaints; }

private:
    QHash<int, QString> m_panels;
};

} // namespace scadlav::doubles
