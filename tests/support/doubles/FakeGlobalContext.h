#pragma once

#include "module/services/IGlobalContext.h"
#include "module/services/INavigator.h"

namespace scadlav::doubles {

// A global context whose every value and service is a public member the test sets.
class FakeGlobalContext : public IGlobalContext {
public:
    QString connection = QStringLiteral("Provider=tsqlite;Data Source=:memory:");
    std::int16_t company = 1;
    QString warehouse = QStringLiteral("CL");
    std::int16_t user = 7;
    QString identity = QStringLiteral("MARIO_PC-01");
    Value user_value = Value(QStringLiteral("mario"));
    ConnectionInfo info;
    Value report_value;
    IMessageService* messages = nullptr;
    IUsageTracking* usage = nullptr;
    IHostStateRefresh* refresh = nullptr;
    ILayoutService* layouts = nullptr;
    Cinterface* current = nullptr;

    QString connectionString() const override { return connection; }
    std::int16_t companyCode() const override { return company; }
    QString subcontractWarehouse() const override { return warehouse; }
    std::int16_t userId() const override { return user; }
    QString userIdentity() const override { return identity; }
    Value userValue() const override { return user_value; }
    ConnectionInfo connectionInfo() const override { return info; }
    Value reportValue() const override { return report_value; }
    IMessageService* messageService() override { return messages; }
    IUsageTracking* usageTracking() override { return usage; }
    IHostStateRefresh* hostStateRefresh() override { return refresh; }
    ILayoutService* layoutService() override { return layouts; }
    void setCurrentModule(Cinterface* module) override { current = module; }
    Cinterface* currentModule() const override { return current; }
};

// A navigator whose current-module slot the test can read.
class FakeNavigator : public INavigator {
public:
    Cinterface* current = nullptr;
    void setCurrentModule(Cinterface* module) override { current = module; }
    Cinterface* currentModule() const override { return current; }
};

} // namespace scadlav::doubles
