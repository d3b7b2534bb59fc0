// The reminder screen with the host's real report service: letters printed to PDF, mailed to a
// local SMTP server (aiosmtpd) and handed to a fax command, read back with pdftotext.
#include "tests/reminders/CatalogMessages.h"
#include "tests/reminders/LocalSmtp.h"
#include "tests/reminders/reminder_fixture.h"

#include "module/sql/SqlText.h"
#include "platform/controls/CodeField.h"
#include "platform/host/FaxSender.h"
#include "platform/host/HostSettings.h"
#include "platform/host/ReportService.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <functional>

namespace scadlav::testing {
namespace {

using erphost::SendRecord;

class ReminderSendingTest : public ReminderScreenTest {
protected:
    void SetUp() override {
        global.messages = &catalog;
        addSupplier(601, "Uno Meccanica", "uno@reg.it", "0601");
        addContact(1, 601, "PROD", "Verdi", "verdi@uno.it", "+39 0522 111", true);
        addSupplier(602, "Due Trattamenti", "due@reg.it", "0602");
        addSupplier(605, "Cinque", QString(), QString());
        addSupplier(606, "Sei", "rifiutato@sei.it", "0606");
        factory.registerClass(classnames::Report, [this] {
            return std::make_unique<erphost::ReportService>(settings, erphost::Language::Italian,
                                                            [this](const SendRecord& r) { journal << r; });
        });
    }
    // Starts the local server on an empty mail folder; `mode` as LocalSmtpSink::start takes it.
    void startSink(const QStringList& mode = {}) {
        mailDir = dir.filePath(QStringLiteral("mails"));
        QDir(mailDir).removeRecursively();
        QDir().mkpath(mailDir);
        ASSERT_TRUE(sink.start(mailDir, mode)) << sink.errors().toStdString();
        settings.mail.server = sink.url();
        settings.mail.from = QStringLiteral("Programmazione <programmazione@officinedemo.it>");
        settings.mail.timeoutSeconds = 10;
    }

    // Marks every row, confirms, fills the letter and presses `button`; `fill` may change the
    // parameters before the press. The screen is opened the first time.
    void press(QPushButton*(ReminderControls::*button),
               const std::function<void(ReminderControls&)>& fill = {}) {
        if (!screen)
            open();
        screen->CMD_SEL_Click();
        screen->CMD_CONFERMA_Click();
        screen->controls().TXT_TIPOCONTATTO->setCode(QStringLiteral("PROD"));
        screen->controls().TXT_TITOLO->setText(QStringLiteral("SOLLECITO «Ωμέγα» \"L'URGENTE\""));
        screen->controls().TXT_TESTO_INIZ->setPlainText(
            QStringLiteral("Vi preghiamo di riconsegnare: l'elenco segue."));
        if (fill)
            fill(screen->controls());
        (screen->controls().*button)->click();
    }

    // The reminder history as written: "supplier;channel;recipient;outcome" per row; and the
    // answers of the rows that have one.
    QStringList history() {
        return rowsOf(
            "SELECT PD5E_CLIFOR_CG44, PD5E_CANALE, PD5E_DESTINATARIO, PD5E_ESITO FROM PD5E_STORICOSOLL "
            "ORDER BY PD5E_CLIFOR_CG44, PD5E_NUMREG_CO99, PD5E_DATAORA");
    }
    QStringList answers() {
        return rowsOf("SELECT PD5E_RISPOSTA FROM PD5E_STORICOSOLL WHERE PD5E_RISPOSTA <> '' ORDER BY "
                      "PD5E_CLIFOR_CG44, PD5E_NUMREG_CO99, PD5E_DATAORA");
    }

    // "outcome:supplier;channel;recipient" of each send the service journalled.
    QStringList outcomes() const {
        QStringList out;
        for (const SendRecord& r : journal)
            out << QStringList{"sent", "skipped", "failed"}.value(int(r.outcome)) + QLatin1Char(':') +
                       QStringList{r.supplier, r.channel, r.recipient}.join(QLatin1Char(';'));
        return out;
    }

