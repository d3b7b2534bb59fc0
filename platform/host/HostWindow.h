#pragma once

#include "module/services/IHostStateRefresh.h"
#include "platform/host/HostSettings.h"
#include "platform/host/StatusBar.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;
class QStackedWidget;

namespace erphost {

// The host's main window, the frame the module's screens live in: a menu to open the module,
// the screen itself in the middle (or, with no screen open, a line telling company and user),
// and below it the status bar whose panel 2 shows the module's progress.
class HostWindow : public QMainWindow, public scadlav::IHostStateRefresh {
    Q_OBJECT
public:
    explicit HostWindow(const HostSettings& settings);
    ~HostWindow() override;

    StatusBar& statusBarService() { return *m_statusBar; }
    void refreshHostState() override;

    // Takes a modeless screen into the window's middle: it stops being a window of its own, the
    // frame takes its caption and size, and when the screen hides (closes) the frame shows the
    // session line again. Called by the module through the meta-object system, so that the
    // module needs no header of the host. False for no screen.
    Q_INVOKABLE bool embedScreen(QWidget* screen);
    QWidget* embeddedScreen() const;

    // Run when the user asks to open the module again and when the window closes.
    std::function<void()> onOpenModule;
    std::function<void()> onClosing;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showSessionLine();
    void announceActivation();

    const HostSettings& m_settings;
    std::unique_ptr<StatusBar> m_statusBar;
    QLabel* m_session = nullptr;
    QStackedWidget* m_area = nullptr;
    QWidget* m_screen = nullptr;
};

} // namespace erphost
