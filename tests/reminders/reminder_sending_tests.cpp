// The reminder screen with the host's real report service: letters printed to PDF, mailed to a
// local SMTP server (aiosmtpd) and handed to a fax command, read back with pdftotext.
#include "tests/reminders/reminder_fixture.h"

#include "platform/controls/CodeField.h"
#include "platform/host/FaxSender.h"
#include "platform/host/ReportService.h"
#include "platform/host/TextCatalog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A port nobody listens on now: the system picks one, and it is let go at once.
int freePort() {
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
    void TearDown() override {
        if (sink.state() != QProcess::NotRunning) {
            sink.closeWriteChannel();
            sink.waitForFinished(10000);
        }
    }

    void rows(const QList<std::pair<const char*, int>>& list) {
        for (const auto& [key, supplier] : list) {
            ReminderRow row;
            row.key = QString::fromLatin1(key);
            row.supplier = supplier;
            row.article = QStringLiteral("ART-") + row.key;
            row.description = QStringLiteral("Descrizione di ") + row.key;
            addRow(row);
        }
    }

    void startSink() {
        const int port = freePort();
        mailDir = dir.filePath(QStringLiteral("mails"));
        QDir().mkpath(mailDir);
        sink.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(SCADLAV_SOURCE_DIR "/tests/reminders/smtp_sink.py"), QString::number(port),
                    mailDir});
        ASSERT_TRUE(sink.waitForReadyRead(20000)) << sink.readAllStandardError().toStdString();
        ASSERT_TRUE(sink.readLine().startsWith("ready"));
        settings.mail.server = QStringLiteral("smtp://127.0.0.1:%1").arg(port);
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
    QProcess sink;
    QString mailDir;
};

TEST_F(ReminderSendingTest, PdfPrintHasALetterPerSupplierWithItsPhasesAndTheTextsAsTyped) {
    rows({{"a", 601}, {"b", 602}, {"c", 601}});
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
    rows({{"a", 601}, {"b", 602}, {"c", 601}, {"d", 605}, {"e", 606}});
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
}

TEST_F(ReminderSendingTest, AServerThatIsDownFailsTheSendAloud) {
    rows({{"a", 601}});
    settings.mail.server = QStringLiteral("smtp://127.0.0.1:%1").arg(freePort());
    settings.mail.timeoutSeconds = 5;
    press(&ReminderControls::CMD_MAIL);
    EXPECT_EQ(outcomes(), QStringList{QStringLiteral("failed:601;mail;verdi@uno.it")});
    ASSERT_EQ(catalog.boxes().size(), 2);
    EXPECT_TRUE(catalog.boxes()[0].text.contains(QStringLiteral("verdi@uno.it")));
    EXPECT_EQ(catalog.boxes()[0].flags & msgbox::IconMask, msgbox::Critical);
}

TEST_F(ReminderSendingTest, FaxesGoToTheCommandWithTheNumberAndTheLetter) {
    rows({{"a", 601}, {"b", 602}});
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
    rows({{"a", 601}});
    settings.fax.command = QStringLiteral("/nonexistent/sendfax -d {number} {file}");
    press(&ReminderControls::CMD_FAX);
    EXPECT_EQ(outcomes(), QStringList{QStringLiteral("failed:601;fax;+39 0522 111")});
    ASSERT_EQ(catalog.boxes().size(), 2);
    EXPECT_TRUE(catalog.boxes()[0].text.contains(QStringLiteral("/nonexistent/sendfax")));
    EXPECT_EQ(catalog.boxes()[1].textId, 34412);
}

TEST(FaxCommandLine, NumberAndFileStayOneArgumentEach) {
    EXPECT_EQ(erphost::faxCommandLine(QStringLiteral("sendfax -n -d {number} {file}"),
                                      QStringLiteral("0522 1; rm -rf"), QStringLiteral("/tmp/a b.pdf")),
              (QStringList{QStringLiteral("sendfax"), QStringLiteral("-n"), QStringLiteral("-d"),
                           QStringLiteral("0522 1; rm -rf"), QStringLiteral("/tmp/a b.pdf")}));
}

} // namespace
} // namespace scadlav::testing
