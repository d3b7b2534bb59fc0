// The demo order book: deterministic, refusing bad requests, and holding material for every
// classification the schedule shows.

#include "tests/support/RebuildDatabase.h"

#include "engine/ScheduleStatement.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <set>

namespace {

erpdb::DemoOptions options(int lines, std::uint32_t seed, const char* today = "2026-06-15") {
    erpdb::DemoOptions o;
    o.lines = lines;
    o.seed = seed;
    o.today = QDate::fromString(QString::fromLatin1(today), QStringLiteral("yyyy-MM-dd"));
    return o;
}

// Plain SQLite over an embedded connection, which brings the ERP collation of the text columns.
class RawDatabase {
public:
    explicit RawDatabase(const QString& path) {
        erpdb::registerDatabaseObjects();
        std::vector<tsqlite::Error> errors;
        m_connection = tsqlite::Connection::open(path.toStdString(), errors);
        if (!m_connection)
            ADD_FAILURE() << "cannot open " << path.toStdString();
    }

    // Every cell of the query, row after row, as text ("<null>" for Null).
    std::vector<std::string> cells(const std::string& sql) {
        std::vector<std::string> out;
        char* message = nullptr;
        const auto collect = [](void* out, int count, char** values, char**) {
            for (int i = 0; i < count; ++i)
                static_cast<std::vector<std::string>*>(out)->emplace_back(values[i] ? values[i] : "<null>");
            return 0;
        };
        if (!m_connection ||
            sqlite3_exec(m_connection->handle(), sql.c_str(), collect, &out, &message) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << (message ? message : "no database");
        sqlite3_free(message);
        return out;
    }

    std::string one(const std::string& sql) {
        const auto r = cells(sql);
        return r.empty() ? std::string() : r.front();
    }

    QByteArray digest(const char* table) {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const auto& cell : cells(std::string("SELECT * FROM ") + table + " ORDER BY rowid"))
            hash.addData(QByteArray::fromStdString(cell + "|"));
        return hash.result();
    }

private:
    std::unique_ptr<tsqlite::Connection> m_connection;
};

} // namespace

TEST(DemoDatabase, SameSeedGivesTheSameDatabaseAndAnotherSeedAnother) {
    QTemporaryDir dir;
    erpdb::DemoSummary summaries[3];
    for (int k = 0; k < 3; ++k) {
        QString error;
        ASSERT_TRUE(erpdb::createDemoDatabase(dir.filePath(QString(QChar(u'a' + k)) + ".db"),
                                              options(150, k < 2 ? 42 : 43), false, &summaries[k], &error))
            << error.toStdString();
    }
    EXPECT_EQ(summaries[0].phases, summaries[1].phases);
    EXPECT_EQ(summaries[0].productionLines, 150);
    RawDatabase ra(dir.filePath("a.db")), rb(dir.filePath("b.db")), rc(dir.filePath("c.db"));
    for (const char* table :
         {"DO11_DOCTESTATA", "DO30_DOCCORPO", "DO46_DOCCORORDDET", "PD5M_MOVFASE", "CG16_ANAGGEN",
          "CO02_ANAGCONTATTO", "FW23_FAXER", "MG70_MAGPROQTA", "PD53_FASICICLO", "PDCA_CALENDARIO"})
        EXPECT_EQ(ra.digest(table), rb.digest(table)) << table;
    EXPECT_NE(ra.digest("DO46_DOCCORORDDET"), rc.digest("DO46_DOCCORORDDET"));
    EXPECT_NE(ra.digest("PD5M_MOVFASE"), rc.digest("PD5M_MOVFASE"));
    // Nothing of the build is left beside the database.
    EXPECT_FALSE(QFile::exists(dir.filePath("a.db.building")));
}

