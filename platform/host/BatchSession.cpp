#include "platform/host/BatchSession.h"

#include "module/contract/Cinterface.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "platform/host/ConnectionFactory.h"
#include "platform/host/CoreClasses.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <cstdio>

namespace erphost {

namespace {

// How long the window system may take to make the off-screen window active.
constexpr int kActivationTimeoutMs = 10000;

constexpr int kTextNoModuleClass = 92121;
constexpr int kTextNoScheduleScreen = 92122;
constexpr int kTextScreenNotReady = 92123;
constexpr int kTextWaitingForLock = 92144;

void printLine(const char* kind, const QString& text) {
    std::printf("%s: %s\n", kind, qPrintable(text));
    std::fflush(stdout);
}

} // namespace

BatchMessageService::BatchMessageService(const TextCatalog& catalog, Language language)
    : m_catalog(catalog), m_language(language) {}

int BatchMessageService::messageBox(const QString& text, int flags, const QString&, scadlav::IHostObject*) {
    return answer(text, flags);
}

int BatchMessageService::messageBoxById(int textId, int flags, const QString&,
                                        const QList<scadlav::Value>& parameters) {
    return answer(m_catalog.text(textId, m_language, parameters), flags);
}

QString BatchMessageService::textById(int textId, const QList<scadlav::Value>& parameters) {
    return m_catalog.text(textId, m_language, parameters);
}

int BatchMessageService::show(const QString& text, int flags, const QString&) {
    return answer(text, flags);
}

int BatchMessageService::answer(const QString& text, int flags) {
    printLine("message", text);
    switch (flags & scadlav::msgbox::ButtonMask) {
    case scadlav::msgbox::YesNo:
    case scadlav::msgbox::YesNoCancel:
        return scadlav::msgbox::ResultYes;
    default:
        return scadlav::msgbox::ResultOk;
    }
}

void BatchStatusBar::setPanelText(int panel, const QString& text) {
    if (panel < 1 || panel > 3)
        return;
    if (m_texts[panel] == text)
        return;
    m_texts[panel] = text;
    if (panel == ProgressPanel && !text.isEmpty())
        printLine("status", text);
}

void BatchStatusBar::showLockWait(const QString& text) {
    printLine("status", text);
}

QString BatchStatusBar::panelText(int panel) const {
    return panel >= 1 && panel <= 3 ? m_texts[panel] : QString();
}

BatchSession::BatchSession(HostSettings settings)
    : m_settings(std::move(settings)), m_catalog(TextCatalog::builtIn()),
      m_messages(m_catalog, m_settings.language), m_usage(m_settings.usageLogPath(), m_settings.userId),
      m_layouts(m_settings.layoutFolder()),
      m_loader(QCoreApplication::applicationDirPath(), m_settings.language) {
    scadlav::HostRuntime::setClock(&m_clock);
    registerClasses();
    scadlav::HostRuntime::setObjectFactory(&m_factory);
    m_global = std::make_unique<GlobalContext>(
        m_settings, GlobalContext::Services{&m_messages, &m_usage, nullptr, &m_layouts});
}

BatchSession::~BatchSession() {
    close();
    ConnectionFactory::setLockWaitNotice({});
    scadlav::HostRuntime::setObjectFactory(nullptr);
    scadlav::HostRuntime::setClock(nullptr);
}

void BatchSession::registerClasses() {
    // Lookups, reports and consoles are not needed without a user at the screen.
    registerCoreClasses(m_factory, m_settings, m_messages, true);
}

bool BatchSession::open() {
    if (!m_loader.load()) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(m_loader.errorString()));
        return false;
    }
    m_module = m_loader.create();
    if (!m_module) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(text(kTextNoModuleClass)));
        return false;
    }
    m_module->Cinterface_SetClsGlobal(m_global.get());
    m_module->Cinterface_SetActiveNavigator(&m_navigator);
    m_module->Cinterface_SetStatusBar(&m_statusBar);
    ConnectionFactory::setLockWaitNotice([this](bool waiting) {
        if (waiting)
            m_statusBar.showLockWait(text(kTextWaitingForLock));
    });
    m_module->Cinterface_LetCanInsert(true);
    m_module->Cinterface_LetCanDelete(true);
    m_module->Cinterface_LetCanUpdate(true);
    m_module->Cinterface_LetCanQbe(true);
    m_module->Cinterface_LetWindowModal(false);
    m_module->Cinterface_LetCaption(scadlav::Value(m_settings.caption));
    m_module->Cinterface_LetIsActive(true);
    m_module->Cinterface_ShowForm();

    m_screen = findScreen();
    if (!m_screen) {
        std::fprintf(stderr, "erp-host: %s\n", qPrintable(text(kTextNoScheduleScreen)));
        return false;
    }
    // The screen initialises itself, at once, when it becomes the active window.
    const QDeadlineTimer deadline(kActivationTimeoutMs);
    while (m_screen && !m_screen->isActiveWindow() && !deadline.hasExpired()) {
        m_screen->activateWindow();
        QApplication::setActiveWindow(m_screen);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QCoreApplication::processEvents();
    if (!m_screen || !jobs() || !jobs()->isReady()) {
        std::fprintf(stderr, "erp-host: %s\n",
                     qPrintable(text(kTextScreenNotReady, {m_settings.errorLogPath()})));
        return false;
    }
    return true;
}

void BatchSession::close() {
    if (!m_module)
        return;
    m_module->Cinterface_CloseForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_loader.destroy(m_module);
    m_module = nullptr;
}

QWidget* BatchSession::findScreen() const {
    // The module's screen that takes batch jobs, shown by the module's ShowForm.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && dynamic_cast<scadlav::IScheduleJobs*>(widget))
            return widget;
    }
    return nullptr;
}

QString BatchSession::text(int id, const QList<scadlav::Value>& parameters) const {
    return m_catalog.text(id, m_settings.language, parameters);
}

scadlav::IScheduleJobs* BatchSession::jobs() const {
    return dynamic_cast<scadlav::IScheduleJobs*>(m_screen.data());
}

} // namespace erphost
