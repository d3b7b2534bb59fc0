#pragma once

#include <QDateTime>

namespace scadlav {

class IClock;
class IObjectFactory;

// What the run-time offers process-wide, outside any module reference: creation of objects by
// class name and the clock. The host installs its own at start-up; tests install doubles.
// This library is shared, so the host and the module library see the same slots.
class HostRuntime {
public:
    // nullptr until a host installs one.
    static IObjectFactory* objectFactory();
    static void setObjectFactory(IObjectFactory* factory);

    // Never nullptr: the system clock (which honours ERP_FIXED_NOW) unless another is set.
    static IClock& clock();
    // nullptr restores the system clock.
    static void setClock(IClock* clock);

    static QDateTime now();
};

} // namespace scadlav
