// Out-of-line destructors: they anchor each interface's type information in this shared
// library, so the host and the module library use one and the same (dynamic_cast across the
// boundary, as the object factory does).
#include "module/services/IClock.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IDateObject.h"
#include "module/services/IDecode.h"
#include "module/services/IErrorLog.h"
#include "module/services/IFallbackTranslation.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostObject.h"
#include "module/services/IHostStateRefresh.h"
#include "module/services/ILayoutService.h"
#include "module/services/ILookup.h"
#include "module/services/IMessageService.h"
#include "module/services/INavigator.h"
#include "module/services/INumericFormatter.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IPhaseScheduler.h"
#include "module/services/IReport.h"
#include "module/services/IScheduleJobs.h"
#include "module/services/IStatusBar.h"
#include "module/services/IStockConsole.h"
#include "module/services/IUsageTracking.h"

namespace scadlav {

IHostObject::~IHostObject() = default;
IScheduleJobs::~IScheduleJobs() = default;
IGlobalContext::~IGlobalContext() = default;
INavigator::~INavigator() = default;
IStatusBar::~IStatusBar() = default;
IMessageService::~IMessageService() = default;
ILayoutService::~ILayoutService() = default;
IUsageTracking::~IUsageTracking() = default;
IHostStateRefresh::~IHostStateRefresh() = default;
IObjectFactory::~IObjectFactory() = default;
IClock::~IClock() = default;
IReportDocument::~IReportDocument() = default;
IReportEvents::~IReportEvents() = default;
IFallbackTranslation::~IFallbackTranslation() = default;
IErrorLog::~IErrorLog() = default;
ILookup::~ILookup() = default;
IDecode::~IDecode() = default;
IReport::~IReport() = default;
IPhaseScheduler::~IPhaseScheduler() = default;
IStockConsole::~IStockConsole() = default;
IConnectionFactory::~IConnectionFactory() = default;
INumericFormatter::~INumericFormatter() = default;
IDateObject::~IDateObject() = default;

} // namespace scadlav
