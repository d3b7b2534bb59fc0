#include "platform/host/HostApplication.h"

#include "module/contract/Cinterface.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "platform/controls/DefaultLookupPresenter.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/CoreClasses.h"
#include "platform/host/LookupService.h"
#include "platform/host/ScreenshotTour.h"
#include "platform/host/StockConsole.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace erphost {

namespace {
constexpr int kTextNoModuleClass = 92121;
constexpr int kTextWaitingForLock = 92144;
} // namespace

HostApplication::HostApplication(HostSettings settings)
    : m_settings(std::move(settings)), m_catalog(TextCatalog::builtIn()),
      m_messages(m_catalog, m_settings.language, m_presenter),
      m_usage(m_settings.usageLogPath(), m_settings.userId), m_layouts(m_settings.layoutFolder()),
      m_loader(QCoreApplication::applicationDirPath(), m_settings.language) {
    scadlav::HostRuntime::setClock(&m_clock);
    registerClasses();
    scadlav::HostRuntime::setObjectFactory(&m_factory);
    erpctl::setDefaultLookupPresenter(&m_lookupWindow);

    m_window = std::make_unique<HostWindow>(m_settings);
    m_global = std::make_unique<GlobalContext>(
        m_settings, GlobalContext::Services{&m_messages, &m_usage, m_window.get(), &m_layouts});
    m_window->onOpenModule = [this] { openModule(); };
    m_window->onClosing = [this] { closeModule(); };
}

HostApplication::~HostApplication() {
    closeModule();
    ConnectionFactory::setLockWaitNotice({});
    if (m_module) {
        m_loader.destroy(m_module);
        m_module = nullptr;
    }
    erpctl::setDefaultLookupPresenter(nullptr);
    scadlav::HostRuntime::setObjectFactory(nullptr);
    scadlav::HostRuntime::setClock(nullptr);
}

void HostApplication::registerClasses() {
    registerCoreClasses(m_factory, m_settings, m_presenter);
    m_factory.registerClass(scadlav::classnames::Lookup, [] { return std::make_unique<LookupService>(); });
    m_factory.registerClass(scadlav::classnames::Decode, [] { return std::make_unique<DecodeService>(); });
    m_factory.registerClass(scadlav::classnames::StockConsole,
                            [] { return std::make_unique<StockConsole>(); });
}

int HostApplication::run(std::optional<int> quitAfterMs) {
    if (quitAfterMs)
        QTimer::singleShot(*quitAfterMs, m_window.get(), [this] { quitAndListWindows(); });
    m_window->show();

    if (!m_loader.load()) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(m_loader.errorString()));
        return 3;
    }
    m_module = m_loader.create();
    if (!m_module) {
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(m_catalog.text(kTextNoModuleClass, m_settings.language)));
        return 3;
    }
    m_module->Cinterface_SetClsGlobal(m_global.get());
    m_module->Cinterface_SetActiveNavigator(&m_navigator);
    m_module->Cinterface_SetStatusBar(&m_window->statusBarService());
    ConnectionFactory::setLockWaitNotice([this](bool waiting) {
        StatusBar& bar = m_window->statusBarService();
        if (waiting)
            bar.showLockWait(m_catalog.text(kTextWaitingForLock, m_settings.language));
        else
            bar.endLockWait();
    });
    m_module->Cinterface_SetActiveFrame(m_window.get());
    m_module->Cinterface_LetCanInsert(true);
    m_module->Cinterface_LetCanDelete(true);
    m_module->Cinterface_LetCanUpdate(true);
    m_module->Cinterface_LetCanQbe(true);
    m_module->Cinterface_LetWindowState(m_settings.windowState);
    m_module->Cinterface_LetWindowModal(m_settings.modal);
    m_module->Cinterface_LetCaption(scadlav::Value(m_settings.caption));
    m_module->Cinterface_LetIsActive(true);

    openModule();
    if (m_quitRequested)
        return 0;
    if (!m_screenshotFolder.isEmpty()) {
        int result = 0;
        QTimer::singleShot(0, m_window.get(), [this, &result] {
            QString problem;
            for (const QString& file : takeScreenshots(*m_window, m_screenshotFolder, &problem))
                std::printf("screenshot: %s\n", qPrintable(file));
            if (!problem.isEmpty()) {
                std::fprintf(stderr, "erp-host: %s\n", qPrintable(problem));
                result = 1;
            }
            std::fflush(stdout);
            closeModule();
            QCoreApplication::exit(result);
        });
        QApplication::exec();
        return result;
    }
    return QApplication::exec();
}

void HostApplication::openModule() {
    if (m_module)
        m_module->Cinterface_ShowForm();
}

void HostApplication::closeModule() {
    if (m_module)
        m_module->Cinterface_CloseForm();
}

void HostApplication::quitAndListWindows() {
    QStringList titles;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            titles << w->windowTitle();
    }
    std::sort(titles.begin(), titles.end());
    for (const QString& title : titles)
        std::printf("window: %s\n", qPrintable(title));
    std::fflush(stdout);
    m_quitRequested = true;
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

} // namespace erphost
