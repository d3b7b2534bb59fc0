#pragma once

#include "module/services/IFallbackTranslation.h"
#include "platform/host/MessageBoxes.h"

namespace erphost {

// The stand-by message box for modules that reach no message service: shows the text as
// given (it already carries its ID marker).
class FallbackTranslation : public scadlav::IFallbackTranslation {
public:
    explicit FallbackTranslation(IMessageBoxPresenter& presenter) : m_presenter(presenter) {}
    scadlav::Value QRXMsgBox(const QString& text, int flags, const QString& title) override {
        return scadlav::Value(m_presenter.show(text, flags, title));
    }

private:
    IMessageBoxPresenter& m_presenter;
};

} // namespace erphost
