#pragma once

#include "module/services/IStatusBar.h"

#include <QHash>
#include <QStringList>

namespace scadlav::doubles {

// A status bar that records every text written to panel 2 and counts repaints.
class RecordingStatusBar : public IStatusBar {
public:
    QStringList progressTexts;
    int repaints = 0;

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
