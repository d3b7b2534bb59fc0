// The reminder screen with the host's real report service: letters printed to PDF, mailed to a
// local SMTP server (aiosmtpd) and handed to a fax command, read back with pdftotext.
#include "tests/reminders/LocalSmtp.h"
#include "tests/reminders/reminder_fixture.h"

#include "platform/controls/CodeField.h"
#include "platform/host/FaxSender.h"
#include "platform/host/HostSettings.h"
#include "platform/host/ReportService.h"
#include "platform/host/TextCatalog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

namespace scadlav::testing {
namespace {

using erphost::SendRecord;

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Message texts from the host's own catalog, so that the letters read as they will.
class CatalogMessages : public doubles::ScriptedMessageService {
public:
    QString textById(int textId, const QList<Value>& parameters) override {
        ScriptedMessageService::textById(textId, parameters);
        return m_catalog.text(textId, erphost::Language::Italian, parameters);
    }

private:
    erphost::TextCatalog m_catalog = erphost::TextCatalog::builtIn();
};

class ReminderSendingTest : public ReminderScreenTest {
protected:
    void SetUp() override {
        global.messages = &catalog;
        addSupplier(601, QStringLiteral("Uno Meccanica"), QStringLiteral("uno@reg.it"),
                    QStringLiteral("0601"));
        addContact(1, 601, QStringLiteral("PROD"), QStringLiteral("Verdi"), QStringLiteral("verdi@uno.it"),
                   QStringLiteral("+39 0522 111"), true);
        addSupplier(602, QStringLiteral("Due Trattamenti"), QStringLiteral("due@reg.it"),
                    QStringLiteral("0602"));
        addSupplier(605, QStringLiteral("Cinque"), QString(), QString());
        addSupplier(606, QStringLiteral("Sei"), QStringLiteral("rifiutato@sei.it"), QStringLiteral("0606"));
        factory.registerClass(classnames::Report, [this] {
            return std::make_unique<erphost::ReportService>(settings, erphost::Language::Italian,
                                                            [this](const SendRecord& r) { journal << r; });
        });
    }
    void startSink() {
        mailDir = dir.filePath(QStringLiteral("mails"));
        QDir().mkpath(mailDir);
        ASSERT_TRUE(sink.start(mailDir)) << sink.errors().toStdString();
        settings.mail.server = sink.url();
        settings.mail.from = QStringLiteral("Programmazione <programmazione@officinedemo.it>");
        settings.mail.timeoutSeconds = 10;
    }

    void press(QPushButton*(ReminderControls::*button), int source = 0) {
        open();
        screen->CMD_SEL_Click();
        screen->CMD_CONFERMA_Click();
        screen->controls().CMB_FAXMAIL->setCurrentIndex(source);
        screen->CMB_FAXMAIL_Click();
        screen->controls().TXT_TIPOCONTATTO->setCode(QStringLiteral("PROD"));
        screen->controls().TXT_TITOLO->setText(QStringLiteral("SOLLECITO «Ωμέγα» \"L'URGENTE\""));
        screen->controls().TXT_TESTO_INIZ->setPlainText(
            QStringLiteral("Vi preghiamo di riconsegnare: l'elenco segue."));
        (screen->controls().*button)->click();
    }

    QStringList outcomes() const {
        QStringList out;
        for (const SendRecord& r : journal) {
            const char* kind = r.outcome == SendRecord::Outcome::Sent      ? "sent"
                               : r.outcome == SendRecord::Outcome::Skipped ? "skipped"
                                                                           : "failed";
            out << QString::fromLatin1(kind) + QLatin1Char(':') + r.supplier + QLatin1Char(';') + r.channel +
                       QLatin1Char(';') + r.recipient;
        }
        return out;
    }

