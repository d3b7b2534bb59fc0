#pragma once

#include <QDialog>
#include <cstdint>

namespace scadlav {

class Cinterface;

// What the module class needs of the screen it launches: the two module references it hands
// over, the window state, and one unload sequence that runs exactly once however the screen
// goes away (closed by the user, by the host through CloseForm, or by Escape).
class ModuleScreen : public QDialog {
    Q_OBJECT
public:
    explicit ModuleScreen(QWidget* parent = nullptr);

    // The module as the host sees it, through which the screen reaches every host service.
    Cinterface* ClsModulo = nullptr;
    // The module object the class holds in its ActiveDll property.
    Cinterface* ActiveDll = nullptr;

    // 0 normal, 1 minimised, 2 maximised, as the host numbers window states.
    void applyWindowState(std::int16_t state);
    bool isUnloaded() const { return m_unloaded; }

    void done(int result) override;

protected:
    // Asked before the screen closes; false keeps it open.
    virtual bool queryUnload() { return true; }
    // The screen's unload sequence; runs once.
    virtual void onUnload() {}

    void closeEvent(QCloseEvent* event) override;

private:
    void runUnload();

    bool m_unloaded = false;
    bool m_closeAgreed = false;
};

} // namespace scadlav
