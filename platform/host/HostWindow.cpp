#include "platform/host/HostWindow.h"

#include "platform/host/ConnectionKind.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

namespace erphost {

namespace {

// The host's own captions, in the session's language.
QString caption(Language language, const char* italian, const char* english) {
    return QString::fromUtf8(language == Language::English ? english : italian);
}

} // namespace

HostWindow::HostWindow(const HostSettings& settings) : m_settings(settings) {
    setObjectName(QStringLiteral("ErpHostWindow"));
    setWindowTitle(QStringLiteral("erp-host"));
    const Language lang = settings.language;

    QMenu* program = menuBar()->addMenu(caption(lang, "&Programma", "&Program"));
    program->addAction(settings.caption, this, [this] {
        if (onOpenModule)
            onOpenModule();
    });
    program->addSeparator();
    program->addAction(caption(lang, "&Esci", "E&xit"), this, &QWidget::close);

    m_session = new QLabel(this);
    m_session->setObjectName(QStringLiteral("LBL_SESSION"));
    m_session->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_session);

    m_statusBar = std::make_unique<StatusBar>(statusBar());
    m_statusBar->setPanelText(1, caption(lang, "Ditta %1 - utente %2", "Company %1 - user %2")
                                     .arg(settings.company)
                                     .arg(settings.userName));
    m_statusBar->setPanelText(3, isEmbeddedConnection(settings.connectionString)
                                     ? QStringLiteral("tsqlite")
                                     : QStringLiteral("SQL Server"));
    refreshHostState();
    resize(800, 200);
}

HostWindow::~HostWindow() = default;

void HostWindow::refreshHostState() {
    m_session->setText(
        caption(m_settings.language, "Ditta %1\nUtente %2 (%3)\n%4", "Company %1\nUser %2 (%3)\n%4")
            .arg(m_settings.company)
            .arg(m_settings.userName)
            .arg(m_settings.userId)
            .arg(m_settings.identity));
}

void HostWindow::closeEvent(QCloseEvent* event) {
    if (onClosing)
        onClosing();
    QMainWindow::closeEvent(event);
}

} // namespace erphost