    static void expectIn(const QString& text, std::initializer_list<QString> parts) {
        for (const QString& part : parts)
            EXPECT_TRUE(text.contains(part)) << part.toStdString() << " in:\n" << text.toStdString();
    }

    CatalogMessages catalog;
    erphost::ReportSettings settings;
    QList<SendRecord> journal;
    LocalSmtpSink sink;
    QString mailDir;
};

TEST_F(ReminderSendingTest, PdfPrintHasALetterPerSupplierWithItsPhasesAndTheTextsAsTyped) {
    // Quotes and letters of other alphabets in the note, a fixed text and the typed texts.
    addRow({.key = "a", .supplier = 601, .article = "ART-a", .note = "l'asse \"Ø\" Сварка"});
    addRows({{"b", 602}, {"c", 601}});
    exec(QStringLiteral("INSERT INTO MG62_TESTIFIS (MG62_CODICE, MG62_DESCR, MG62_TESTO) VALUES ('FINE', "
                        "'Chiusura', 'L''ordine \"urgente\" è fermo — Ωμέγα. Cordiali saluti')"));
    settings.output = erphost::ReportSettings::Output::Pdf;
    settings.pdfPath = dir.filePath(QStringLiteral("solleciti.pdf"));
    press(&ReminderControls::CMD_STAMPA,
          [](ReminderControls& ui) { ui.TXT_COD_FIN->setCode(QStringLiteral("FINE")); });
    ASSERT_TRUE(QFile::exists(settings.pdfPath)) << catalog.boxes().value(0).text.toStdString();
    const QString text = pdfText(settings.pdfPath);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2);
    expectIn(pages[0], {"Uno Meccanica", "ART-a", "ART-c"});
    EXPECT_FALSE(pages[0].contains(QStringLiteral("ART-b")));
    expectIn(pages[1], {"Due Trattamenti", "ART-b"});
    expectIn(text, {"SOLLECITO «Ωμέγα» \"L'URGENTE\"", "l'elenco segue", "l'asse \"Ø\" Сварка",
                    "L'ordine \"urgente\" è fermo — Ωμέγα", "Parma", "Pagina 1"});
    EXPECT_EQ(marked(), QStringList());
    // Every printed phase is in the history, with the file it went to.
    const QString pdf = QStringLiteral(";pdf;") + settings.pdfPath + QStringLiteral(";1");
    EXPECT_EQ(history(), (QStringList{"601" + pdf, "601" + pdf, "602" + pdf}));
}

TEST_F(ReminderSendingTest, TheLogoTypeChoosesTheLetterhead) {
    addRows({{"a", 601}});
    QImage logo(400, 80, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    settings.logoHorizontal = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(logo.save(settings.logoHorizontal));
    settings.output = erphost::ReportSettings::Output::Pdf;
    // None, the company's data written out, the horizontal picture.
    for (const auto& [type, pictures, companyData] : {std::tuple{0, 0, false}, {1, 0, true}, {2, 1, false}}) {
        SCOPED_TRACE(type);
        settings.pdfPath = dir.filePath(QStringLiteral("logo-%1.pdf").arg(type));
        press(&ReminderControls::CMD_STAMPA,
              [type](ReminderControls& ui) { ui.CMB_TIPOLOGO->setCurrentIndex(type); });
        ASSERT_TRUE(QFile::exists(settings.pdfPath));
        QProcess list;
        list.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), settings.pdfPath});
        list.waitForFinished(30000);
        // Two heading lines, then one line per picture.
        EXPECT_EQ(int(list.readAllStandardOutput().count('\n')) - 2, pictures);
        const QString text = pdfText(settings.pdfPath);
        EXPECT_EQ(text.contains(QStringLiteral("Officine Demo S.p.A.")), companyData);
        EXPECT_EQ(text.contains(QStringLiteral("P.IVA 01234567890")), companyData);
    }
}

