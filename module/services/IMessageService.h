#pragma once

#include "module/value/Value.h"

#include <QList>
#include <QString>

namespace scadlav {

class IHostObject;

// Message-box style flags and result codes, as the host's message boxes use them.
namespace msgbox {
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
inline constexpr int ButtonMask = 0x0F;
inline constexpr int IconMask = 0xF0;

inline constexpr int ResultOk = 1;
inline constexpr int ResultCancel = 2;
inline constexpr int ResultYes = 6;
inline constexpr int ResultNo = 7;
} // namespace msgbox

// The host's message and translation service, reached through the global context. It knows the
// text of every text ID in the user's language and substitutes parameters into it.
class IMessageService {
public:
    virtual ~IMessageService();

    // Shows `text` as it stands. `owner` is an optional object reference, always empty from
    // the module. Returns the button code.
    virtual int messageBox(const QString& text, int flags, const QString& title, IHostObject* owner) = 0;
    // Shows the text of `textId` in the user's language, with `parameters` substituted
    // (an empty list when the message has none). Returns the button code.
    virtual int messageBoxById(int textId, int flags, const QString& title,
                               const QList<Value>& parameters) = 0;
    // The text of `textId` in the user's language, with `parameters` substituted.
    virtual QString textById(int textId, const QList<Value>& parameters) = 0;
};

} // namespace scadlav
