#include "platform/host/CoreClasses.h"

#include "module/services/ClassNames.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/DateObject.h"
#include "platform/host/ErrorLog.h"
#include "platform/host/FallbackTranslation.h"
#include "platform/host/HostSettings.h"
#include "platform/host/NumericFormatter.h"
#include "platform/host/ObjectFactory.h"
#include "platform/host/PhaseScheduler.h"
#include "platform/host/ReportService.h"

namespace erphost {

void registerCoreClasses(ObjectFactory& factory, const HostSettings& settings,
                         IMessageBoxPresenter& presenter, bool echoErrors) {
    factory.registerClass(scadlav::classnames::FallbackTranslation,
                          [&presenter] { return std::make_unique<FallbackTranslation>(presenter); });
    factory.registerClass(scadlav::classnames::ErrorLog, [&settings, echoErrors] {
        return std::make_unique<ErrorLog>(settings.errorLogPath(), echoErrors);
    });
    factory.registerClass(scadlav::classnames::ConnectionFactory,
                          [] { return std::make_unique<ConnectionFactory>(); });
    factory.registerClass(scadlav::classnames::NumericFormatter,
                          [] { return std::make_unique<NumericFormatter>(); });
    factory.registerClass(scadlav::classnames::DateObject,
                          [&settings] { return std::make_unique<DateObject>(settings.connectionString); });
    factory.registerClass(scadlav::classnames::PhaseScheduler, [&settings] {
        return std::make_unique<PhaseScheduler>(settings.connectionString);
    });
    factory.registerClass(scadlav::classnames::Report, [&settings] {
        return std::make_unique<ReportService>(settings.report, settings.language);
    });
}

} // namespace erphost
