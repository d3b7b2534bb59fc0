#pragma once
// The real erp-host started as a user or a script starts it, on a copy of the demo order book in
// a folder of the test's own: alone to its end, or several side by side, each line of standard
// output kept with the moment it came.

#include "tests/support/ErpDbTesting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Failure messages quote the processes' output as it is. Global, so that the assertions find it.
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
    return os << text.toStdString();
}

namespace erphost::testing {

// One erp-host process with each line of its standard output and when it came.
struct HostProcess {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString pending;
    QList<QPair<qint64, QString>> lines;
    QString err;
    int exitCode = -1;

    QString out() const {
        QString text;
        for (const auto& line : lines)
            text += line.second + QLatin1Char('\n');
        return text;
    }
    // Both streams, for failure messages.
    QString log() const { return out() + err; }
    // When the first line starting with `prefix` came, -1 when none did.
    qint64 timeOf(const QString& prefix) const {
        for (const auto& line : lines) {
            if (line.second.startsWith(prefix))
                return line.first;
        }
        return -1;
    }
    void send(int signal) const { ::kill(static_cast<pid_t>(process->processId()), signal); }
};

class HostProcessTest : public ::testing::Test {
protected:
    HostProcessTest() {
        database = home.filePath(QStringLiteral("erp.db"));
        QFile::copy(erpdb::testing::demoTemplate(), database);
        clock.start();
    }

    std::unique_ptr<HostProcess> start(const QStringList& arguments) {
        auto host = std::make_unique<HostProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A batch job and --help need no display; the interactive host is told to go off screen.
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (arguments.contains("--batch") || arguments.contains("--help"))
            env.remove("QT_QPA_PLATFORM");
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("ERP_FIXED_NOW", fixedNow);
        if (!timeZone.isEmpty())
            env.insert("TZ", timeZone);
        host->process->setProcessEnvironment(env);
        // A relative --out lands in the test's folder, never where the tests were started.
        host->process->setWorkingDirectory(home.path());
        HostProcess* raw = host.get();
        QObject::connect(raw->process.get(), &QProcess::readyReadStandardOutput, [raw, this] {
            raw->pending += QString::fromUtf8(raw->process->readAllStandardOutput());
            qsizetype end;
            while ((end = raw->pending.indexOf(QLatin1Char('\n'))) >= 0) {
                raw->lines.append({clock.elapsed(), raw->pending.left(end)});
                raw->pending.remove(0, end + 1);
            }
        });
        host->process->start(QStringLiteral(SCADLAV_BINARY_DIR "/bin/erp-host"), arguments);
        return host;
    }
    // Starts a process that runs beside the test's own until finish().
    HostProcess& launch(const QStringList& arguments) {
        hosts.push_back(start(arguments));
        return *hosts.back();
    }

    // Lets the processes' output in until `done` holds or `ms` have passed; whether it holds.
    static bool waitUntil(const std::function<bool()>& done, qint64 ms, int step = 20) {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, step);
        return done();
    }

    // Waits for every process to end (all of them within two minutes).
    void finish(std::vector<std::unique_ptr<HostProcess>>& all) {
        QElapsedTimer waited;
        waited.start();
        for (auto& host : all) {
            if (!waitUntil([&] { return host->process->state() == QProcess::NotRunning; },
                           120000 - waited.elapsed())) {
                host->process->kill();
                host->process->waitForFinished();
                ADD_FAILURE() << "erp-host did not end";
            }
            QCoreApplication::processEvents();
            host->err = QString::fromUtf8(host->process->readAllStandardError());
            host->exitCode =
                host->process->exitStatus() == QProcess::NormalExit ? host->process->exitCode() : -1;
        }
    }
    void finish() { finish(hosts); }

    // Waits for a line starting with `prefix` and freezes the process there.
    bool stopAt(HostProcess& host, const QString& prefix) {
        waitUntil([&] { return host.timeOf(prefix) >= 0 || host.process->state() == QProcess::NotRunning; },
                  60000, 2);
        const bool came = host.timeOf(prefix) >= 0;
        if (came)
            host.send(SIGSTOP);
        return came;
    }

    // Runs one process to its end; it stays readable through last() until the next run.
    HostProcess& run(const QStringList& arguments) {
        m_single.clear();
        m_single.push_back(start(arguments));
        finish(m_single);
        return last();
    }
    HostProcess& last() { return *m_single.front(); }

    QTemporaryDir home;
    QString database; // the copy of the demo order book
    QString timeZone; // TZ of the processes started; empty keeps the machine's
    QString fixedNow = QStringLiteral("2026-03-15 10:00:00"); // the ERP's clock in the processes
    QElapsedTimer clock;
    std::vector<std::unique_ptr<HostProcess>> hosts; // launched
    std::vector<std::unique_ptr<HostProcess>> m_single;
};

} // namespace erphost::testing