TEST_F(ReminderSendingTest, MailsReachTheServerEachWithItsOwnLetterAndRefusalsAreReported) {
    startSink();
    addRows({{"a", 601}, {"b", 602}, {"c", 601}, {"d", 605}, {"e", 606}});
    press(&ReminderControls::CMD_MAIL);

    EXPECT_EQ(outcomes(), (QStringList{"sent:601;mail;verdi@uno.it", "sent:602;mail;due@reg.it",
                                       "sent:601;mail;verdi@uno.it", "skipped:605;mail;",
                                       "failed:606;mail;rifiutato@sei.it"}));
    QStringList received = QDir(mailDir).entryList({QStringLiteral("*.to")}, QDir::Files, QDir::Name);
    ASSERT_EQ(received.size(), 3);
    for (const QString& to : received) {
        const QString base = mailDir + QLatin1Char('/') + to.chopped(3);
        const QString letter = pdfText(base + QStringLiteral(".pdf"));
        const QString recipient = readText(base + QStringLiteral(".to"));
        EXPECT_EQ(readText(base + ".subject"), "SOLLECITO «Ωμέγα» \"L'URGENTE\"");
        expectIn(readText(base + ".txt"), {"In allegato"});
        if (recipient == QLatin1String("verdi@uno.it")) {
            expectIn(letter, {"ART-a", "ART-c"});
            EXPECT_FALSE(letter.contains(QStringLiteral("ART-b")));
        } else {
            EXPECT_EQ(recipient, QStringLiteral("due@reg.it"));
            expectIn(letter, {"ART-b"});
            EXPECT_FALSE(letter.contains(QStringLiteral("ART-a")));
        }
        EXPECT_FALSE(letter.contains(QStringLiteral("ART-e")));
    }
    // The refusal is shown in the server's words, then the run's closing message.
    ASSERT_EQ(catalog.boxes().size(), 2);
    expectIn(catalog.boxes()[0].text, {"550 5.1.1"});
    EXPECT_EQ(catalog.boxes()[1].textId, 34409);

    // The history holds each phase of each send with what came of it: A's phases twice (two
    // runs of its rows), the skipped and the refused ones with the reason.
    EXPECT_EQ(history(),
              (QStringList{"601;mail;verdi@uno.it;1", "601;mail;verdi@uno.it;1", "601;mail;verdi@uno.it;1",
                           "601;mail;verdi@uno.it;1", "602;mail;due@reg.it;1", "605;mail;;2",
                           "606;mail;rifiutato@sei.it;3"}));
    const QStringList reasons = answers();
    ASSERT_EQ(reasons.size(), 2);
    expectIn(reasons[0], {"605"});
    expectIn(reasons[1], {"550 5.1.1"});
    // The status bar counted the steps and the rows sent, and cleared the indicator at the end.
    EXPECT_EQ(statusBar.progressSteps,
              (QStringList{"1/2", "2/2", "2/2 0/5", "2/2 1/5", "2/2 2/5", "2/2 3/5", "2/2 4/5", "end"}))
        << statusBar.progressSteps.join(", ").toStdString();
}

