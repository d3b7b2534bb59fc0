#include "platform/host/MessageBoxes.h"

#include "module/services/IMessageService.h"

#include <QApplication>
#include <QList>
#include <QMessageBox>

namespace erphost {

namespace {

struct ButtonCode {
    QMessageBox::StandardButton button;
    int code;
};

QList<ButtonCode> buttonsFor(int flags) {
    using B = QMessageBox::StandardButton;
    switch (flags & scadlav::msgbox::ButtonMask) {
    case 1:
        return {{B::Ok, 1}, {B::Cancel, 2}};
    case 2:
        return {{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}};
    case 3:
        return {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}};
    case 4:
        return {{B::Yes, 6}, {B::No, 7}};
    case 5:
        return {{B::Retry, 4}, {B::Cancel, 2}};
    default:
        return {{B::Ok, 1}};
    }
}

QMessageBox::Icon iconFor(int flags) {
    switch (flags & scadlav::msgbox::IconMask) {
    case scadlav::msgbox::Critical:
        return QMessageBox::Critical;
    case scadlav::msgbox::Question:
        return QMessageBox::Question;
    case scadlav::msgbox::Exclamation:
        return QMessageBox::Warning;
    case scadlav::msgbox::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtMessageBoxPresenter::show(const QString& text, int flags, const QString& title) {
    const QList<ButtonCode> buttons = buttonsFor(flags);
    QMessageBox box(iconFor(flags), title, text, QMessageBox::NoButton, QApplication::activeWindow());
    for (const ButtonCode& b : buttons)
        box.addButton(b.button);
    const int defaultIndex = (flags >> 8) & 0x3;
    box.setDefaultButton(buttons.at(defaultIndex < buttons.size() ? defaultIndex : 0).button);
    // Closing the box with Escape or the window button answers with its escape button.
    box.setEscapeButton(buttons.size() == 1 ? buttons.front().button : buttons.back().button);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonCode& b : buttons) {
        if (b.button == clicked)
            return b.code;
    }
    return buttons.size() == 1 ? buttons.front().code : buttons.back().code;
}

} // namespace erphost
