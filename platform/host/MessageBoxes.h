#pragma once

#include <QString>

namespace erphost {

// Shows a message box with the host's style flags (buttons plus icon) and returns the result
// code of the button pressed. An interface, so tests can answer without a display.
class IMessageBoxPresenter {
public:
    virtual ~IMessageBoxPresenter() = default;
    virtual int show(const QString& text, int flags, const QString& title) = 0;
};

// The real one: a QMessageBox. Icons: 16 critical, 32 question, 48 exclamation, 64
// information; buttons: 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No,
// 5 Retry/Cancel; 256 and 512 make the second and third button the default.
// Returns 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No.
class QtMessageBoxPresenter : public IMessageBoxPresenter {
public:
    int show(const QString& text, int flags, const QString& title) override;
};

} // namespace erphost
