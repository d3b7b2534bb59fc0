#pragma once
// The schedule screen shown by the module class as the host shows it, with a fixed clock, one
// error log for every object that asks, scripted messages and a recording status bar. Each fixture
// adds its database, sets global.connection and closes the screen in its destructor while the
// database is there.

#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/services/ClassNames.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "tests/support/doubles/EmbeddedDateObject.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/MemoryErrorLog.h"
#include "tests/support/doubles/MemoryLayoutStore.h"
#include "tests/support/doubles/RecordingStatusBar.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

namespace scadlav::testing {

class ScreenHarness : public ::testing::Test {
protected:
    ScreenHarness() {
        factory.registerClass(classnames::ErrorLog,
                              [this] { return std::make_unique<doubles::SharedErrorLog>(errorLog); });
        factory.registerClass(classnames::DateObject,
                              [] { return std::make_unique<doubles::EmbeddedDateObject>(); });
        global.messages = &messages;
        global.layouts = &layouts;
        module.Cinterface_SetClsGlobal(&global);
        module.Cinterface_SetActiveNavigator(&navigator);
        module.Cinterface_SetStatusBar(&statusBar);
    }
    ~ScreenHarness() override { close(); }

    FRMPD_KVB_SCADLAV* show() {
        module.Cinterface_ShowForm();
        screen = qobject_cast<FRMPD_KVB_SCADLAV*>(module.screen());
        EXPECT_NE(screen, nullptr);
        return screen;
    }
    // Shows the screen and activates it, as switching to its window in the host does.
    FRMPD_KVB_SCADLAV* open() {
        if (show())
            screen->Form_Activate();
        return screen;
    }
    void close() {
        if (screen)
            module.Cinterface_CloseForm();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QList<int> boxIds() const {
        QList<int> ids;
        for (const auto& box : messages.boxes())
            ids << box.textId;
        return ids;
    }

    doubles::FixedClock clock{QDateTime(QDate(2026, 3, 15), QTime(10, 30, 0))};
    doubles::FakeObjectFactory factory;
    doubles::ScopedHostRuntime runtime{&factory, &clock};
    doubles::MemoryErrorLog errorLog;
    doubles::ScriptedMessageService messages;
    doubles::MemoryLayoutStore layouts;
    doubles::FakeGlobalContext global;
    doubles::FakeNavigator navigator;
    doubles::RecordingStatusBar statusBar;
    CLSPD_KVB_SCADLAV module{[] { return new FRMPD_KVB_SCADLAV(); }};
    QPointer<FRMPD_KVB_SCADLAV> screen;
};

} // namespace scadlav::testing
