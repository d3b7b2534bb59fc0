#pragma once

#include "module/services/IHostStateRefresh.h"
#include "platform/host/HostSettings.h"
#include "platform/host/StatusBar.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;

namespace erphost {

// The host's main window: a menu to open the module, a line telling company and user, and the
// status bar whose panel 2 shows the module's progress.
class HostWindow : public QMainWindow, public scadlav::IHostStateRefresh {
    Q_OBJECT
public:
    explicit HostWindow(const HostSettings& settings);
    ~HostWindow() override;

    StatusBar& statusBarService() { return *m_statusBar; }
    void refreshHostState() override;

    // Run when the user asks to open the module again and when the window closes.
    std::function<void()> onOpenModule;
    std::function<void()> onClosing;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const HostSettings& m_settings;
    std::unique_ptr<StatusBar> m_statusBar;
    QLabel* m_session = nullptr;
};

} // namespace erphost