TEST(DemoDatabase, RefusesBadRequestsAndKeepsExistingFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath("erp.db");
    QString error;
    EXPECT_FALSE(erpdb::createDemoDatabase(path, options(0, 1), false, nullptr, &error));
    EXPECT_TRUE(error.contains("greater than 0")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(erpdb::createDemoDatabase(path, options(10, 1, "2026-02-30"), false, nullptr, &error));
    EXPECT_FALSE(QFile::exists(path));

    QFile other(path);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("not a database");
    other.close();
    EXPECT_FALSE(erpdb::createDemoDatabase(path, options(10, 1), false, nullptr, &error));
    EXPECT_TRUE(error.contains("exists")) << error.toStdString();
    EXPECT_EQ(QFileInfo(path).size(), 14);
    // The host refuses it too rather than taking it for an ERP database.
    EXPECT_FALSE(erpdb::ensureDemoDatabase(path, &error));
    EXPECT_FALSE(error.isEmpty());

    ASSERT_TRUE(erpdb::createDemoDatabase(path, options(10, 1), true, nullptr, &error))
        << error.toStdString();
    EXPECT_TRUE(erpdb::ensureDemoDatabase(path, &error)) << error.toStdString();
    const QString fresh = dir.filePath("host-data/first-run.db");
    EXPECT_TRUE(erpdb::ensureDemoDatabase(fresh, &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(fresh));
}

TEST(DemoDatabase, CommandLineToolExitsWithAMessageOnBadArguments) {
    QTemporaryDir dir;
    const QString tool = QStringLiteral(SCADLAV_BINARY_DIR "/bin/erp-demo-db");
    auto run = [&](const QStringList& args, QString* err) {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(60000);
        *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    const QString file = dir.filePath("demo.db");
    QString err;
    EXPECT_NE(run({"--lines", "-3", "--seed", "1", "--today", "2026-06-15", file}, &err), 0);
    EXPECT_TRUE(err.contains("--lines")) << err.toStdString();
    EXPECT_NE(run({"--lines", "5", "--seed", "1", "--today", "15/06/2026", file}, &err), 0);
    EXPECT_TRUE(err.contains("YYYY-MM-DD")) << err.toStdString();
    EXPECT_EQ(run({"--lines", "5", "--seed", "1", "--today", "2026-06-15", file}, &err), 0)
        << err.toStdString();
    EXPECT_NE(run({"--lines", "5", "--seed", "1", "--today", "2026-06-15", file}, &err), 0);
    EXPECT_TRUE(err.contains("--force")) << err.toStdString();
    EXPECT_EQ(run({"--force", "--lines", "5", "--seed", "2", "--today", "2026-06-15", file}, &err), 0);
}

TEST(DemoDatabase, HoldsMaterialForEveryClassificationOfTheSchedule) {
    // The schedule as the module rebuilds and shows it on the demo's today.
    qputenv("ERP_FIXED_NOW", "2026-06-15 12:00:00");
    const auto clock = qScopeGuard([] { qunsetenv("ERP_FIXED_NOW"); });
    scadlav::testing::RebuildDatabase rebuilt;
    QString error;
    ASSERT_TRUE(erpdb::generateDemoData(rebuilt.erp().connection(), options(600, 3), nullptr, &error))
        << error.toStdString();
    scadlav::engine::RebuildInputs in = scadlav::testing::RebuildDatabase::defaultInputs();
    in.minDateLiteral = QStringLiteral("'2025-12-15 00:00:00'");
    const auto outcome = rebuilt.operation().run(in, QStringLiteral("CL"));
    ASSERT_EQ(outcome.status, scadlav::engine::RebuildOutcome::Status::Done)
        << outcome.error.description.toStdString();
    scadlav::ScheduleParameters shown;
    shown.companyCode = 1;
    shown.minDateLiteral = in.minDateLiteral;
    shown.stateKeys = *in.checkedStates;
    const auto rows = rebuilt.query(*scadlav::schedule_sql::showStatement(shown));
    ASSERT_GT(rows->recordCount(), 1000);
    const auto cell = [&rows](const char* column) {
        const scadlav::Value v = rows->value(QLatin1String(column));
        return v.isNull() ? std::string("<null>") : v.toText().toStdString();
    };
    std::set<std::string> ctrlDate, ctrlQta, soll, kinds, types, inWork;
    bool subPhases = false;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
        types.insert(cell("PD5C_TIPODOC"));
        if (cell("PD5C_TIPODOC") == "24")
            kinds.insert(cell("PD5C_INDFASEINTEST"));
        subPhases = subPhases || cell("PD5C_PROGSFASE") != "0";
        ctrlDate.insert(cell("CTRL_DATE"));
        ctrlQta.insert(cell("CTRL_QTA"));
        soll.insert(cell("SOLL"));
        inWork.insert(cell("PD5C_QTAINLAV") == "<null>" ? "none" : "some");
    }
    EXPECT_EQ(ctrlDate, (std::set<std::string>{"1", "2", "3"}));
    EXPECT_EQ(ctrlQta, (std::set<std::string>{"1", "2", "4"}));
    EXPECT_EQ(soll, (std::set<std::string>{"1", "2", "3", "4", "<null>"}));
    EXPECT_EQ(kinds, (std::set<std::string>{"0", "1"}));
    EXPECT_EQ(types, (std::set<std::string>{"24", "25"}));
    EXPECT_EQ(inWork, (std::set<std::string>{"none", "some"}));
    EXPECT_TRUE(subPhases);

    RawDatabase db(rebuilt.erp().path());
    // Subcontract orders reach the phases they work through the document references, some
    // phases through two of them, and some orders carry the reason that keeps them out.
    for (
        const char* some :
        {R"(SELECT COUNT(*) FROM (SELECT ODL.DO30_NUMREG_CO99, ODL.DO30_PROGRIGA, F.DO46_CODSEQFASE, COUNT(*) AS N
        FROM DO30_DOCCORPO ODL
        JOIN DO33_DOCCORPORIF ON ODL.DO30_DITTA_CG18 = DO33_DITTA_CG18 AND ODL.DO30_NUMREG_CO99 = DO33_NUMREGRIF_CO99
             AND ODL.DO30_PROGRIGA = DO33_PROGRIGARIF_DO30
        JOIN DO11_DOCTESTATA H ON H.DO11_DITTA_CG18 = DO33_DITTA_CG18 AND H.DO11_NUMREG_CO99 = DO33_NUMREG_CO99
        JOIN DO46_DOCCORORDDET C ON C.DO46_DITTA_CG18 = DO33_DITTA_CG18 AND C.DO46_NUMREG_CO99 = DO33_NUMREG_CO99
             AND C.DO46_PROGRIGA = DO33_PROGRIGA
        JOIN DO46_DOCCORORDDET F ON F.DO46_DITTA_CG18 = ODL.DO30_DITTA_CG18 AND F.DO46_NUMREG_CO99 = ODL.DO30_NUMREG_CO99
             AND F.DO46_PROGRIGA = ODL.DO30_PROGRIGA AND F.DO46_CODFASE = C.DO46_CODFASE
             AND F.DO46_CODSEQFASE = C.DO46_CODSEQFASE AND F.DO46_PROGSFASE = C.DO46_PROGSFASE
        WHERE H.DO11_TIPODOC = 25 AND H.DO11_STIPODOC = 1
        GROUP BY 1, 2, 3 HAVING N > 1))",
         "SELECT COUNT(*) FROM DO11_DOCTESTATA WHERE DO11_TIPODOC = 25 AND DO11_CAUSMAG_MG51 = 9999",
         // Returns beyond what was sent: a negative stock in phase.
         "SELECT COUNT(*) FROM (SELECT SUM(PD5M_QTA) AS G FROM PD5M_MOVFASE GROUP BY PD5M_NUMREG_CO99, "
         "PD5M_PROGRIGA_DO30, PD5M_CODFASE_PD12 HAVING G < 0)",
         // Settled phases, closed lines, fully reported phases and open customer orders exist too.
         "SELECT COUNT(*) FROM DO46_DOCCORORDDET WHERE DO46_INDSTATOORD = 3",
         "SELECT COUNT(*) FROM DO31_DOCCORPOORD WHERE DO31_INDSTATOCONS = 9",
         "SELECT COUNT(*) FROM VFW_SELDOC JOIN DO11_DOCTESTATA ON DO11_NUMREG_CO99 = VFW_NUMREG_CO99 "
         "WHERE DO11_TIPODOC = 21 AND VFW_FLGDAEVADERE = 1 AND VFW_FLGEVASO = 0"})
        EXPECT_NE(db.one(some), "0") << some;
    // Users and send channels the host and the reminders need.
    EXPECT_EQ(db.one("SELECT COUNT(*) FROM FW07_APPUSER WHERE FW07_ID IN (1, 2, 3) AND FW07_IDENTITA <> ''"),
              "3");
    EXPECT_EQ(db.one("SELECT FW23_SERVER || ':' || FW23_PORTA FROM FW23_FAXER WHERE FW23_INDTIPO = 1"),
              "127.0.0.1:2525");
    EXPECT_EQ(db.one("SELECT FW23_CARTELLASPOOL FROM FW23_FAXER WHERE FW23_INDTIPO = 0"), "fax-spool");
}