    CatalogMessages catalog;
    erphost::ReportSettings settings;
    QList<SendRecord> journal;
    LocalSmtpSink sink;
    QString mailDir;
};

TEST_F(ReminderSendingTest, PdfPrintHasALetterPerSupplierWithItsPhasesAndTheTextsAsTyped) {
    addRows({{"a", 601}, {"b", 602}, {"c", 601}});
    settings.output = erphost::ReportSettings::Output::Pdf;
    settings.pdfPath = dir.filePath(QStringLiteral("solleciti.pdf"));
    press(&ReminderControls::CMD_STAMPA);
    ASSERT_TRUE(QFile::exists(settings.pdfPath)) << catalog.boxes().value(0).text.toStdString();
    const QString text = pdfText(settings.pdfPath);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("Uno Meccanica")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("ART-a")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("ART-c")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("ART-b")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Due Trattamenti")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("ART-b")));
    EXPECT_TRUE(text.contains(QStringLiteral("SOLLECITO «Ωμέγα» \"L'URGENTE\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("l'elenco segue")));
    EXPECT_TRUE(text.contains(QStringLiteral("Parma")));
    EXPECT_TRUE(text.contains(QStringLiteral("Pagina 1")));
    EXPECT_EQ(marks().value(QStringLiteral("a")), 0);
}

TEST_F(ReminderSendingTest, MailsReachTheServerEachWithItsOwnLetterAndRefusalsAreReported) {
    startSink();
    addRows({{"a", 601}, {"b", 602}, {"c", 601}, {"d", 605}, {"e", 606}});
    press(&ReminderControls::CMD_MAIL);

    EXPECT_EQ(
        outcomes(),
        (QStringList{QStringLiteral("sent:601;mail;verdi@uno.it"), QStringLiteral("sent:602;mail;due@reg.it"),
                     QStringLiteral("sent:601;mail;verdi@uno.it"), QStringLiteral("skipped:605;mail;"),
                     QStringLiteral("failed:606;mail;rifiutato@sei.it")}));
    QStringList received = QDir(mailDir).entryList({QStringLiteral("*.to")}, QDir::Files, QDir::Name);
    ASSERT_EQ(received.size(), 3);
    for (const QString& to : received) {
        const QString base = mailDir + QLatin1Char('/') + to.chopped(3);
        const QString letter = pdfText(base + QStringLiteral(".pdf"));
        const QString recipient = readText(base + QStringLiteral(".to"));
        EXPECT_EQ(readText(base + QStringLiteral(".subject")),
                  QStringLiteral("SOLLECITO «Ωμέγα» \"L'URGENTE\""));
        EXPECT_TRUE(readText(base + QStringLiteral(".txt")).contains(QStringLiteral("In allegato")));
        if (recipient == QLatin1String("verdi@uno.it")) {
            EXPECT_TRUE(letter.contains(QStringLiteral("ART-a")) && letter.contains(QStringLiteral("ART-c")));
            EXPECT_FALSE(letter.contains(QStringLiteral("ART-b")));
        } else {
            EXPECT_EQ(recipient, QStringLiteral("due@reg.it"));
            EXPECT_TRUE(letter.contains(QStringLiteral("ART-b")));
            EXPECT_FALSE(letter.contains(QStringLiteral("ART-a")));
        }
        EXPECT_FALSE(letter.contains(QStringLiteral("ART-e")));
    }
    // The refusal is shown in the server's words, then the run's closing message.
    ASSERT_EQ(catalog.boxes().size(), 2);
    EXPECT_TRUE(catalog.boxes()[0].text.contains(QStringLiteral("550 5.1.1")))
        << catalog.boxes()[0].text.toStdString();
    EXPECT_EQ(catalog.boxes()[1].textId, 34409);
    // The status bar counted the steps and the rows sent, and cleared the indicator at the end.
    EXPECT_EQ(statusBar.progressSteps,
              (QStringList{"1/2", "2/2", "2/2 0/5", "2/2 1/5", "2/2 2/5", "2/2 3/5", "2/2 4/5", "end"}))
        << statusBar.progressSteps.join(", ").toStdString();
}

TEST_F(ReminderSendingTest, AServerThatIsDownFailsTheSendAloud) {
    addRows({{"a", 601}});
    settings.mail.server = QStringLiteral("smtp://127.0.0.1:%1").arg(freeLocalPort());
    settings.mail.timeoutSeconds = 5;
    press(&ReminderControls::CMD_MAIL);
    EXPECT_EQ(outcomes(), QStringList{QStringLiteral("failed:601;mail;verdi@uno.it")});
    ASSERT_EQ(catalog.boxes().size(), 2);
    EXPECT_TRUE(catalog.boxes()[0].text.contains(QStringLiteral("verdi@uno.it")));
    EXPECT_EQ(catalog.boxes()[0].flags & msgbox::IconMask, msgbox::Critical);
}

TEST_F(ReminderSendingTest, FaxesGoToTheCommandWithTheNumberAndTheLetter) {
    addRows({{"a", 601}, {"b", 602}});
    const QString log = dir.filePath(QStringLiteral("fax.log"));
    const QString script = dir.filePath(QStringLiteral("fax.sh"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\" >> \"$FAXLOG\"; done\n"
            "pdftotext \"$4\" - | grep -c ART- >> \"$FAXLOG\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("FAXLOG", log.toLocal8Bit());
    settings.fax.command = script + QStringLiteral(" -n -d {number} {file}");
    press(&ReminderControls::CMD_FAX);
    qunsetenv("FAXLOG");
    const QStringList lines = readText(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << readText(log).toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("[-n][-d][+39 0522 111][")));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("sollecito-601.pdf]")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("1")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("[-n][-d][0602][")));
    EXPECT_EQ(catalog.boxes().size(), 1);
}

TEST_F(ReminderSendingTest, AMissingFaxCommandFailsEachSendWithAClearMessage) {
    addRows({{"a", 601}});
    settings.fax.command = QStringLiteral("/nonexistent/sendfax -d {number} {file}");
    press(&ReminderControls::CMD_FAX);
    EXPECT_EQ(outcomes(), QStringList{QStringLiteral("failed:601;fax;+39 0522 111")});
    ASSERT_EQ(catalog.boxes().size(), 2);
    EXPECT_TRUE(catalog.boxes()[0].text.contains(QStringLiteral("/nonexistent/sendfax")));
    EXPECT_EQ(catalog.boxes()[1].textId, 34412);
}

TEST(ReportSettings, AreReadFromTheConfigFileAndBadValuesAreNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("erp-host.ini"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[Report]\nOutput=pdf\nPdfFile=out/solleciti.pdf\n[Mail]\nServer=smtps://mail.example.com:465\n"
        "From=Programmazione <p@example.com>\nUser=p\nPassword=segreta\nStartTls=true\nTimeoutSeconds=12\n"
        "[Fax]\nCommand=myfax {number} {file}\n");
    f.close();
    erphost::HostSettings s;
    EXPECT_TRUE(erphost::readConfigFile(path, s).isEmpty());
    EXPECT_EQ(s.report.output, erphost::ReportSettings::Output::Pdf);
    EXPECT_EQ(s.report.pdfPath, dir.filePath(QStringLiteral("out/solleciti.pdf")));
    EXPECT_EQ(s.report.mail.server, QStringLiteral("smtps://mail.example.com:465"));
    EXPECT_TRUE(s.report.mail.startTls);
    EXPECT_EQ(s.report.mail.timeoutSeconds, 12);
    EXPECT_EQ(s.report.fax.command, QStringLiteral("myfax {number} {file}"));

    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[Report]\nOutput=fax\n[Mail]\nServer=mail.example.com\nStartTls=forse\nTimeoutSeconds=0\n");
    f.close();
    const QStringList problems = erphost::readConfigFile(path, s);
    ASSERT_EQ(problems.size(), 4) << problems.join(QLatin1Char('\n')).toStdString();
    for (const char* setting : {"Report/Output", "Mail/Server", "Mail/StartTls", "Mail/TimeoutSeconds"})
        EXPECT_TRUE(problems.join(QLatin1Char('\n')).contains(QLatin1String(setting))) << setting;
}

TEST(FaxCommandLine, NumberAndFileStayOneArgumentEach) {
    EXPECT_EQ(erphost::faxCommandLine(QStringLiteral("sendfax -n -d {number} {file}"),
                                      QStringLiteral("0522 1; rm -rf"), QStringLiteral("/tmp/a b.pdf")),
              (QStringList{QStringLiteral("sendfax"), QStringLiteral("-n"), QStringLiteral("-d"),
                           QStringLiteral("0522 1; rm -rf"), QStringLiteral("/tmp/a b.pdf")}));
}

} // namespace
} // namespace scadlav::testing
