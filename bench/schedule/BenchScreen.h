#pragma once
// The schedule screen of the timed drivers: opened by the module class off screen on an
// embedded database, with the host's services stood in by the tests' doubles and the clock
// fixed at 5 December 2026, showing every order whatever its date.

#include "bench/BenchSupport.h"
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/services/ClassNames.h"
#include "platform/controls/DateField.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "tests/support/doubles/EmbeddedDateObject.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

namespace scadlav::bench {

// Before the QApplication: off screen unless a display is there, and the server's clock fixed.
inline void prepareOffscreen() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ERP_FIXED_NOW", "2026-12-05 10:00:00");
}

class BenchScreen {
public:
    explicit BenchScreen(const QString& connectionString) : runtime(&factory, &clock) {
        factory.registerClass(classnames::DateObject,
                              [] { return std::make_unique<doubles::EmbeddedDateObject>(); });
        global.connection = connectionString;
        global.messages = &messages;
        module.Cinterface_SetClsGlobal(&global);
        module.Cinterface_ShowForm();
        screen = qobject_cast<FRMPD_KVB_SCADLAV*>(module.screen());
        if (!screen)
            die(QStringLiteral("no screen"));
        screen->Form_Activate();
        if (!screen->isInitialized())
            die(QStringLiteral("the screen did not initialise"));
        screen->controls().TXT_DATAMIN->setText(QStringLiteral("01/01/2000"));
        screen->resize(1600, 1000);
    }

    doubles::FixedClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 0))};
    doubles::FakeObjectFactory factory;
    doubles::ScopedHostRuntime runtime;
    doubles::ScriptedMessageService messages;
    doubles::FakeGlobalContext global;
    CLSPD_KVB_SCADLAV module{[] { return new FRMPD_KVB_SCADLAV(); }};
    FRMPD_KVB_SCADLAV* screen = nullptr;
};

} // namespace scadlav::bench
