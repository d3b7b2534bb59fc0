#pragma once

#include "module/services/HostRuntime.h"

namespace scadlav::doubles {

// Installs an object factory and a clock for the run-time for one test, and restores the
// previous ones when it goes.
class ScopedHostRuntime {
public:
    explicit ScopedHostRuntime(IObjectFactory* factory, IClock* clock = nullptr)
        : m_factory(HostRuntime::objectFactory()) {
        HostRuntime::setObjectFactory(factory);
        if (clock)
            HostRuntime::setClock(clock);
        m_clockSet = clock != nullptr;
    }
    ~ScopedHostRuntime() {
        HostRuntime::setObjectFactory(m_factory);
        if (m_clockSet)
            HostRuntime::setClock(nullptr);
    }
    ScopedHostRuntime(const ScopedHostRuntime&) = delete;
    ScopedHostRuntime& operator=(const ScopedHostRuntime&) = delete;

private:
    IObjectFactory* m_factory;
    bool m_clockSet = false;
};

} // namespace scadlav::doubles
