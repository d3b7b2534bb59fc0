// Out-of-line destructors: they anchor each interface's type information in this shared
// library, so the host and the module library agree on it (dynamic_cast across the boundary).
#include "module/services/IClock.h"
#include "module/services/IDecode.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostObject.h"
#include "module/services/IHostStateRefresh.h"
#include "module/services/ILayoutService.h"
#include "module/services/IMessageService.h"
#include "module/services/INavigator.h"
#include "module/services/IObjectFactory.h"
#include "module/services/IReport.h"
#include "module/services/IStatusBar.h"
#include "module/services/IUsageTracking.h"

namespace scadlav {

IHostObject::~IHostObject() = default;
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

} // namespace scadlav
