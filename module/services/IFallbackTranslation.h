#pragma once

#include "module/services/IHostObject.h"
#include "module/value/Value.h"

#include <QString>

namespace scadlav {

// The stand-by message box the module creates by class name when the global context offers no
// message service (class name in ClassNames.h). Its answer is a variant that the caller
// converts to a button code.
class IFallbackTranslation : public IHostObject {
public:
    ~IFallbackTranslation() override;
    virtual Value QRXMsgBox(const QString& text, int flags, const QString& title) = 0;
};

} // namespace scadlav
