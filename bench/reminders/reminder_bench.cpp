// Timed driver of the reminder letters: a reminder screen over 2 000 late phases of 200
// suppliers (ten each), every row marked, printed to one PDF and then mailed, one mail per
// supplier, to a local SMTP server (aiosmtpd), through the host's real report service.
//
//   scadlav_reminder_bench [suppliers] [phases per supplier]     default: 200 10

#include "bench/BenchSupport.h"
#include "erpdb.h"
#include "module/contract/CLSPD_KVB_SCADLAV.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "platform/host/ReportService.h"
#include "reminders/FRMPD_KVB_STSOLL.h"
#include "tests/reminders/LocalSmtp.h"
#include "tests/support/doubles/FakeGlobalContext.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/FixedClock.h"
#include "tests/support/doubles/ScopedHostRuntime.h"
#include "tests/support/doubles/ScriptedMessageService.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

using namespace scadlav;

namespace {

using bench::cpuNow;
using bench::die;
using bench::exec;

// Suppliers with their registry entries and `perSupplier` late phases each.
void fill(db::Connection& db, int suppliers, int perSupplier) {
    exec(db, QStringLiteral("BEGIN TRANSACTION"));
    exec(db, QStringLiteral(
                 "INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG) VALUES (1, 'Officine Demo')"));
    exec(db,
         QStringLiteral("INSERT INTO CG18_ANADITTABASE (CG18_DITTA, CG18_CODICE_CG16, CG18_CITTALEG) VALUES "
                        "(1, 1, 'Parma')"));
    exec(db, QStringLiteral("INSERT INTO FW23_FAXER (FW23_ID, FW23_INDTIPO) VALUES (1, 1)"));
    int line = 0;
    for (int s = 1; s <= suppliers; ++s) {
        const int code = 1000 + s;
        exec(db, QStringLiteral(
                     "INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG, CG16_INDIRIZZO, CG16_CAP, "
                     "CG16_CITTA, CG16_PROV, CG16_INDEMAIL) VALUES (%1, 'Terzista %2 S.r.l.', 'Via "
                     "Roma %2', '42100', 'Reggio Emilia', 'RE', 'ufficio%2@terzista.it')")
                     .arg(10000 + s)
                     .arg(s));
        exec(db, QStringLiteral("INSERT INTO CG44_CLIFOR (CG44_DITTA_CG18, CG44_TIPOCF, CG44_CLIFOR, "
                                "CG44_CODICE_CG16) VALUES (1, 1, %1, %2)")
                     .arg(code)
                     .arg(10000 + s));
        for (int p = 0; p < perSupplier; ++p) {
            ++line;
            exec(db, QStringLiteral(
                         "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_SEL, PD5C_CLIFOR_CG44, PD5C_FORREP, "
                         "PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_CODART_MG66, PD5C_DESCART, "
                         "PD5C_DITTA_CG18, PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_DATAFINEFASE, "
                         "PD5C_QTAINLAV, PD5C_QTARES) VALUES ('K%1', 0, %2, 'Terzista', 10, 20, "
                         "'ART-%1', 'Particolare lavorato %1', 1, 'R%1', 1, '2026-03-01', 12.5, 40)")
                         .arg(line, 6, 10, QLatin1Char('0'))
                         .arg(code));
        }
    }
    exec(db, QStringLiteral("COMMIT"));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int suppliers = argc > 1 ? std::atoi(argv[1]) : 200;
    const int perSupplier = argc > 2 ? std::atoi(argv[2]) : 10;

    erpdb::registerDatabaseObjects();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("erp.db"));
    std::vector<tsqlite::Error> errors;
    auto raw = tsqlite::Connection::open(path.toStdString(), errors, true);
    if (!raw || !erpdb::createSchema(*raw, errors))
        die(QStringLiteral("schema"));
    raw.reset();
    const QString connectionString = QStringLiteral("Provider=tsqlite;Data Source=") + path;
    db::Connection db;
    if (!db.open(connectionString))
        die(db.lastErrorText());
    fill(db, suppliers, perSupplier);

