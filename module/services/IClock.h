#pragma once

#include <QDateTime>

namespace scadlav {

// The time of day as the host sees it; one clock serves the host and the module.
class IClock {
public:
    virtual ~IClock();
    virtual QDateTime now() const = 0;
};

} // namespace scadlav