TEST(DemoDatabase, ClosesInAugustAndOverChristmasAndKeepsPhasesWithinAFewDays) {
    QTemporaryDir dir;
    const QString path = dir.filePath("demo.db");
    QString error;
    ASSERT_TRUE(erpdb::createDemoDatabase(path, options(20, 5), false, nullptr, &error))
        << error.toStdString();
    RawDatabase db(path);
    const auto closed = [&db](int company, const char* from, const char* to) {
        return db.one(
            "SELECT COUNT(*) FROM PDCA_CALENDARIO WHERE PDCA_DITTA_CG18 = " + std::to_string(company) +
            " AND PDCA_DATA >= '" + from + "' AND PDCA_DATA < '" + to + "'");
    };
    for (int company : {1, 2}) {
        // 2025: Monday 11 to Friday 22 August but the 15th; 2026: Monday 10 to Friday 21.
        EXPECT_EQ(closed(company, "2025-08-01", "2025-09-01"), "9");
        EXPECT_EQ(closed(company, "2026-08-10", "2026-08-22"), "10");
        EXPECT_EQ(closed(company, "2026-08-22", "2026-09-01"), "0");
        // Monday 28 to Thursday 31 December, Monday 4 and Tuesday 5 January.
        EXPECT_EQ(closed(company, "2026-12-24", "2027-01-08"), "6");
        EXPECT_EQ(closed(company, "2027-12-01", "2028-01-01"), "5");
    }
    EXPECT_EQ(db.one("SELECT COUNT(*) FROM PDCA_CALENDARIO WHERE strftime('%w', PDCA_DATA) IN ('0', '6')"),
              "0");

    // The largest order (500 units) of the slowest routing row takes under three weeks.
    EXPECT_EQ(db.one("SELECT COUNT(*) FROM PD53_FASICICLO WHERE IFNULL(PD53_TEMPOUNIT, 0) <= 0 "
                     "OR PD53_GGLAV IS NULL"),
              "0");
    const double longest =
        std::stod(db.one("SELECT MAX(PD53_GGLAV + 500 * PD53_TEMPOUNIT / 480.0) FROM PD53_FASICICLO"));
    EXPECT_GT(longest, 5);
    EXPECT_LT(longest, 15);
}