// With no server in the host's settings the mail goes through the ERP's e-mail channel, its
// sender included; a server in the settings wins over the channel's.
TEST_F(ReminderSendingTest, WithoutAConfiguredServerTheErpMailChannelIsUsed) {
    startSink();
    const int port = sink.url().section(QLatin1Char(':'), -1).toInt();
    settings.mail.server.clear();
    settings.mail.from.clear();
    exec(QStringLiteral("UPDATE FW23_FAXER SET FW23_SERVER = '127.0.0.1 ', FW23_PORTA = %1, FW23_MITTENTE = "
                        "'officina@demo.it', FW23_FLGSSL = 0 WHERE FW23_INDTIPO = 1")
             .arg(port));
    addRows({{"a", 601}});
    press(&ReminderControls::CMD_MAIL);
    EXPECT_EQ(outcomes(), QStringList{"sent:601;mail;verdi@uno.it"});
    EXPECT_EQ(readText(mailDir + "/001.from"), "officina@demo.it");

    journal.clear();
    settings.mail.server = QStringLiteral("smtp://127.0.0.1:%1").arg(freeLocalPort());
    press(&ReminderControls::CMD_MAIL);
    EXPECT_EQ(outcomes(), QStringList{"failed:601;mail;verdi@uno.it"});
    EXPECT_EQ(QDir(mailDir).entryList({QStringLiteral("*.to")}, QDir::Files).size(), 1);
}

TEST_F(ReminderSendingTest, AServerThatIsDownOrNeverAnswersFailsTheSendAloudAfterTheTimeout) {
    addRows({{"a", 601}});
    SilentServer silent;
    ASSERT_GT(silent.port(), 0);
    settings.mail.timeoutSeconds = 2;
    // Nobody listening, then a server that takes the connection and never answers.
    for (const int port : {freeLocalPort(), silent.port()}) {
        SCOPED_TRACE(port);
        journal.clear();
        catalog.records.clear();
        settings.mail.server = QStringLiteral("smtp://127.0.0.1:%1").arg(port);
        QElapsedTimer timer;
        timer.start();
        press(&ReminderControls::CMD_MAIL);
        EXPECT_LT(timer.elapsed(), 15000);
        EXPECT_EQ(outcomes(), QStringList{"failed:601;mail;verdi@uno.it"});
        ASSERT_EQ(catalog.boxes().size(), 2);
        expectIn(catalog.boxes()[0].text, {"verdi@uno.it"});
        EXPECT_EQ(catalog.boxes()[0].flags & msgbox::IconMask, msgbox::Critical);
    }
    EXPECT_EQ(history(), (QStringList{"601;mail;verdi@uno.it;3", "601;mail;verdi@uno.it;3"}));
    EXPECT_EQ(answers().size(), 2);
}

TEST_F(ReminderSendingTest, LoginAndStartTlsAreUsedWhenConfigured) {
    addRows({{"a", 601}});
    startSink({"login", "programmazione", "s3gr€ta"});

    // Without the login the server takes nothing; a wrong password is refused in its words.
    press(&ReminderControls::CMD_MAIL);
    settings.mail.user = QStringLiteral("programmazione");
    settings.mail.password = QStringLiteral("sbagliata");
    press(&ReminderControls::CMD_MAIL);
    settings.mail.password = QStringLiteral("s3gr€ta");
    press(&ReminderControls::CMD_MAIL);
    const QStringList failFailSent{"failed:601;mail;verdi@uno.it", "failed:601;mail;verdi@uno.it",
                                   "sent:601;mail;verdi@uno.it"};
    EXPECT_EQ(outcomes(), failFailSent);
    expectIn(journal[0].reason, {"530"});
    expectIn(journal[1].reason, {"535"});
    EXPECT_EQ(readText(mailDir + "/001.login"), "programmazione");
    sink.stop();

    // A server that wants STARTTLS, with a certificate of its own authority: a client told not
    // to use it is refused; one told to use it sends only once the certificate is trusted.
    const QString cert = dir.filePath(QStringLiteral("server.pem"));
    const QString key = dir.filePath(QStringLiteral("server.key"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
                                 "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1")
                          .split(QLatin1Char(' '))
                      << QStringLiteral("-keyout") << key << QStringLiteral("-out") << cert);
    ASSERT_TRUE(openssl.waitForFinished(60000) && openssl.exitCode() == 0)
        << openssl.readAllStandardError().toStdString();
    startSink({"starttls", cert, key});
    settings.mail.user.clear();
    settings.mail.password.clear();
    journal.clear();
    press(&ReminderControls::CMD_MAIL);
    settings.mail.startTls = true;
    press(&ReminderControls::CMD_MAIL);
    EXPECT_TRUE(QDir(mailDir).entryList(QDir::Files).isEmpty());
    settings.mail.caFile = cert;
    press(&ReminderControls::CMD_MAIL);
    EXPECT_EQ(outcomes(), failFailSent);
    expectIn(journal[0].reason, {"530"});
    EXPECT_FALSE(journal[1].reason.isEmpty());
    expectIn(pdfText(mailDir + "/001.pdf"), {"ART-a"});
}

