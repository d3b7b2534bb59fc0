#pragma once
// Two panes, one above the other, divided by a movable bar. The screen hands it two of its
// widgets and says which share of the height the first one gets.

#include <QPointer>
#include <QSplitter>

namespace erpctl {

class SplitPane : public QSplitter {
    Q_OBJECT
public:
    explicit SplitPane(QWidget* parent = nullptr);

    // Puts the two widgets in the panes (taking them from where they were).
    void setPanes(QWidget* first, QWidget* second);
    // Gives the pane widgets back to the split pane's own parent, as they were (shown or
    // hidden), and leaves the panes empty.
    void clearPanes();
    QWidget* firstPane() const { return m_first; }
    QWidget* secondPane() const { return m_second; }

    // Share of the height, in percent, given to the first pane (clamped to 0..100).
    void setSplitPercent(int percent);
    int splitPercent() const;
    // Least height, in pixels, either pane keeps when the bar is dragged; 0 lets a pane close.
    void setOffset(int pixels);
    int offset() const { return m_offset; }
    // Lays the panes out again with the split percentage.
    void arrange();

signals:
    // The bar was moved or the region resized.
    void splitChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyOffset();

    QPointer<QWidget> m_first;
    QPointer<QWidget> m_second;
    bool m_firstWasVisible = false;
    bool m_secondWasVisible = false;
    int m_percent = 50;
    int m_offset = 0;
};

} // namespace erpctl
