#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "tests/support/doubles/FakeGlobalContext.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::doubles;

TEST(ScheduleScreen, ShownByTheModuleClassWithTheHostCaption) {
    CLSPD_KVB_SCADLAV module([] { return new FRMPD_KVB_SCADLAV(); });
    module.Cinterface_LetCaption(Value(QStringLiteral("Situazione fasi - ditta 3")));
    module.Cinterface_ShowForm();
    QPointer<ModuleScreen> screen = module.screen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->objectName(), QStringLiteral("FRMPD_KVB_SCADLAV"));
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("Situazione fasi - ditta 3"));
    EXPECT_EQ(screen->ClsModulo, &module);
    EXPECT_TRUE(screen->isVisible());
    module.Cinterface_CloseForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(screen);
}

TEST(ScheduleScreen, ClosingClearsTheHostsCurrentModuleSlots) {
    FakeGlobalContext global;
    FakeNavigator navigator;
    CLSPD_KVB_SCADLAV module([] { return new FRMPD_KVB_SCADLAV(); });
    module.Cinterface_SetClsGlobal(&global);
    module.Cinterface_SetActiveNavigator(&navigator);
    global.current = &module;
    navigator.current = &module;
    module.Cinterface_LetWindowModal(true);
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    module.Cinterface_ShowForm();
    EXPECT_EQ(global.current, nullptr);
    EXPECT_EQ(navigator.current, nullptr);
}
