#pragma once

namespace scadlav {

class Cinterface;

// The host's navigator (ActiveNavigator): the frame that lists and switches the open modules.
// The module only fills and clears its current-module slot.
class INavigator {
public:
    virtual ~INavigator();
    virtual void setCurrentModule(Cinterface* module) = 0;
    virtual Cinterface* currentModule() const = 0;
};

} // namespace scadlav
