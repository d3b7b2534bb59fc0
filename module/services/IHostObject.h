#pragma once

namespace scadlav {

// Base of every object the host creates by class name (see IObjectFactory): the caller asks
// the factory for a name and then looks at the object through the interface it needs.
class IHostObject {
public:
    virtual ~IHostObject();
};

} // namespace scadlav
