// The functions and views the ERP database provides on every embedded connection.

#include "tests/support/ErpDbTesting.h"

#include <QDateTime>
#include <QFile>
#include <QThread>
#include <QtGlobal>

#include <dlfcn.h>
#include <sqlite3.h>

using erpdb::testing::ErpDatabase;
using erpdb::testing::query;

namespace {

class FixedNow {
public:
    explicit FixedNow(const char* value) { qputenv("ERP_FIXED_NOW", value); }
    ~FixedNow() { qunsetenv("ERP_FIXED_NOW"); }
};

void documentTypes(ErpDatabase& db) {
    db.run("INSERT INTO MG36_DOCUMENTI (MG36_CODDOCUM, MG36_DESCDOCUM, MG36_TIPODOC, MG36_STIPODOC, "
           "MG36_INDSTAPER) VALUES ('OPR', 'Ordine di produzione', 24, 20, 1), "
           "('OPRU', 'Ordine urgente', 24, 20, 0), ('OCL', 'Ordine conto lavoro', 25, 1, 0), "
           "('OC', 'Ordine cliente', 21, 1, 0), ('OPX', 'Produzione altro', 24, 21, 0)");
    db.run("INSERT INTO MG37_DOCUMDITTA (MG37_CODDOCUM_MG36, MG37_DITTA_CG18, "
           "MG37_DESCDOCUM) VALUES ('OPR', 2, 'Ordine di lavorazione'), ('OPRU', 2, "
           "'Ignorata: tipo non per ditta')");
}

// The lookup of document codes, as the filter panel asks for it: "code|description" per row.
std::vector<std::string> documentLookup(ErpDatabase& db, int company) {
    const QString sql = QStringLiteral("SELECT TAB1.MG36_CODDOCUM, TAB2.MG36_DESCDOCUM \r\n FROM "
                                       "MG36_DOCUMENTI As TAB1 WITH (NOLOCK) \r\n   Outer Apply "
                                       "dbo.FNMG36_DOCUMENTI(TAB1.MG36_CODDOCUM, %1, "
                                       "TAB1.MG36_INDSTAPER) As TAB2 \r\n WHERE (TAB1.MG36_TIPODOC = 24 And "
                                       "TAB1.MG36_STIPODOC = 20) Or \r\n (TAB1.MG36_TIPODOC = 25 and "
                                       "TAB1.MG36_STIPODOC = 1) ORDER BY TAB1.MG36_CODDOCUM");
    auto r = query(db.connection(), sql.arg(company).toStdString());
    EXPECT_TRUE(r.ok) << r.firstError();
    std::vector<std::string> out;
    for (const auto& row : r.rows)
        out.push_back(*row[0] + "|" + *row[1]);
    return out;
}

std::string fixedText(const std::string& code, int company) {
    return " SELECT TAB2.MG62_DESCR, TAB1.MG62_TESTO  From MG62_TESTIFIS As TAB1 WITH (NOLOCK)  Outer Apply "
           "dbo.FNMG62_TESTIFIS(MG62_CODICE, " +
           std::to_string(company) + ") As TAB2  WHERE TAB1.MG62_CODICE = '" + code + "'";
}

} // namespace

// The ERP objects and the demo generator call SQLite themselves. They must reach the copy inside
// the embedded database's library: a second copy in the process would keep file locks of its
// own, and closing a file in one would drop the locks the other holds on it.
TEST(ErpObjects, TheProcessHoldsOneSQLiteTheEmbeddedDatabases) {
    ErpDatabase db;
    void* library = dlopen("libtsqlite.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(dlsym(library, "sqlite3_open_v2"), reinterpret_cast<void*>(&sqlite3_open_v2));
    dlclose(library);
    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("libsqlite3.so")) << "a second SQLite is loaded";
}

