// Runs the real erp-host, offscreen, the way a user starts it.
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
    HostRun run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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

    // A config on an embedded database the host may create, so that it opens.
    QByteArray validConfig() const {
        return "[Database]\nConnectionString=\"Provider=tsqlite;Create=yes;Data Source=" +
               home.filePath(QStringLiteral("erp.db")).toUtf8() +
               "\"\n[Session]\nCompany=2\nUserId=5\n[Window]\nCaption=Fasi ditta 2\n";
    }

    // Nothing may be written when the host refuses to start.
    bool dataWritten() const { return QDir(home.filePath(QStringLiteral("data"))).exists(); }

    QTemporaryDir home;
};

} // namespace

TEST_F(ErpHostProcess, RefusesBadSettingsWithAMessageNamingThem) {
    const HostRun missing = run({QStringLiteral("--config"), home.filePath(QStringLiteral("nowhere.ini"))});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("nowhere.ini: no such file")))
        << missing.err.toStdString();

    const HostRun letters = run({QStringLiteral("--connect"), QStringLiteral("DSN=erp"),
                                 QStringLiteral("--company"), QStringLiteral("abc")});
    EXPECT_EQ(letters.exitCode, 2);
    EXPECT_TRUE(letters.err.contains(QStringLiteral("--company"))) << letters.err.toStdString();

    const QString config = writeConfig("[Database]\nConnectionString=DSN=erp\n[Session]\nUserId=40000\n");
    const HostRun range = run({QStringLiteral("--config"), config});
    EXPECT_EQ(range.exitCode, 2);
    EXPECT_TRUE(range.err.contains(QStringLiteral("Session/UserId"))) << range.err.toStdString();

    const HostRun empty = run({QStringLiteral("--connect"), QStringLiteral("  ")});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("Database/ConnectionString"))) << empty.err.toStdString();

    const HostRun noDatabase =
        run({QStringLiteral("--connect"),
             QStringLiteral("Provider=tsqlite;Data Source=") + home.filePath(QStringLiteral("no.db"))});
    EXPECT_EQ(noDatabase.exitCode, 2);
    EXPECT_TRUE(noDatabase.err.contains(QStringLiteral("Database/ConnectionString")))
        << noDatabase.err.toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("no.db"))));

    EXPECT_FALSE(dataWritten());
}

TEST_F(ErpHostProcess, OpensTheModuleScreenWithTheHostCaption) {
    const QString config = writeConfig(validConfig());
    const HostRun modeless =
        run({QStringLiteral("--config"), config, QStringLiteral("--quit-after"), QStringLiteral("300")});
    EXPECT_EQ(modeless.exitCode, 0) << modeless.err.toStdString();
    EXPECT_TRUE(modeless.out.contains(QStringLiteral("window: Fasi ditta 2\n")))
        << modeless.out.toStdString();
    EXPECT_TRUE(modeless.out.contains(QStringLiteral("window: erp-host\n")));
}

TEST_F(ErpHostProcess, DefaultConfigFileAndModalScreen) {
    QDir().mkpath(home.filePath(QStringLiteral("config/erp-host")));
    QFile file(home.filePath(QStringLiteral("config/erp-host/erp-host.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(validConfig() + "Modal=true\n");
    file.close();
    const HostRun modal = run({QStringLiteral("--quit-after"), QStringLiteral("300")});
    EXPECT_EQ(modal.exitCode, 0) << modal.err.toStdString();
    EXPECT_TRUE(modal.out.contains(QStringLiteral("window: Fasi ditta 2\n"))) << modal.out.toStdString();

    const HostRun help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--config FILE")));
}
