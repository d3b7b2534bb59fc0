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
};

} // namespace scadlav