    doubles::FixedClock clock{QDateTime(QDate(2026, 3, 15), QTime(10, 30))};
    doubles::FakeObjectFactory factory;
    doubles::ScopedHostRuntime runtime(&factory, &clock);
    doubles::ScriptedMessageService messages;
    doubles::FakeGlobalContext global;
    global.connection = connectionString;
    global.messages = &messages;
    CLSPD_KVB_SCADLAV module;
    module.Cinterface_SetClsGlobal(&global);

    erphost::ReportSettings settings;
    settings.output = erphost::ReportSettings::Output::Pdf;
    settings.pdfPath = dir.filePath(QStringLiteral("solleciti.pdf"));
    int sent = 0;
    int missed = 0;
    factory.registerClass(classnames::Report, [&] {
        return std::make_unique<erphost::ReportService>(
            settings, erphost::Language::Italian, [&](const erphost::SendRecord& r) {
                (r.outcome == erphost::SendRecord::Outcome::Sent ? sent : missed)++;
            });
    });

    const auto openScreen = [&] {
        auto rows = std::make_unique<db::Recordset>();
        if (!rows->open(QStringLiteral(
                            "SELECT PD5C_SCADLAV.*, DO46_NOTECOSTR, MG66_UM1, 3 AS SOLL FROM PD5C_SCADLAV "
                            "LEFT JOIN DO46_DOCCORORDDET ON DO46_DITTA_CG18 = PD5C_DITTA_CG18 AND "
                            "DO46_NUMREG_CO99 = PD5C_NUMREG_CO99 AND DO46_PROGRIGA = PD5C_PROGRIGA_DO30 AND "
                            "DO46_CODSEQFASE = PD5C_SEQUENZA LEFT JOIN MG66_ANAGRART ON MG66_DITTA_CG18 = "
                            "PD5C_DITTA_CG18 AND MG66_CODART = PD5C_CODART_MG66 ORDER BY PD5C_KEYGRID"),
                        db))
            die(rows->lastErrorText());
        auto* screen = new FRMPD_KVB_STSOLL();
        screen->ImpostaDati(&db, nullptr, &module, connectionString, 1, 1, std::move(rows));
        screen->Form_Load();
        screen->Form_Activate();
        screen->CMD_SEL_Click();
        screen->CMD_CONFERMA_Click();
        return screen;
    };

    std::printf("reminder letters: %d suppliers x %d phases\n", suppliers, perSupplier);
    FRMPD_KVB_STSOLL* screen = openScreen();
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuNow();
    screen->CMD_STAMPA_Click();
    const double printSeconds = timer.elapsed() / 1000.0;
    std::printf("  print to PDF, click to file written: %.2f s wall, %.2f s processor (%lld bytes)\n",
                printSeconds, cpuNow() - cpu, static_cast<long long>(QFileInfo(settings.pdfPath).size()));
    delete screen;

    testing::LocalSmtpSink sink;
    const QString mails = dir.filePath(QStringLiteral("mails"));
    QDir().mkpath(mails);
    if (!sink.start(mails))
        die(QStringLiteral("the SMTP sink did not start: ") + sink.errors());
    settings.mail.server = sink.url();
    settings.mail.from = QStringLiteral("programmazione@officinedemo.it");
    sent = missed = 0;
    screen = openScreen();
    screen->controls().CMB_FAXMAIL->setCurrentIndex(1);
    screen->CMB_FAXMAIL_Click();
    timer.restart();
    cpu = cpuNow();
    screen->CMD_MAIL_Click();
    const double mailSeconds = timer.elapsed() / 1000.0;
    const double mailCpu = cpuNow() - cpu;
    const int received = int(QDir(mails).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
    std::printf("  mail run, click to last mail accepted: %.2f s wall, %.2f s processor (%d sent, %d not, "
                "%d received)\n",
                mailSeconds, mailCpu, sent, missed, received);
    delete screen;
    sink.stop();
    return received == suppliers ? 0 : 1;
}
