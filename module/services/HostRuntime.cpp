#include "module/services/HostRuntime.h"

#include "module/services/SystemClock.h"

namespace scadlav {

namespace {
IObjectFactory* g_objectFactory = nullptr;
IClock* g_clock = nullptr;

IClock& systemClock() {
    static SystemClock clock;
    return clock;
}
} // namespace

IObjectFactory* HostRuntime::objectFactory() {
    return g_objectFactory;
}

void HostRuntime::setObjectFactory(IObjectFactory* factory) {
    g_objectFactory = factory;
}

IClock& HostRuntime::clock() {
    return g_clock ? *g_clock : systemClock();
}

void HostRuntime::setClock(IClock* clock) {
    g_clock = clock;
}

QDateTime HostRuntime::now() {
    return clock().now();
}

} // namespace scadlav
