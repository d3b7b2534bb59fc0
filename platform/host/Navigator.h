#pragma once

#include "module/services/INavigator.h"

namespace erphost {

// The host's navigator: keeps the module that a host console currently works for.
class Navigator : public scadlav::INavigator {
public:
    void setCurrentModule(scadlav::Cinterface* module) override { m_current = module; }
    scadlav::Cinterface* currentModule() const override { return m_current; }

private:
    scadlav::Cinterface* m_current = nullptr;
};

} // namespace erphost
