// Runs the real erp-host, offscreen, the way a user starts it.
#include "tests/platform/host/host_process_fixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using erphost::testing::HostProcess;

namespace {

class ErpHostProcess : public erphost::testing::HostProcessTest {
protected:
    QString writeConfig(const QByteArray& content) {
        const QString path = home.filePath(QStringLiteral("host.ini"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    // A config on an ERP database, as a user of the ERP.
    QByteArray validConfig() const {
        return "[Database]\nConnectionString=\"Provider=tsqlite;Data Source=" + database.toUtf8() +
               "\"\n[Session]\nCompany=2\nUserId=5\n[Window]\nCaption=Fasi ditta 2\n";
    }

    // Arguments written as one line; those with spaces or empty are appended to the list.
    static QStringList args(const char* line) { return QString::fromUtf8(line).split(u' '); }

    // The host refuses to start with exit code 2 and a message naming the problem.
    void expectRefused(const QStringList& arguments, const QString& named) {
        const HostProcess& refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments.join(u' ');
        EXPECT_TRUE(refused.err.contains(named)) << refused.err;
        EXPECT_FALSE(refused.out().contains(QStringLiteral("window:"))) << refused.out();
    }

    // Nothing may be written when the host refuses to start.
    bool dataWritten() const { return QDir(home.filePath(QStringLiteral("data"))).exists(); }
};

} // namespace

// An empty or missing connection string is a mistake, never the demo database.
TEST_F(ErpHostProcess, RefusesBadSettingsAndUnknownUsersWithAMessageNamingThem) {
    const QString noDb = home.filePath(QStringLiteral("no.db"));
    expectRefused(args("--config") << home.filePath(QStringLiteral("nowhere.ini")),
                  "nowhere.ini: non esiste");
    expectRefused(args("--connect DSN=erp --company abc"), "--company");
    expectRefused(
        args("--config") << writeConfig("[Database]\nConnectionString=DSN=erp\n[Session]\nUserId=40000\n"),
        "Session/UserId");
    expectRefused(args("--connect") << QStringLiteral("  "), "Database/ConnectionString");
    expectRefused(args("--quit-after 200 --connect") << QString(), "Database/ConnectionString");
    expectRefused(args("--quit-after 200 --config") << writeConfig("[Database]\nConnectionString=\n"),
                  "Database/ConnectionString");
    expectRefused(args("--connect") << QStringLiteral("Provider=tsqlite;Data Source=") + noDb,
                  "Database/ConnectionString");
    const HostProcess& batch = run(args("--batch rebuild --connect= --user 1"));
    EXPECT_NE(batch.exitCode, 0);
    EXPECT_TRUE(batch.err.contains(QStringLiteral("Database/ConnectionString"))) << batch.err;
    EXPECT_FALSE(QFile::exists(noDb));
    EXPECT_FALSE(dataWritten());

    // A user the ERP does not know is refused in the window too.
    expectRefused(args("--user 300 --lang en --quit-after 200 --config") << writeConfig(validConfig()),
                  QStringLiteral("User 300 is not registered in the database ") + database);
}

TEST_F(ErpHostProcess, OpensTheModuleScreenOnTheErpDatabaseModelessOrModal) {
    const HostProcess& modeless = run(args("--quit-after 300 --config") << writeConfig(validConfig()));
    EXPECT_EQ(modeless.exitCode, 0) << modeless.err;
    // The screen initialised on the database (it replaced the host's caption with its own) and
    // lives in the host's frame: one window, captioned by the screen.
    EXPECT_EQ(modeless.out().count(QStringLiteral("window: ")), 1) << modeless.out();
    EXPECT_TRUE(modeless.out().contains(QStringLiteral("window: Situazione fasi di lavorazione\n")))
        << modeless.out();
    // Off screen, the toolkit's notices about the window nobody sees are not printed.
    EXPECT_FALSE(modeless.err.contains(QStringLiteral("propagateSizeHints"))) << modeless.err;

    // Modal, from the default config file.
    QDir().mkpath(home.filePath(QStringLiteral("config/erp-host")));
    QFile::rename(writeConfig(validConfig() + "Modal=true\n"),
                  home.filePath(QStringLiteral("config/erp-host/erp-host.ini")));
    const HostProcess& modal = run(args("--quit-after 300"));
    EXPECT_EQ(modal.exitCode, 0) << modal.err;
    EXPECT_TRUE(modal.out().contains(QStringLiteral("window: Situazione fasi di lavorazione\n")))
        << modal.out();
}

TEST_F(ErpHostProcess, HelpNeedsNoDisplayAndListsEveryBatchJob) {
    const HostProcess& help = run(args("--help"));
    EXPECT_EQ(help.exitCode, 0) << help.err;
    for (const char* text : {"--config FILE", "  rebuild ", "  export "})
        EXPECT_TRUE(help.out().contains(QString::fromLatin1(text))) << text << help.out();
}
