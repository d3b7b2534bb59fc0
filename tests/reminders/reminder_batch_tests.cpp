// erp-host --batch reminders on a generated demo database: letters to PDF and mails to a local
// SMTP server, one output line per send, and the exit codes.
#include "erpdb.h"
#include "tests/platform/host/host_process_fixture.h"
#include "tests/reminders/LocalSmtp.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

namespace {

using erphost::testing::HostProcess;

class ReminderBatch : public erphost::testing::HostProcessTest {
protected:
    void SetUp() override {
        QDir().mkpath(home.filePath(QStringLiteral("config/erp-host")));
        ASSERT_EQ(job(args(QStringLiteral("--batch rebuild --min-date 2020-01-01"))).exitCode, 0)
            << last().log();
    }

    // erp-host run to its end on the test's database as user 1.
    HostProcess& job(const QStringList& arguments) {
        return run(arguments + QStringList{"--demo-db", database, "--user", "1"});
    }

    // The lines of `out` that start with `prefix` ("sent: ", "failed: "...).
    static QStringList lines(const QString& out, const QString& prefix) {
        return out.split(QLatin1Char('\n')).filter(QRegularExpression(QLatin1Char('^') + prefix));
    }

    // A reminder job over every row; `more` are further options, split at the blanks.
    static QStringList reminders(const QString& more) {
        return args(
                   QStringLiteral("--batch reminders --min-date 2020-01-01 --opening SOLL01 --closing FINE01 "
                                  "--logo 1 --title"))
               << QStringLiteral("Sollecito «urgente»") << args(more);
    }
    static QStringList args(const QString& line) { return line.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

    // The suppliers of "sent: 601;mail;..." lines.
    static QSet<QString> suppliersOf(const QStringList& output) {
        QSet<QString> suppliers;
        for (const QString& line : output)
            suppliers.insert(line.section(QLatin1Char(' '), 1).section(QLatin1Char(';'), 0, 0));
        return suppliers;
    }
    // `sql` run on the job's database.
    erpdb::testing::Result query(const std::string& sql) const {
        std::vector<tsqlite::Error> errors;
        auto connection = tsqlite::Connection::open(database.toStdString(), errors, true);
        EXPECT_TRUE(connection);
        return connection ? erpdb::testing::query(*connection, sql) : erpdb::testing::Result{};
    }
    // The suppliers of the mail history rows with `outcome` (1 sent, 3 failed).
    QSet<QString> historySuppliers(int outcome) const {
        const erpdb::testing::Result r =
            query("SELECT DISTINCT CAST(PD5E_CLIFOR_CG44 AS INT) AS S FROM PD5E_STORICOSOLL WHERE "
                  "PD5E_CANALE = 'mail' AND PD5E_ESITO = " +
                  std::to_string(outcome));
        QSet<QString> suppliers;
        for (std::size_t i = 0; i < r.rows.size(); ++i)
            suppliers.insert(QString::fromStdString(r.value("S", i)));
        return suppliers;
    }

    scadlav::testing::LocalSmtpSink sink;
};

TEST_F(ReminderBatch, PdfHoldsALetterForEverySupplierPrintedAndAFilterLimitsTheLettersToItsRange) {
    const QString out = home.filePath(QStringLiteral("solleciti.pdf"));
    const HostProcess& r = job(reminders(QStringLiteral("--channel pdf --out")) << out);
    ASSERT_EQ(r.exitCode, 0) << r.log();
    const QStringList sent = lines(r.out(), QStringLiteral("sent: "));
    ASSERT_GE(sent.size(), 2) << r.out();
    for (const QString& line : sent)
        EXPECT_TRUE(line.endsWith(QStringLiteral(";pdf;") + out)) << line;
    const QString letters = scadlav::testing::pdfText(out);
    EXPECT_EQ(letters.count(QStringLiteral("Sollecito «urgente»")), sent.size());
    EXPECT_TRUE(letters.contains(QStringLiteral("Restiamo in attesa")));

    const QString supplier = sent.constFirst().section(QLatin1Char(' '), 1).section(QLatin1Char(';'), 0, 0);
    const HostProcess& one =
        job(reminders(QStringLiteral("--channel pdf --filter DO46_CLIFOR_CG44=%1..%1 --out").arg(supplier))
            << out);
    ASSERT_EQ(one.exitCode, 0) << one.log();
    EXPECT_EQ(lines(one.out(), QStringLiteral("sent: ")),
              QStringList{QStringLiteral("sent: %1;pdf;%2").arg(supplier, out)});
}

TEST_F(ReminderBatch, MailRunSendsOrListsEverySupplierAndTheServerReceivesThem) {
    const QString mails = home.filePath(QStringLiteral("mails"));
    QDir().mkpath(mails);
    ASSERT_TRUE(sink.start(mails)) << sink.errors();
    QFile ini(home.filePath(QStringLiteral("config/erp-host/erp-host.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Mail]\nServer=" + sink.url().toUtf8() + "\nFrom=programmazione@officinedemo.it\n");
    ini.close();

    const QString out = job(reminders(QStringLiteral("--channel mail --contact-type PROD"))).out();
    const QStringList sent = lines(out, QStringLiteral("sent: "));
    const QStringList missed =
        lines(out, QStringLiteral("skipped: ")) + lines(out, QStringLiteral("failed: "));
    ASSERT_FALSE(sent.isEmpty()) << last().log();
    EXPECT_EQ(last().exitCode, missed.isEmpty() ? 0 : 4) << out;
    EXPECT_EQ(QDir(mails).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), sent.size());
    EXPECT_TRUE(out.contains(QStringLiteral("Invio e-mail solleciti terminato")));

    // The server gone: every send fails, the job says so with exit code 4.
    sink.stop();
    const HostProcess& down = job(reminders(QStringLiteral("--channel mail --contact-type PROD")));
    EXPECT_EQ(down.exitCode, 4) << down.out();
    EXPECT_TRUE(lines(down.out(), QStringLiteral("sent: ")).isEmpty());
    EXPECT_FALSE(lines(down.out(), QStringLiteral("failed: ")).isEmpty());

    // The history holds the suppliers of both runs with what came of each send.
    EXPECT_EQ(historySuppliers(1), suppliersOf(sent));
    const QSet<QString> failed = suppliersOf(lines(down.out(), QStringLiteral("failed: ")));
    EXPECT_TRUE(historySuppliers(3).contains(failed));
}

TEST_F(ReminderBatch, AnotherPlannerInModificationModeKeepsTheJobOutWithTwo) {
    ASSERT_TRUE(query("INSERT INTO PD5D_ACCESSISCAD VALUES (2, 0, 1)").ok);
    ASSERT_TRUE(query("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1").ok); // the other planner's marks
    const QString out = home.filePath(QStringLiteral("solleciti.pdf"));
    const HostProcess& r = job(reminders(QStringLiteral("--channel pdf --out")) << out);
    EXPECT_EQ(r.exitCode, 2) << r.log();
    EXPECT_TRUE(r.out().contains(QStringLiteral("Mario Rossi"))) << r.out();
    EXPECT_TRUE(r.out().contains(QStringLiteral("solo in modifica"))) << r.out();
    EXPECT_TRUE(lines(r.out(), QStringLiteral("sent: ")).isEmpty());
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(query("SELECT COUNT(*) AS N FROM PD5C_SCADLAV WHERE PD5C_SEL = 0").value("N"), "0");
}

TEST_F(ReminderBatch, BadReminderOptionsEndWithOneAndNameTheOption) {
    for (const auto& [arguments, option] :
         {std::pair{args(QStringLiteral("--channel pigeon")), "--channel"},
          {args(QStringLiteral("--channel pdf")), "--out"},
          {args(QStringLiteral("--channel mail")), "--contact-type"},
          {args(QStringLiteral("--channel print --title")) << QString(10000, QLatin1Char('t')), "--title"},
          {args(QStringLiteral("--channel print --logo 9")), "--logo"}}) {
        const HostProcess& r = job(args(QStringLiteral("--batch reminders")) + arguments);
        EXPECT_EQ(r.exitCode, 1) << option;
        EXPECT_TRUE(r.err.contains(QLatin1String(option))) << r.err;
    }
    // A fixed text that does not exist stops the job before anything goes out.
    const QString out = home.filePath(QStringLiteral("x.pdf"));
    EXPECT_EQ(
        job(args(QStringLiteral("--batch reminders --channel pdf --opening NONCE --out")) << out).exitCode, 1)
        << last().out();
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace
