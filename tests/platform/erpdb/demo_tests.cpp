// The demo order book: deterministic, refusing bad requests, and holding material for every
// classification the schedule shows.

#include "tests/support/ErpDbTesting.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
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
        if (m_connection)
            m_db = m_connection->handle();
        else
            ADD_FAILURE() << "cannot open " << path.toStdString();
    }

    // Every row of the query, cells as text ("<null>" for Null).
    std::vector<std::vector<std::string>>
    rows(const std::string& sql, const std::vector<std::pair<const char*, std::string>>& binds = {}) {
        std::vector<std::vector<std::string>> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(m_db);
            return out;
        }
        for (const auto& [name, value] : binds)
            sqlite3_bind_text(stmt, sqlite3_bind_parameter_index(stmt, name), value.c_str(), -1,
                              SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* t = sqlite3_column_text(stmt, i);
                row.emplace_back(t ? reinterpret_cast<const char*>(t) : "<null>");
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return out;
    }

    std::string one(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r.front().empty() ? std::string() : r.front().front();
    }

    QByteArray digest(const char* table) {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const auto& row : rows(std::string("SELECT * FROM ") + table + " ORDER BY rowid")) {
            for (const auto& cell : row)
                hash.addData(QByteArray::fromStdString(cell + "|"));
        }
        return hash.result();
    }

private:
    std::unique_ptr<tsqlite::Connection> m_connection;
    sqlite3* m_db = nullptr;
};

// The rebuild's join over the generated orders, its quantity in work and quantity to send,
// the previous phase's stock, and the schedule's three classification codes, for company 1.
const char* kClassification = R"(
WITH
d AS (
  SELECT PD5M_NUMREG_CO99 AS n, PD5M_PROGRIGA_DO30 AS r, PD5M_CODFASE_PD12 AS f, PD5M_CLIFOR_CG44 AS c,
         PD5M_CODART_MG66 AS a, ROUND(SUM(PD5M_QTA), 3) AS g
  FROM PD5M_MOVFASE JOIN DO31_DOCCORPOORD ON DO31_DITTA_CG18 = PD5M_DITTA_CG18
       AND DO31_NUMREG_CO99 = PD5M_NUMREG_CO99 AND DO31_PROGRIGA = PD5M_PROGRIGA_DO30
  WHERE PD5M_DITTA_CG18 = 1 AND IFNULL(DO31_INDSTATOCONS, 0) < 9
  GROUP BY 1, 2, 3, 4, 5),
grp AS (
  SELECT n, r, f, c, a, MAX(g, 0) AS g FROM d
  WHERE EXISTS (SELECT 1 FROM PD95_DISBA WHERE PD95_CODART_MG66 = d.a AND PD95_TIPO_DISTINTA = 0)),
ins AS (
  SELECT DO11_TIPODOC AS tipo, DO30_NUMREG_CO99 AS n, DO30_PROGRIGA AS r, DO46_CODSEQFASE AS seq,
         DO46_PROGSFASE AS sub, DO46_CODFASE AS f, DO46_CLIFOR_CG44 AS c, DO46_INDFASEINTEST AS kind,
         DO46_DATAINIZIO AS dini, DO46_DATAFINE AS dfine, IFNULL(DO46_INDSTATOORD, 99) AS stato,
         IFNULL(DO31_INDSTATOCONS, 99) AS statocons, DO46_QTA1ORD AS qord,
         IFNULL(DO46_QTA1CONSOLID, 0) AS qcons, IFNULL(DO46_QTA1SCARTO, 0) AS qscarto, grp.g AS giac
  FROM DO11_DOCTESTATA
  JOIN DO30_DOCCORPO ON DO11_DITTA_CG18 = DO30_DITTA_CG18 AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99
  JOIN DO46_DOCCORORDDET ON DO46_DITTA_CG18 = DO30_DITTA_CG18 AND DO46_NUMREG_CO99 = DO30_NUMREG_CO99
       AND DO46_PROGRIGA = DO30_PROGRIGA
  JOIN DO31_DOCCORPOORD ON DO31_DITTA_CG18 = DO30_DITTA_CG18 AND DO31_NUMREG_CO99 = DO30_NUMREG_CO99
       AND DO31_PROGRIGA = DO30_PROGRIGA
  JOIN MG66_ANAGRART ON MG66_DITTA_CG18 = DO30_DITTA_CG18 AND MG66_CODART = DO30_CODART_MG66
  JOIN PD18_ARTPROD ON PD18_DITTA_CG18 = MG66_DITTA_CG18 AND PD18_CODART_MG66 = MG66_CODART
  JOIN VPD12_FASILAVORO ON PD12_DITTA_CG18 = DO46_DITTA_CG18 AND PD12_CODFASE = DO46_CODFASE
  JOIN VFW_SELDOC ON VFW_DITTA_CG18 = DO30_DITTA_CG18 AND VFW_NUMREG_CO99 = DO30_NUMREG_CO99
       AND VFW_PROGRIGA_DO30 = DO30_PROGRIGA
  LEFT JOIN grp ON grp.n = DO30_NUMREG_CO99 AND grp.r = DO30_PROGRIGA AND grp.f = DO46_CODFASE
       AND grp.c = DO46_CLIFOR_CG44 AND grp.a = DO30_CODART_MG66
  WHERE DO30_DITTA_CG18 = 1 AND IFNULL(DO31_INDSTATOCONS, 0) < 9 AND VFW_FLGDAEVADERE = 1
    AND DO11_DATADOC >= :min
    AND ((DO11_TIPODOC = 24 AND DO11_STIPODOC = 20)
         OR (DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 AND DO11_CAUSMAG_MG51 <> 9999))),
