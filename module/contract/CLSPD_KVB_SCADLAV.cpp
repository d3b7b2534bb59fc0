#include "module/contract/CLSPD_KVB_SCADLAV.h"

#include <limits>

namespace scadlav {

namespace {

// Runs one step of a member with errors resumed: a failing step is skipped and the next runs.
template <class Step> void resumed(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

// The 16-bit store of a 32-bit argument: out of range keeps the old value.
void store16(std::int16_t& member, std::int32_t value) {
    if (value >= std::numeric_limits<std::int16_t>::min() &&
        value <= std::numeric_limits<std::int16_t>::max())
        member = static_cast<std::int16_t>(value);
}

void store32(std::int32_t& member, const Value& value) {
    if (std::optional<std::int32_t> converted = value.toInt32())
        member = *converted;
}

} // namespace

CLSPD_KVB_SCADLAV::CLSPD_KVB_SCADLAV(ScreenFactory screenFactory)
    : m_screenFactory(std::move(screenFactory)), m_messages([this] { return m_activeDll; }) {
    m_activeDll = this;
}

CLSPD_KVB_SCADLAV::~CLSPD_KVB_SCADLAV() {
    resumed([&] { m_messages.releaseFallback(); });
    m_statusBar = nullptr;
    m_activeFrame = nullptr;
    m_activeDll = nullptr;
    m_clsGlobal = nullptr;
    // The screen's code lives in this library, so it must not outlive the class: a screen
    // still open is unloaded and destroyed here.
    resumed([&] {
        if (ModuleScreen* screen = m_screen.data()) {
            m_screen.clear();
            if (!screen->isUnloaded())
                screen->close();
            delete screen;
        }
    });
    m_activeNavigator = nullptr;
    m_clsVoceMenu = nullptr;
    // Only the reference goes; the connection belongs to whoever opened it.
    m_connection = nullptr;
}

void CLSPD_KVB_SCADLAV::Cinterface_LetWindowState(std::int32_t value) {
    store16(m_windowState, value);
}

void CLSPD_KVB_SCADLAV::Cinterface_LetProgramMode(std::int32_t value) {
    store16(m_programMode, value);
}

void CLSPD_KVB_SCADLAV::Cinterface_LetTop(const Value& value) {
    resumed([&] { store32(m_top, value); });
}

void CLSPD_KVB_SCADLAV::Cinterface_LetLeft(const Value& value) {
    resumed([&] { store32(m_left, value); });
}

Value CLSPD_KVB_SCADLAV::Cinterface_ShowForm() {
    ModuleScreen* screen = nullptr;
    resumed([&] {
        screen = m_screenFactory ? m_screenFactory() : nullptr;
        m_screen = screen;
    });
    if (screen) {
        resumed([&] { screen->ActiveDll = m_activeDll; });
        resumed([&] { screen->ClsModulo = this; });
        resumed([&] { screen->applyWindowState(m_windowState); });
        resumed([&] { screen->setWindowTitle(m_caption.toText()); });
        resumed([&] {
            // Modal, the screen is a window of its own. Modeless, it lives in the host's frame
            // when the frame can hold screens (an "embedScreen(QWidget*)" method), otherwise it
            // is a window of its own too.
            if (m_windowModal) {
                screen->setWindowModality(Qt::ApplicationModal);
                screen->exec();
            } else {
                screen->setModal(false);
                QObject* frame = m_activeFrame;
                if (frame && frame->metaObject()->indexOfMethod("embedScreen(QWidget*)") >= 0) {
                    bool embedded = false;
                    QMetaObject::invokeMethod(frame, "embedScreen", Qt::DirectConnection,
                                              Q_RETURN_ARG(bool, embedded), Q_ARG(QWidget*, screen));
                }
                screen->show();
            }
        });
    }
    return Value();
}

Value CLSPD_KVB_SCADLAV::Cinterface_CloseForm() {
    resumed([&] {
        if (ModuleScreen* screen = m_screen.data())
            screen->close();
    });
    return Value();
}

Value CLSPD_KVB_SCADLAV::Cinterface_TransferData(Value Data) {
    resumed([&] {
        const Value copy = Data;
        emit DataTransfer(copy);
    });
    return Value();
}

} // namespace scadlav
