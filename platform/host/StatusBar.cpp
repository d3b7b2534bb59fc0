#include "platform/host/StatusBar.h"

#include "platform/controls/ControlTexts.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>

namespace erphost {

StatusBar::StatusBar(QStatusBar* bar) : m_bar(bar) {
    for (int i = 1; i <= PanelCount; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        bar->addPermanentWidget(label, i == ProgressPanel ? 1 : 0);
        m_panels << label;
        if (i == ProgressPanel) {
            // The job's indicator sits right after its text.
            m_progressText = new QLabel(bar);
            m_progressText->setObjectName(QStringLiteral("ProgressText"));
            m_progress = new QProgressBar(bar);
            m_progress->setObjectName(QStringLiteral("Progress"));
            m_progress->setTextVisible(false);
            m_progress->setMaximumWidth(160);
            m_progress->setMaximumHeight(bar->fontMetrics().height());
            bar->addPermanentWidget(m_progressText);
            bar->addPermanentWidget(m_progress);
            m_progressText->hide();
            m_progress->hide();
        }
    }
}

void StatusBar::setProgress(int step, int steps, qint64 rowsDone, qint64 rowsTotal) {
    if (!m_clock.isValid())
        m_clock.start();
    steps = std::max(steps, 1);
    step = std::clamp(step, 0, steps);
    m_progress->setRange(0, steps);
    m_progress->setValue(step);
    const QLocale locale;
    const qint64 seconds = m_clock.elapsed() / 1000;
    const QString elapsed = seconds >= 3600 ? QStringLiteral("%1:%2:%3")
                                                  .arg(seconds / 3600)
                                                  .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                                  .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                                            : QStringLiteral("%1:%2")
                                                  .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                                                  .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    QString text = erpctl::controlText(91470, QStringLiteral("Passo %1 di %2 · %3"))
                       .arg(QString::number(step), QString::number(steps), elapsed);
    if (rowsDone >= 0 && rowsTotal > 0)
        text += QStringLiteral(" · ") + erpctl::controlText(91425, QStringLiteral("%1 di %2 righe"))
                                            .arg(locale.toString(rowsDone), locale.toString(rowsTotal));
    else if (rowsDone >= 0)
        text += QStringLiteral(" · ") +
                erpctl::controlText(91424, QStringLiteral("%1 righe")).arg(locale.toString(rowsDone));
    m_progressText->setText(text);
    m_progressText->show();
    m_progress->show();
    repaint();
}

void StatusBar::endProgress() {
    m_progress->hide();
    m_progressText->hide();
    m_progressText->clear();
    m_clock.invalidate();
    repaint();
}

QString StatusBar::progressText() const {
    return m_progressText->text();
}

bool StatusBar::progressShown() const {
    return !m_progress->isHidden();
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

void StatusBar::showLockWait(const QString& text) {
    // Widgets belong to the window's thread; a wait on any other thread is not shown.
    if (m_waiting || QThread::currentThread() != m_bar->thread())
        return;
    m_waiting = true;
    QLabel* panel = label(ProgressPanel);
    m_textBeforeWait = panel->text();
    panel->setText(text);
    panel->repaint();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void StatusBar::endLockWait() {
    if (!m_waiting || QThread::currentThread() != m_bar->thread())
        return;
    m_waiting = false;
    QGuiApplication::restoreOverrideCursor();
    QLabel* panel = label(ProgressPanel);
    panel->setText(m_textBeforeWait);
    panel->repaint();
}

void StatusBar::repaint() {
    for (QLabel* l : m_panels)
        l->repaint();
    m_progressText->repaint();
    m_progress->repaint();
    // Long handlers run on the user-interface thread; let the new text reach the screen now,
    // without handling the user's input in the middle of the handler.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace erphost
