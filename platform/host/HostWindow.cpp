#include "platform/host/HostWindow.h"

#include "platform/host/ConnectionKind.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>

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
    m_area = new QStackedWidget(this);
    m_area->setObjectName(QStringLiteral("ModuleArea"));
    m_area->addWidget(m_session);
    setCentralWidget(m_area);

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

bool HostWindow::embedScreen(QWidget* screen) {
    if (!screen)
        return false;
    const bool maximized = screen->windowState() & Qt::WindowMaximized;
    const QSize size = screen->size().expandedTo(screen->sizeHint());
    screen->setParent(m_area, Qt::Widget);
    m_screen = screen;
    screen->installEventFilter(this);
    m_area->addWidget(screen);
    m_area->setCurrentWidget(screen);
    announceActivation();
    setWindowTitle(screen->windowTitle());
    connect(screen, &QWidget::windowTitleChanged, this, [this, screen](const QString& title) {
        if (m_screen == screen)
            setWindowTitle(title);
    });
    connect(screen, &QObject::destroyed, this, [this, screen] {
        if (m_screen == screen) {
            m_screen = nullptr;
            showSessionLine();
        }
    });
    // Room for the screen at its design size, with the menu and the status bar around it.
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    resize(std::max(width(), size.width()), std::max(height(), size.height() + chrome));
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

QWidget* HostWindow::embeddedScreen() const {
    return m_screen;
}

bool HostWindow::eventFilter(QObject* watched, QEvent* event) {
    // The screen closed (a dialog hides when it is done): the frame shows who is working.
    if (watched == m_screen && event->type() == QEvent::Hide && m_screen->isHidden())
        showSessionLine();
    else if (watched == m_screen && event->type() == QEvent::Show) {
        if (m_area->currentWidget() != m_screen) {
            m_area->setCurrentWidget(m_screen);
            setWindowTitle(m_screen->windowTitle());
        }
        announceActivation();
    }
    return QMainWindow::eventFilter(watched, event);
}

void HostWindow::announceActivation() {
    // A screen learns that it is active from its window's activation; one that arrives in a
    // window active already is told so, as a window of its own would be when shown.
    QTimer::singleShot(0, this, [this, screen = QPointer<QWidget>(m_screen)] {
        if (!screen || screen != m_screen || screen->isHidden())
            return;
        // Not active yet (a platform that activates no window by itself, as off screen):
        // becoming the active window tells every child, the screen included.
        if (!isActiveWindow()) {
            QApplication::setActiveWindow(this);
            return;
        }
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(screen, &activation);
    });
}

void HostWindow::showSessionLine() {
    m_area->setCurrentWidget(m_session);
    setWindowTitle(QStringLiteral("erp-host"));
}

void HostWindow::closeEvent(QCloseEvent* event) {
    if (onClosing)
        onClosing();
    QMainWindow::closeEvent(event);
}

} // namespace erphost
