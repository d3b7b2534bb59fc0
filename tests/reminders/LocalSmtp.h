#pragma once
// A local SMTP server for tests and benchmarks: smtp_sink.py (aiosmtpd) on a free port of the
// loopback, keeping each message it accepts as files in a folder.

#include <QProcess>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace scadlav::testing {

// A loopback port nobody listens on now: the system picks one, and it is let go at once.
inline int freeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

class LocalSmtpSink {
public:
    ~LocalSmtpSink() { stop(); }

    // Starts the server writing into `folder` (which must exist); false when it did not start.
    bool start(const QString& folder) {
        m_port = freeLocalPort();
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(SCADLAV_SOURCE_DIR "/tests/reminders/smtp_sink.py"),
                         QString::number(m_port), folder});
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

} // namespace scadlav::testing
