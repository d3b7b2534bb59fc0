#pragma once
// What a batch job works with: the host's services in their batch form (messages and status
// texts printed and answered on their own), the loaded module and its schedule screen, open
// off screen and initialised.

#include "module/services/IMessageService.h"
#include "module/services/IScheduleJobs.h"
#include "module/services/IStatusBar.h"
#include "module/services/SystemClock.h"
#include "platform/host/GlobalContext.h"
#include "platform/host/HostSettings.h"
#include "platform/host/LayoutStore.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/ModuleLoader.h"
#include "platform/host/Navigator.h"
#include "platform/host/ObjectFactory.h"
#include "platform/host/TextCatalog.h"
#include "platform/host/UsageLog.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

namespace erphost {

// Prints every message box on standard output and answers it: Yes to a question, OK to
// anything else. Texts by ID come from the host's catalog in the user's language.
class BatchMessageService : public scadlav::IMessageService, public IMessageBoxPresenter {
public:
    BatchMessageService(const TextCatalog& catalog, Language language);

    int messageBox(const QString& text, int flags, const QString& title,
                   scadlav::IHostObject* owner) override;
    int messageBoxById(int textId, int flags, const QString& title,
                       const QList<scadlav::Value>& parameters) override;
    QString textById(int textId, const QList<scadlav::Value>& parameters) override;
    // The stand-by message box of the module goes the same way.
    int show(const QString& text, int flags, const QString& title) override;

private:
    int answer(const QString& text, int flags);

    const TextCatalog& m_catalog;
    Language m_language;
};

// Prints each new progress text of the module on standard output.
class BatchStatusBar : public scadlav::IStatusBar {
public:
    void setPanelText(int panel, const QString& text) override;
    QString panelText(int panel) const override;
    void repaint() override {}
    // A command waits for another session's lock: one status line, so that the job's log
    // shows why it paused.
    void showLockWait(const QString& text);

private:
    QString m_texts[4];
};

class BatchSession {
public:
    explicit BatchSession(HostSettings settings);
    ~BatchSession();
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    // Loads the module, shows its schedule screen off screen and waits for its first
    // activation. False with the reason printed on standard error when that fails.
    bool open();
    // Closes the screen (its registry row goes, its connection closes) and the module.
    void close();

    // The open schedule screen's actions for batch jobs; nullptr until open() succeeded.
    scadlav::IScheduleJobs* jobs() const;
    BatchMessageService& messages() { return m_messages; }
    const HostSettings& settings() const { return m_settings; }
    // The host's text `id` in the session's language.
    QString text(int id, const QList<scadlav::Value>& parameters = {}) const;

private:
    void registerClasses();
    QWidget* findScreen() const;

    HostSettings m_settings;
    scadlav::SystemClock m_clock;
    TextCatalog m_catalog;
    BatchMessageService m_messages;
    BatchStatusBar m_statusBar;
    UsageLog m_usage;
    LayoutStore m_layouts;
    ObjectFactory m_factory;
    Navigator m_navigator;
    std::unique_ptr<GlobalContext> m_global;
    ModuleLoader m_loader;
    scadlav::Cinterface* m_module = nullptr;
    QPointer<QWidget> m_screen;
};

} // namespace erphost
