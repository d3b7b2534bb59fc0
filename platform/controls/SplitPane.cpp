#include "platform/controls/SplitPane.h"

namespace erpctl {

SplitPane::SplitPane(QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    setChildrenCollapsible(false);
    setHandleWidth(6);
    connect(this, &QSplitter::splitterMoved, this, [this] {
        const QList<int> s = sizes();
        if (s.size() == 2 && s[0] + s[1] > 0)
            m_percent = qRound(100.0 * s[0] / (s[0] + s[1]));
        emit splitChanged();
    });
}

void SplitPane::setPanes(QWidget* first, QWidget* second) {
    clearPanes();
    m_first = first;
    m_second = second;
    if (first) {
        m_firstWasVisible = !first->isHidden();
        addWidget(first);
        first->show();
    }
    if (second) {
        m_secondWasVisible = !second->isHidden();
        addWidget(second);
        second->show();
    }
    applyOffset();
    arrange();
}

void SplitPane::clearPanes() {
    QWidget* owner = parentWidget();
    const auto giveBack = [owner](QWidget* pane, bool wasVisible) {
        if (!pane)
            return;
        pane->setParent(owner);
        pane->setMinimumHeight(0);
        pane->setVisible(wasVisible);
    };
    giveBack(m_first, m_firstWasVisible);
    giveBack(m_second, m_secondWasVisible);
    m_first = nullptr;
    m_second = nullptr;
}

void SplitPane::setSplitPercent(int percent) {
    m_percent = std::clamp(percent, 0, 100);
    arrange();
}

int SplitPane::splitPercent() const {
    return m_percent;
}

void SplitPane::setOffset(int pixels) {
    m_offset = std::max(pixels, 0);
    applyOffset();
}

void SplitPane::applyOffset() {
    setChildrenCollapsible(m_offset == 0);
    for (QWidget* pane : {m_first.data(), m_second.data()}) {
        if (pane)
            pane->setMinimumHeight(m_offset);
    }
}

void SplitPane::arrange() {
    if (count() < 2)
        return;
    const int total = std::max(height() - handleWidth(), 100);
    const int first = total * m_percent / 100;
    setSizes({first, total - first});
}

void SplitPane::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    arrange();
    emit splitChanged();
}

} // namespace erpctl
