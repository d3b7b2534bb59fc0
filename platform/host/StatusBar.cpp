#include "platform/host/StatusBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

namespace erphost {

StatusBar::StatusBar(QStatusBar* bar) : m_bar(bar) {
    for (int i = 1; i <= PanelCount; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        bar->addPermanentWidget(label, i == ProgressPanel ? 1 : 0);
        m_panels << label;
    }
}

QLabel* StatusBar::label(int panel) const {
    return panel >= 1 && panel <= m_panels.size() ? m_panels.at(panel - 1) : nullptr;
}

void StatusBar::setPanelText(int panel, const QString& text) {
    if (QLabel* l = label(panel))
        l->setText(text);
}

QString StatusBar::panelText(int panel) const {
    const QLabel* l = label(panel);
    return l ? l->text() : QString();
}

void StatusBar::repaint() {
    for (QLabel* l : m_panels)
        l->repaint();
    // Long handlers run on the user-interface thread; let the new text reach the screen now,
    // without handling the user's input in the middle of the handler.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace erphost
