#pragma once

#include "module/services/IHostObject.h"

#include <QString>

namespace scadlav {

class Cinterface;

// The host's stock-totals console: a host window opened on an article and option. The module
// hands it the module while it prepares the inquiry and takes it back before showing it.
class IStockConsole : public IHostObject {
public:
    ~IStockConsole() override;
    virtual void setModule(Cinterface* module) = 0;
    // Three display settings of the console (the module gives 10, 1100 and true).
    virtual void configure(int first, int second, bool third) = 0;
    virtual void inquire(const QString& article, const QString& option) = 0;
    virtual void show() = 0;
};

} // namespace scadlav
