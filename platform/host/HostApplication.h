#pragma once

#include "platform/host/ErrorLog.h"
#include "platform/host/GlobalContext.h"
#include "platform/host/HostSettings.h"
#include "platform/host/HostWindow.h"
#include "platform/host/LayoutStore.h"
#include "platform/host/LookupWindow.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/MessageService.h"
#include "platform/host/ModuleLoader.h"
#include "platform/host/Navigator.h"
#include "platform/host/ObjectFactory.h"
#include "platform/host/TextCatalog.h"
#include "platform/host/UsageLog.h"

#include "module/services/SystemClock.h"

#include <memory>
#include <optional>

namespace erphost {

// The running host: its services, its main window and the module it loaded. Services are
// created before the module and outlive it.
class HostApplication {
public:
    explicit HostApplication(HostSettings settings);
    ~HostApplication();

    // Loads the module, fills its host interface, shows its screen and runs the event loop.
    // With `quitAfterMs` the host lists its open windows on standard output after that time
    // and quits. Returns the process exit code.
    int run(std::optional<int> quitAfterMs);
    // Instead of waiting for the user: take the user guide's pictures into the folder, then quit.
    void setScreenshotFolder(const QString& folder) { m_screenshotFolder = folder; }

private:
    void registerClasses();
    void openModule();
    void closeModule();
    void quitAndListWindows();

    HostSettings m_settings;
    scadlav::SystemClock m_clock;
    TextCatalog m_catalog;
    QtMessageBoxPresenter m_presenter;
    // Shows the lookup lists of every filter panel and code field of the module.
    LookupWindow m_lookupWindow{m_presenter};
    MessageService m_messages;
    UsageLog m_usage;
    LayoutStore m_layouts;
    ObjectFactory m_factory;
    Navigator m_navigator;
    std::unique_ptr<HostWindow> m_window;
    std::unique_ptr<GlobalContext> m_global;
    ModuleLoader m_loader;
    scadlav::Cinterface* m_module = nullptr;
    bool m_quitRequested = false;
    QString m_screenshotFolder;
};

} // namespace erphost
