#include "module/contract/CLSPD_KVB_SCADLAV.h"

#include "module/services/ClassNames.h"
#include "module/services/IStatusBar.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/RecordingFallback.h"
#include "tests/support/doubles/RecordingStatusBar.h"
#include "tests/support/doubles/ScopedHostRuntime.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace scadlav;
using namespace scadlav::doubles;

namespace {

// A screen that tells what the module looked like when it was unloaded.
class FakeScreen : public ModuleScreen {
public:
    explicit FakeScreen(QStringList* log) : m_log(log) {}

protected:
    void onUnload() override {
        if (!m_log)
            return;
        *m_log << QStringLiteral("screen unloaded");
        if (!ClsModulo)
            return;
        const auto tell = [this](const char* reference, bool set) {
            *m_log << QLatin1String(reference) + (set ? QLatin1String(" set") : QLatin1String(" nothing"));
        };
        tell("statusbar", ClsModulo->Cinterface_StatusBar());
        tell("activedll", ClsModulo->Cinterface_ActiveDll());
        tell("navigator", ClsModulo->Cinterface_ActiveNavigator());
        tell("connection", ClsModulo->Cinterface_Connection());
    }

private:
    QStringList* m_log;
};

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(ModuleClass, StoresKeepTheOldValueOfWhatDoesNotFit) {
    CLSPD_KVB_SCADLAV module;
    module.Cinterface_LetWindowState(2);
    module.Cinterface_LetWindowState(70000);
    EXPECT_EQ(module.Cinterface_WindowState(), 2);
    module.Cinterface_LetProgramMode(-32768);
    module.Cinterface_LetProgramMode(-40000);
    EXPECT_EQ(module.Cinterface_ProgramMode(), -32768);
    module.Cinterface_LetProgramMode(32767);
    EXPECT_EQ(module.Cinterface_ProgramMode(), 32767);

    // Top and Left take numeric text and ignore the rest.
    module.Cinterface_LetTop(Value(QStringLiteral("120")));
    module.Cinterface_LetLeft(Value(3.0));
    EXPECT_EQ(module.Cinterface_Top(), Value(120));
    EXPECT_EQ(module.Cinterface_Top().kind(), Value::Kind::Int);
    EXPECT_EQ(module.Cinterface_Left(), Value(3));

    module.Cinterface_LetTop(Value(QStringLiteral("alto")));
    module.Cinterface_LetLeft(Value(5e12));
    EXPECT_EQ(module.Cinterface_Top(), Value(120));
    EXPECT_EQ(module.Cinterface_Left(), Value(3));
}

TEST(ModuleClass, TransferDataFiresOnceWithACopyAndReturnsEmpty) {
    CLSPD_KVB_SCADLAV module;
    QList<Value> received;
    QObject::connect(&module, &CLSPD_KVB_SCADLAV::DataTransfer, [&](const Value& data) { received << data; });
    const Value result = module.Cinterface_TransferData(Value(QStringLiteral("ODL 42")));
    EXPECT_TRUE(result.isEmpty());
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.front(), Value(QStringLiteral("ODL 42")));
}

TEST(ModuleClass, ShowFormModelessHandsOverReferencesCaptionAndStateToAFreshScreenEachTime) {
    CLSPD_KVB_SCADLAV module([] { return new FakeScreen(nullptr); });
    module.Cinterface_ShowForm();
    QPointer<ModuleScreen> first = module.screen();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->windowTitle().isEmpty()) << "no caption yet";
    module.Cinterface_LetCaption(Value(QStringLiteral("Fasi - ditta 1")));
    module.Cinterface_LetWindowState(2);
    const Value result = module.Cinterface_ShowForm();

    EXPECT_TRUE(result.isEmpty());
    ModuleScreen* screen = module.screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_NE(screen, first.data());
    EXPECT_TRUE(screen->isVisible());
    EXPECT_FALSE(screen->isModal());
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("Fasi - ditta 1"));
    EXPECT_TRUE(screen->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(screen->ClsModulo, &module);
    EXPECT_EQ(screen->ActiveDll, &module);
    EXPECT_EQ(screen->parentWidget(), nullptr);
    first->close();
}

TEST(ModuleClass, ShowFormModalBlocksUntilTheScreenCloses) {
    CLSPD_KVB_SCADLAV module([] { return new FakeScreen(nullptr); });
    module.Cinterface_LetWindowModal(true);
    module.Cinterface_LetCaption(Value(12));
    QString seenTitle;
    bool seenModal = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            seenTitle = modal->windowTitle();
            seenModal = true;
            modal->close();
        }
    });
    module.Cinterface_ShowForm();
    EXPECT_TRUE(seenModal);
    EXPECT_EQ(seenTitle, QStringLiteral("12"));
    flushDeletes();
    EXPECT_EQ(module.screen(), nullptr);
}

TEST(ModuleClass, CloseFormUnloadsOnceAndFailuresNeverReachTheHost) {
    QStringList log;
    CLSPD_KVB_SCADLAV module([&] { return new FakeScreen(&log); });
    module.Cinterface_ShowForm();
    EXPECT_TRUE(module.Cinterface_CloseForm().isEmpty());
    module.Cinterface_CloseForm();
    flushDeletes();
    EXPECT_EQ(log.count(QStringLiteral("screen unloaded")), 1);
    EXPECT_EQ(module.screen(), nullptr);

    CLSPD_KVB_SCADLAV failing([]() -> ModuleScreen* { throw std::runtime_error("no screen"); });
    EXPECT_NO_THROW({
        EXPECT_TRUE(failing.Cinterface_ShowForm().isEmpty());
        failing.Cinterface_CloseForm();
    });
}

TEST(ModuleClass, TerminationReleasesInOrder) {
    QStringList log;
    FakeObjectFactory factory;
    factory.registerClass(classnames::FallbackTranslation, [&] {
        auto fallback = std::make_unique<RecordingFallback>();
        fallback->onDestroyed = [&] { log << QStringLiteral("fallback released"); };
        return fallback;
    });
    ScopedHostRuntime runtime(&factory);
    RecordingStatusBar statusBar;
    FakeNavigator navigator;
    int connectionStandIn = 0;
    {
        auto* module = new CLSPD_KVB_SCADLAV([&] { return new FakeScreen(&log); });
        module->Cinterface_SetStatusBar(&statusBar);
        module->Cinterface_SetActiveNavigator(&navigator);
        module->Cinterface_SetConnection(reinterpret_cast<db::Connection*>(&connectionStandIn));
        module->TraduzioneTesto(QStringLiteral("Tutte"), 58728); // no host service: stand-by box made
        ASSERT_TRUE(module->messages().holdsFallback());
        module->Cinterface_ShowForm();
        delete module;
    }
    const QStringList expected{QStringLiteral("fallback released"), QStringLiteral("screen unloaded"),
                               QStringLiteral("statusbar nothing"), QStringLiteral("activedll nothing"),
                               QStringLiteral("navigator set"),     QStringLiteral("connection set")};
    EXPECT_EQ(log, expected);
}
