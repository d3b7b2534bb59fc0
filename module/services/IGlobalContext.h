#pragma once

#include "module/value/Value.h"

#include <QString>
#include <cstdint>

namespace scadlav {

class Cinterface;
class IHostStateRefresh;
class ILayoutService;
class IMessageService;
class IUsageTracking;

// The four values of the host's database logon that the report service needs to read the
// report's own data (server, database, user and password of the ERP database).
struct ConnectionInfo {
    QString server;
    QString database;
    QString user;
    QString password;
};

// The global context of the user's work (the host's ClsGlobal): who works, for which company,
// on which database, and the host services that hang off it. Owned by the host; the module
// keeps only a reference while the host says so.
class IGlobalContext {
public:
    virtual ~IGlobalContext();

    // ERP database connection string; every screen opens its own connection with it.
    virtual QString connectionString() const = 0;
    // Current company code, written as a plain number into every statement.
    virtual std::int16_t companyCode() const = 0;
    // Subcontract warehouse code of the company, a parameter of the rebuild.
    virtual QString subcontractWarehouse() const = 0;
    // Numeric user identifier (key of the access registry).
    virtual std::int16_t userId() const = 0;
    // User and workstation identity text: suffix of the per-user temporary tables.
    virtual QString userIdentity() const = 0;
    // The further user value handed to the filter panel at its set-up (the user's login name).
    virtual Value userValue() const = 0;
    // Database logon values, each handed to its own member of a report object.
    virtual ConnectionInfo connectionInfo() const = 0;
    // A value passed unchanged to every report object.
    virtual Value reportValue() const = 0;

    // Message and translation service; nullptr when the host offers none.
    virtual IMessageService* messageService() = 0;
    // Usage tracking; optional, nullptr when absent.
    virtual IUsageTracking* usageTracking() = 0;
    // Host-state refresh; optional, nullptr when absent.
    virtual IHostStateRefresh* hostStateRefresh() = 0;
    // Per-user layout store; nullptr when absent.
    virtual ILayoutService* layoutService() = 0;

    // The current-module slot: holds the module while one of the host's consoles runs on its
    // behalf; the schedule screen clears it (nullptr) when it closes.
    virtual void setCurrentModule(Cinterface* module) = 0;
    virtual Cinterface* currentModule() const = 0;
};

} // namespace scadlav