quantities AS (
  SELECT ins.*,
    CASE WHEN IFNULL(giac, 0) = 0
         THEN COALESCE((SELECT g FROM grp WHERE grp.n = ins.n AND grp.r = ins.r AND grp.f = ins.f AND grp.c = ins.c
                        LIMIT 1), giac)
         ELSE giac END AS inlav,
    CASE WHEN giac > 0 THEN MAX(qord - qcons - ABS(giac) - qscarto, 0) END AS dainv
  FROM ins),
previous AS (
  SELECT quantities.*,
    CASE WHEN tipo = 24 AND dainv > 0 THEN
      (SELECT IFNULL(ABS(grp.g), 0) FROM DO46_DOCCORORDDET p
       LEFT JOIN grp ON grp.n = p.DO46_NUMREG_CO99 AND grp.r = p.DO46_PROGRIGA AND grp.f = p.DO46_CODFASE
            AND grp.c = p.DO46_CLIFOR_CG44
       WHERE p.DO46_DITTA_CG18 = 1 AND p.DO46_NUMREG_CO99 = quantities.n AND p.DO46_PROGRIGA = quantities.r
         AND p.DO46_CODSEQFASE < quantities.seq
       ORDER BY p.DO46_CODSEQFASE DESC LIMIT 1) END AS giacprec
  FROM quantities)
SELECT tipo, kind, sub,
  CASE WHEN dfine < :now THEN 3
       WHEN (:now BETWEEN dini AND dfine) AND qcons = 0 AND IFNULL(inlav, 0) = 0 THEN 2 ELSE 1 END AS ctrl_date,
  CASE WHEN dainv > 0 AND giacprec >= dainv THEN 1
       WHEN dainv > 0 AND giacprec < dainv AND giacprec > 0 THEN 2 ELSE 4 END AS ctrl_qta,
  CASE WHEN IFNULL(inlav, 0) = 0 THEN 4
       ELSE (CASE WHEN dini > :now THEN 1 WHEN dfine < :now THEN 3 WHEN :now BETWEEN dini AND dfine THEN 2 END)
  END AS soll,
  CASE WHEN inlav IS NULL THEN 'none' ELSE 'some' END AS inlav_kind,
  CASE WHEN qcons >= qord THEN 'reported' ELSE 'open' END AS reported
FROM previous
WHERE qcons < qord AND stato <> 3 AND statocons IN (0, 1, 2, 3, 4)
)";

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
    QTemporaryDir dir;
    const QString path = dir.filePath("demo.db");
    QString error;
    ASSERT_TRUE(erpdb::createDemoDatabase(path, options(600, 3), false, nullptr, &error))
        << error.toStdString();
    RawDatabase db(path);
    const auto rows =
        db.rows(kClassification, {{":now", "2026-06-15 12:00:00.000"}, {":min", "2025-12-15 00:00:00.000"}});
    ASSERT_GT(rows.size(), 1000u);
    std::set<std::string> ctrlDate, ctrlQta, soll, kinds, types, inWork;
    bool subPhases = false;
    for (const auto& r : rows) {
        types.insert(r[0]);
        if (r[0] == "24")
            kinds.insert(r[1]);
        subPhases = subPhases || r[2] != "0";
        ctrlDate.insert(r[3]);
        ctrlQta.insert(r[4]);
        soll.insert(r[5]);
        inWork.insert(r[6]);
    }
    EXPECT_EQ(ctrlDate, (std::set<std::string>{"1", "2", "3"}));
    EXPECT_EQ(ctrlQta, (std::set<std::string>{"1", "2", "4"}));
    EXPECT_EQ(soll, (std::set<std::string>{"1", "2", "3", "4", "<null>"}));
    EXPECT_EQ(kinds, (std::set<std::string>{"0", "1"}));
    EXPECT_EQ(types, (std::set<std::string>{"24", "25"}));
    EXPECT_EQ(inWork, (std::set<std::string>{"none", "some"}));
    EXPECT_TRUE(subPhases);

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
