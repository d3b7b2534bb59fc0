#pragma once
// A button that either acts at once (no items) or opens a menu of items, each known by a key.

#include <QToolButton>

class QMenu;

namespace erpctl {

class MenuButton : public QToolButton {
    Q_OBJECT
public:
    explicit MenuButton(QWidget* parent = nullptr);

    QString caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }

    void clearItems();
    // Adds a menu item; false (nothing added) when the key is empty or already used.
    bool addItem(const QString& caption, const QString& key);
    int itemCount() const;
    QStringList itemKeys() const;
    QString itemCaption(const QString& key) const;
    // Acts as a click on the item with this key; false when there is none.
    bool triggerItem(const QString& key);

signals:
    void itemClicked(const QString& key);

private:
    QMenu* m_menu;
};

} // namespace erpctl
