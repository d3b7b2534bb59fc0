#pragma once

#include "module/services/IHostObject.h"
#include "module/services/RuntimeError.h"

#include <QString>

namespace scadlav {

// The host's error log; one object per screen. A failing handler first hands over the pending
// runtime error, then asks for a record; the record carries the error taken last.
class IErrorLog : public IHostObject {
public:
    ~IErrorLog() override;
    // Position text written by every handler of the module.
    static inline const QString DefaultPosition = QStringLiteral("0_0_0_0");

    virtual void takeError(const RuntimeError& error) = 0;
    virtual void writeRecord(const QString& position, const QString& moduleText, const QString& routine) = 0;
};

} // namespace scadlav
