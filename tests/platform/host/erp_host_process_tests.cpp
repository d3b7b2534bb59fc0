// Runs the real erp-host, offscreen, the way a user starts it.
#include "erpdb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HostRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class ErpHostProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        erpdb::DemoOptions options;
        options.lines = 20;
        options.today = QDate(2026, 3, 15);
        QString error;
        if (!erpdb::createDemoDatabase(s_dir->filePath(QStringLiteral("erp.db")), options, false, nullptr,
                                       &error))
            FAIL() << error.toStdString();
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    ErpHostProcess() {
        QFile::copy(s_dir->filePath(QStringLiteral("erp.db")), home.filePath(QStringLiteral("erp.db")));
    }

    HostRun run(const QStringList& arguments, bool display = true) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (display) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                env.remove(QString::fromLatin1(name));
        }
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(SCADLAV_BINARY_DIR "/bin/erp-host"), arguments);
        HostRun result;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "erp-host did not end";
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QString writeConfig(const QByteArray& content) {
        const QString path = home.filePath(QStringLiteral("host.ini"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    // A config on an ERP database, as a user of the ERP.
    QByteArray validConfig() const {
        return "[Database]\nConnectionString=\"Provider=tsqlite;Data Source=" +
               home.filePath(QStringLiteral("erp.db")).toUtf8() +
               "\"\n[Session]\nCompany=2\nUserId=5\n[Window]\nCaption=Fasi ditta 2\n";
    }

    // Arguments written as one line; those with spaces or empty are appended to the list.
    static QStringList args(const char* line) { return QString::fromUtf8(line).split(u' '); }

    // The host refuses to start with exit code 2 and a message naming the problem.
    void expectRefused(const QStringList& arguments, const char* named) {
        const HostRun refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(named))) << refused.err.toStdString();
    }

    // Nothing may be written when the host refuses to start.
    bool dataWritten() const { return QDir(home.filePath(QStringLiteral("data"))).exists(); }

    static inline QTemporaryDir* s_dir = nullptr;
    QTemporaryDir home;
};

} // namespace

TEST_F(ErpHostProcess, RefusesBadSettingsWithAMessageNamingThem) {
    const QString noDb = home.filePath(QStringLiteral("no.db"));
    expectRefused(args("--config") << home.filePath(QStringLiteral("nowhere.ini")),
                  "nowhere.ini: non esiste");
    expectRefused(args("--connect DSN=erp --company abc"), "--company");
    expectRefused(
        args("--config") << writeConfig("[Database]\nConnectionString=DSN=erp\n[Session]\nUserId=40000\n"),
        "Session/UserId");
    expectRefused(args("--connect") << QStringLiteral("  "), "Database/ConnectionString");
    expectRefused(args("--connect") << QStringLiteral("Provider=tsqlite;Data Source=") + noDb,
                  "Database/ConnectionString");
    EXPECT_FALSE(QFile::exists(noDb));
    EXPECT_FALSE(dataWritten());
}

TEST_F(ErpHostProcess, OpensTheModuleScreenOnTheErpDatabase) {
    const HostRun modeless = run(args("--quit-after 300 --config") << writeConfig(validConfig()));
    EXPECT_EQ(modeless.exitCode, 0) << modeless.err.toStdString();
    // The screen initialised on the database (it replaced the host's caption with its own) and
    // lives in the host's frame: one window, captioned by the screen.
    EXPECT_EQ(modeless.out.count(QStringLiteral("window: ")), 1) << modeless.out.toStdString();
    EXPECT_TRUE(modeless.out.contains(QStringLiteral("window: Situazione fasi di lavorazione\n")))
        << modeless.out.toStdString();
    // Off screen, the toolkit's notices about the window nobody sees are not printed.
    EXPECT_FALSE(modeless.err.contains(QStringLiteral("propagateSizeHints"))) << modeless.err.toStdString();
}

TEST_F(ErpHostProcess, DefaultConfigFileAndModalScreen) {
    QDir().mkpath(home.filePath(QStringLiteral("config/erp-host")));
    QFile file(home.filePath(QStringLiteral("config/erp-host/erp-host.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(validConfig() + "Modal=true\n");
    file.close();
    const HostRun modal = run(args("--quit-after 300"));
    EXPECT_EQ(modal.exitCode, 0) << modal.err.toStdString();
    EXPECT_TRUE(modal.out.contains(QStringLiteral("window: Situazione fasi di lavorazione\n")))
        << modal.out.toStdString();
}

TEST_F(ErpHostProcess, HelpNeedsNoDisplayAndListsEveryBatchJob) {
    const HostRun help = run(args("--help"), false);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    for (const char* text : {"--config FILE", "  rebuild ", "  export "})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(text))) << text << help.out.toStdString();
}

TEST_F(ErpHostProcess, AnEmptyConnectionStringIsAMistakeNotTheDemoDatabase) {
    expectRefused(args("--quit-after 200 --connect") << QString(), "Database/ConnectionString");
    const HostRun batch = run(args("--batch rebuild --connect= --user 1"));
    EXPECT_NE(batch.exitCode, 0);
    EXPECT_TRUE(batch.err.contains(QStringLiteral("Database/ConnectionString"))) << batch.err.toStdString();
    expectRefused(args("--quit-after 200 --config") << writeConfig("[Database]\nConnectionString=\n"),
                  "Database/ConnectionString");
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("data/erp-host/erp-demo.db"))));
}

TEST_F(ErpHostProcess, AUserTheErpDoesNotKnowIsRefusedInTheWindowToo) {
    const HostRun unknown =
        run(args("--user 300 --lang en --quit-after 200 --config") << writeConfig(validConfig()));
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("User 300 is not registered in the database ") +
                                     home.filePath(QStringLiteral("erp.db"))))
        << unknown.err.toStdString();
    EXPECT_FALSE(unknown.out.contains(QStringLiteral("window:")));
}
