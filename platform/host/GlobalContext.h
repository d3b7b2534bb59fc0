#pragma once

#include "module/services/IGlobalContext.h"
#include "platform/host/HostSettings.h"

namespace erphost {

// The host's global context: the settings of the session and the services that hang off it.
// The services are owned elsewhere (by the host application) and may be null.
class GlobalContext : public scadlav::IGlobalContext {
public:
    struct Services {
        scadlav::IMessageService* messages = nullptr;
        scadlav::IUsageTracking* usage = nullptr;
        scadlav::IHostStateRefresh* refresh = nullptr;
        scadlav::ILayoutService* layouts = nullptr;
    };

    GlobalContext(HostSettings settings, Services services)
        : m_settings(std::move(settings)), m_services(services) {}

    const HostSettings& settings() const { return m_settings; }

    QString connectionString() const override { return m_settings.connectionString; }
    std::int16_t companyCode() const override { return m_settings.company; }
    QString subcontractWarehouse() const override { return m_settings.subcontractWarehouse; }
    std::int16_t userId() const override { return m_settings.userId; }
    QString userIdentity() const override { return m_settings.identity; }
    scadlav::Value userValue() const override { return scadlav::Value(m_settings.userName); }
    scadlav::ConnectionInfo connectionInfo() const override { return m_settings.connectionInfo; }
    scadlav::Value reportValue() const override { return scadlav::Value(m_settings.reportValue); }

    scadlav::IMessageService* messageService() override { return m_services.messages; }
    scadlav::IUsageTracking* usageTracking() override { return m_services.usage; }
    scadlav::IHostStateRefresh* hostStateRefresh() override { return m_services.refresh; }
    scadlav::ILayoutService* layoutService() override { return m_services.layouts; }

    void setCurrentModule(scadlav::Cinterface* module) override { m_currentModule = module; }
    scadlav::Cinterface* currentModule() const override { return m_currentModule; }

private:
    HostSettings m_settings;
    Services m_services;
    scadlav::Cinterface* m_currentModule = nullptr;
};

} // namespace erphost