TEST_F(ReminderSendingTest, AFaxCommandThatFailsOrIsMissingIsReportedWithItsError) {
    addRows({{"a", 601}});
    const QString script = dir.filePath(QStringLiteral("fax.sh"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho 'linea occupata' >&2\nexit 3\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A command that fails with its error output, and one that is not there at all.
    for (const auto& [command, error] :
         {std::pair{script + QStringLiteral(" {number} {file}"), QStringLiteral("linea occupata")},
          std::pair{QStringLiteral("/nonexistent/sendfax -d {number} {file}"),
                    QStringLiteral("/nonexistent/sendfax")}}) {
        SCOPED_TRACE(command.toStdString());
        journal.clear();
        catalog.records.clear();
        exec(QStringLiteral("DELETE FROM PD5E_STORICOSOLL"));
        settings.fax.command = command;
        press(&ReminderControls::CMD_FAX);
        EXPECT_EQ(outcomes(), QStringList{"failed:601;fax;+39 0522 111"});
        ASSERT_EQ(catalog.boxes().size(), 2);
        expectIn(catalog.boxes()[0].text, {"+39 0522 111", error});
        EXPECT_EQ(catalog.boxes()[1].textId, 34412);
        EXPECT_EQ(history(), QStringList{"601;fax;+39 0522 111;3"});
        ASSERT_EQ(answers().size(), 1);
        expectIn(answers()[0], {error});
    }
}

TEST(ReportSettings, AreReadFromTheConfigFileAndBadValuesAreNamed) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("erp-host.ini"));
    const auto write = [&](const char* text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    write("[Report]\nOutput=pdf\nPdfFile=out/solleciti.pdf\n[Mail]\nServer=smtps://mail.example.com:465\n"
          "From=Programmazione <p@example.com>\nUser=p\nPassword=segreta\nStartTls=true\nTimeoutSeconds=12\n"
          "CaFile=ca.pem\n[Fax]\nCommand=myfax {number} {file}\n");
    ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("ca.pem"))).open(QIODevice::WriteOnly));
    erphost::HostSettings s;
    EXPECT_TRUE(erphost::readConfigFile(path, s).isEmpty());
    EXPECT_EQ(s.report.output, erphost::ReportSettings::Output::Pdf);
    EXPECT_EQ(s.report.pdfPath, dir.filePath(QStringLiteral("out/solleciti.pdf")));
    EXPECT_EQ(s.report.mail.server, QStringLiteral("smtps://mail.example.com:465"));
    EXPECT_TRUE(s.report.mail.startTls);
    EXPECT_EQ(s.report.mail.timeoutSeconds, 12);
    EXPECT_EQ(s.report.mail.caFile, dir.filePath(QStringLiteral("ca.pem")));
    EXPECT_EQ(s.report.fax.command, QStringLiteral("myfax {number} {file}"));

    write("[Report]\nOutput=fax\n[Mail]\nServer=mail.example.com\nStartTls=forse\nTimeoutSeconds=0\n"
          "CaFile=manca.pem\n");
    const QStringList problems = erphost::readConfigFile(path, s);
    ASSERT_EQ(problems.size(), 5) << problems.join(QLatin1Char('\n')).toStdString();
    for (const char* setting :
         {"Report/Output", "Mail/Server", "Mail/StartTls", "Mail/TimeoutSeconds", "Mail/CaFile"})
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