TEST(ErpObjects, ServerDateFollowsTheFixedClock) {
    ErpDatabase db;
    {
        FixedNow fixed("2026-03-15 10:30:00");
        EXPECT_EQ(query(db.connection(), "SELECT dbo.QRX_GETDATE() AS NOW").value("NOW"),
                  "2026-03-15 10:30:00.000");
        EXPECT_EQ(erpdb::currentErpTimestamp(), QStringLiteral("2026-03-15 10:30:00.000"));
    }
    {
        // A malformed value is not taken: the local clock runs.
        FixedNow fixed("15/03/2026");
        const QString now = erpdb::currentErpTimestamp();
        EXPECT_EQ(now.left(10), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    }
    auto r = query(db.connection(), "SELECT dbo.QRX_GETDATE() AS NOW");
    ASSERT_TRUE(r.ok) << r.firstError();
    const QDateTime read =
        QDateTime::fromString(QString::fromStdString(r.value("NOW")), "yyyy-MM-dd HH:mm:ss.zzz");
    ASSERT_TRUE(read.isValid());
    EXPECT_LT(qAbs(read.secsTo(QDateTime::currentDateTime())), 5);
    // A datetime's milliseconds: read often enough that a clock kept to the millisecond shows.
    for (int i = 0; i < 30; ++i) {
        const QString now = erpdb::currentErpTimestamp();
        EXPECT_TRUE(now.endsWith(u'0') || now.endsWith(u'3') || now.endsWith(u'7')) << qPrintable(now);
        QThread::usleep(1100);
    }
}

TEST(ErpObjects, ServerDateIsOneValuePerStatement) {
    ErpDatabase db;
    // Long enough that a per-row clock would move on between the first and the last row.
    const char* sql = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000) "
                      "SELECT COUNT(DISTINCT QRX_GETDATE()) FROM n";
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.connection().handle(), sql, -1, &stmt, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    sqlite3_finalize(stmt);
}

TEST(ErpObjects, ConnectionsSharingAFrozenClockReadTheSameServerDate) {
    ErpDatabase db;
    auto freeze = std::make_shared<tsqlite::ClockFreeze>();
    db.connection().freezeClock(freeze);
    std::string first;
    {
        FixedNow fixed("2026-03-15 23:59:59");
        first = query(db.connection(), "SELECT dbo.QRX_GETDATE() AS NOW").value("NOW");
    }
    // The second part of the same read, after midnight: still the first part's moment.
    FixedNow fixed("2026-03-16 00:00:01");
    db.connection().freezeClock(nullptr);
    EXPECT_EQ(query(db.connection(), "SELECT dbo.QRX_GETDATE() AS NOW").value("NOW"),
              "2026-03-16 00:00:01.000");
    db.connection().freezeClock(freeze);
    EXPECT_EQ(query(db.connection(), "SELECT dbo.QRX_GETDATE() AS NOW").value("NOW"), first);
    EXPECT_EQ(first, "2026-03-15 23:59:59.000");
}

TEST(ErpObjects, DocumentTypeLookupOffersProductionAndSubcontractTypesWithCompanyDescriptions) {
    ErpDatabase db;
    documentTypes(db);
    EXPECT_EQ(documentLookup(db, 1),
              (std::vector<std::string>{"OCL|Ordine conto lavoro", "OPR|Ordine di produzione",
                                        "OPRU|Ordine urgente"}));
    // A type not kept per company reads its own description whatever the company.
    EXPECT_EQ(documentLookup(db, 2),
              (std::vector<std::string>{"OCL|Ordine conto lavoro", "OPR|Ordine di lavorazione",
                                        "OPRU|Ordine urgente"}));
}

TEST(ErpObjects, FixedTextDescriptionDependsOnTheCompany) {
    ErpDatabase db;
    db.run("INSERT INTO MG62_TESTIFIS (MG62_CODICE, MG62_DESCR, MG62_TESTO) VALUES ('SOLL01', 'Sollecito', "
           "'Vi sollecitiamo la consegna.')");
    db.run(
        "INSERT INTO MG63_TESTIFISDITTA (MG63_CODICE_MG62, MG63_DITTA_CG18, MG63_DESCR) VALUES ('SOLL01', 2, "
        "'Sollecito rientro')");
    auto one = query(db.connection(), fixedText("SOLL01", 1));
    ASSERT_TRUE(one.ok) << one.firstError();
    EXPECT_EQ(one.value("MG62_DESCR"), "Sollecito");
    EXPECT_EQ(one.value("MG62_TESTO"), "Vi sollecitiamo la consegna.");
    EXPECT_EQ(query(db.connection(), fixedText("SOLL01", 2)).value("MG62_DESCR"), "Sollecito rientro");
    auto missing = query(db.connection(), fixedText("NESSUNO", 1));
    ASSERT_TRUE(missing.ok) << missing.firstError();
    EXPECT_TRUE(missing.rows.empty());
}
