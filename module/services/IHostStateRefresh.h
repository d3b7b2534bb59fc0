#pragma once

namespace scadlav {

// Brings the host's own state (menus, toolbar, active module) up to date; run by the reminder
// and proposals screens at every activation and close request. Optional.
class IHostStateRefresh {
public:
    virtual ~IHostStateRefresh();
    virtual void refreshHostState() = 0;
};

} // namespace scadlav
