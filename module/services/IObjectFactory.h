#pragma once

#include "module/services/IHostObject.h"

#include <QString>
#include <memory>

namespace scadlav {

// Creates host objects by class name ("XLNBO_TRADUCI.CLSXLN_TRADUCI") or class identifier
// ("{17C3FA16-...}"). Returns nullptr for a class it does not know.
class IObjectFactory {
public:
    virtual ~IObjectFactory();
    virtual std::unique_ptr<IHostObject> createObject(const QString& classNameOrId) = 0;

    // The object seen through interface T; nullptr when the class is unknown or is no T.
    template <class T> std::unique_ptr<T> create(const QString& classNameOrId) {
        std::unique_ptr<IHostObject> object = createObject(classNameOrId);
        if (auto* typed = dynamic_cast<T*>(object.get())) {
            object.release();
            return std::unique_ptr<T>(typed);
        }
        return nullptr;
    }
};

} // namespace scadlav
