#include "module/contract/ModuleScreen.h"

#include <QCloseEvent>

namespace scadlav {

ModuleScreen::ModuleScreen(QWidget* parent) : QDialog(parent) {
    // A closed screen frees itself; the module class only keeps a guarded pointer to it.
    setAttribute(Qt::WA_DeleteOnClose);
}

void ModuleScreen::applyWindowState(std::int16_t state) {
    switch (state) {
    case 1:
        setWindowState(Qt::WindowMinimized);
        break;
    case 2:
        setWindowState(Qt::WindowMaximized);
        break;
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

void ModuleScreen::closeEvent(QCloseEvent* event) {
    if (!m_unloaded && !m_closeAgreed && !queryUnload()) {
        event->ignore();
        return;
    }
    m_closeAgreed = true;
    // A visible dialog rejects itself here, which comes back through done().
    QDialog::closeEvent(event);
    if (event->isAccepted())
        runUnload();
}

void ModuleScreen::done(int result) {
    if (!m_unloaded && !m_closeAgreed && !queryUnload())
        return;
    m_closeAgreed = true;
    runUnload();
    QDialog::done(result);
    // Escape and accept() only hide a dialog; a hidden unloaded screen has no further use.
    if (testAttribute(Qt::WA_DeleteOnClose))
        deleteLater();
}

void ModuleScreen::runUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    onUnload();
}

} // namespace scadlav
