#pragma once

#include "module/services/CodeKind.h"
#include "module/services/IHostObject.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace scadlav {

class Cinterface;
class IGlobalContext;

// The host's decode for a kind of code: finds a code (within its parent codes) and gives its
// description. A code that does not exist is no error: the answer is std::nullopt.
class IDecode : public IHostObject {
public:
    ~IDecode() override;
    virtual void setModule(Cinterface* module) = 0;
    virtual void setGlobalContext(IGlobalContext* context) = 0;
    virtual std::optional<QString> describe(CodeKind kind, const QString& code,
                                            const QStringList& parentCodes) = 0;
};

} // namespace scadlav
