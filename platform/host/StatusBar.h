#pragma once

#include "module/services/IStatusBar.h"

#include <QList>

class QLabel;
class QStatusBar;

namespace erphost {

// The host's status bar with three panels (1: company and user, 2: the module's progress
// texts, 3: the database); panels are numbered from 1 as the module numbers them.
class StatusBar : public scadlav::IStatusBar {
public:
    static constexpr int PanelCount = 3;

    explicit StatusBar(QStatusBar* bar);
    void setPanelText(int panel, const QString& text) override;
    QString panelText(int panel) const override;
    void repaint() override;

private:
    QLabel* label(int panel) const;

    QStatusBar* m_bar;
    QList<QLabel*> m_panels;
};

} // namespace erphost
