#include "platform/controls/MenuButton.h"

#include <QMenu>

namespace erpctl {

MenuButton::MenuButton(QWidget* parent) : QToolButton(parent), m_menu(new QMenu(this)) {
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    setMinimumHeight(fontMetrics().height() + 12);
    setMinimumWidth(90);
}

void MenuButton::clearItems() {
    m_menu->clear();
    setMenu(nullptr);
}

bool MenuButton::addItem(const QString& caption, const QString& key) {
    if (key.isEmpty() || itemKeys().contains(key))
        return false;
    QAction* action = m_menu->addAction(caption);
    action->setData(key);
    connect(action, &QAction::triggered, this, [this, key] { emit itemClicked(key); });
    // With items the whole button opens the menu: there is no action of its own to run.
    if (!menu()) {
        setMenu(m_menu);
        setPopupMode(QToolButton::InstantPopup);
    }
    return true;
}

int MenuButton::itemCount() const {
    return int(m_menu->actions().size());
}

QStringList MenuButton::itemKeys() const {
    QStringList keys;
    for (const QAction* action : m_menu->actions())
        keys << action->data().toString();
    return keys;
}

QString MenuButton::itemCaption(const QString& key) const {
    for (const QAction* action : m_menu->actions()) {
        if (action->data().toString() == key)
            return action->text();
    }
    return {};
}

bool MenuButton::triggerItem(const QString& key) {
    for (QAction* action : m_menu->actions()) {
        if (action->data().toString() == key) {
            action->trigger();
            return true;
        }
    }
    return false;
}

} // namespace erpctl
