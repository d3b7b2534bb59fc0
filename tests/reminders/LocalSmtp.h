#pragma once
// A local SMTP server for tests and benchmarks: smtp_sink.py (aiosmtpd) on a free port of the
// loopback, keeping each message it accepts as files in a folder; and reading back what a print or
// a mail left: the text of a PDF (pdftotext) and of a file.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scadlav::testing {

// A socket bound to a port of the loopback the system picks, listening if asked; the port, 0 when
// that failed.
inline int bindLoopback(int fd, bool listen) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listen && ::listen(fd, 4) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// A loopback port nobody listens on now: the system picks one, and it is let go at once.
inline int freeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int port = bindLoopback(fd, false);
    ::close(fd);
    return port;
}

// A loopback port that takes connections and never answers them: a mail server that hangs.
class SilentServer {
public:
    SilentServer() : m_fd(::socket(AF_INET, SOCK_STREAM, 0)), m_port(bindLoopback(m_fd, true)) {}
    ~SilentServer() { ::close(m_fd); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    int port() const { return m_port; }

private:
    int m_fd;
    int m_port;
};

class LocalSmtpSink {
public:
    ~LocalSmtpSink() { stop(); }

    // Starts the server writing into `folder` (which must exist); false when it did not start.
    // `mode` is empty, {"login", user, password} or {"starttls"} (see smtp_sink.py).
    bool start(const QString& folder, const QStringList& mode = {}) {
        m_port = freeLocalPort();
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{QStringLiteral(SCADLAV_SOURCE_DIR "/tests/reminders/smtp_sink.py"),
                                    QString::number(m_port), folder} +
                            mode);
        return m_process.waitForReadyRead(20000) && m_process.readLine().startsWith("ready");
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    QString url() const { return QStringLiteral("smtp://127.0.0.1:%1").arg(m_port); }
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    int m_port = 0;
};

// The text of a PDF, pages separated by form feeds, laid out as on the page.
inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace scadlav::testing
