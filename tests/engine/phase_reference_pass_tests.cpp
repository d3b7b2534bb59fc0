// The per-row pass reads everything once and indexes it; on a generated order book it must
// write exactly what asking the server row by row writes.

#include "tests/support/RebuildDatabase.h"

#include "engine/PhaseReferencePass.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/RuntimeError.h"
#include "module/sql/SqlText.h"

#include <gtest/gtest.h>

#include <QHash>

using namespace scadlav;
using namespace scadlav::engine;
using scadlav::testing::RebuildDatabase;

namespace {

const char* const kWritten[] = {"PD5C_RIFOCLAV",     "PD5C_DATACONSOCLAV", "PD5C_NUMREGCLAV",
                                "PD5C_PROGRIGACLAV", "PD5C_SEQCLAV",       "PD5C_SEQPREC",
                                "PD5C_FASEPREC",     "PD5C_DESCFASEPREC",  "PD5C_FORREPPREC",
                                "PD5C_DISPPREC",     "PD5C_GIACPREC"};

// A row's lookup as it is sent when the server is asked row by row: the lines are written
// here with \n and sent with CRLF; {co} {reg} {line} {phase} {seq} {grp} take the row's values.
QString rowSql(const char* lines, int company, const db::Recordset& row, const QString& grouped = {}) {
    const auto number = [&](const char* column) {
        return NVL(row.value(QLatin1String(column)), Value(0)).toText();
    };
    return QString::fromLatin1(lines)
        .replace(u'\n', QStringLiteral("\r\n"))
        .replace(QStringLiteral("{co}"), QString::number(company))
        .replace(QStringLiteral("{grp}"), grouped)
        .replace(QStringLiteral("{line}"), number("PD5C_PROGRIGA_DO30"))
        .replace(QStringLiteral("{phase}"), number("PD5C_CODFASE_PD12"))
        .replace(QStringLiteral("{seq}"), number("PD5C_SEQUENZA"))
        .replace(QStringLiteral("{reg}"), RTrimN(row.value(QStringLiteral("PD5C_NUMREG_CO99"))));
}

const char* const kReferenceSql =
    "SELECT LTRIM(RTRIM(DO11_DOCUM_MG36)) + ',' + convert(nvarchar(8),DO11_DATADOC,3) + ',' + "
    "CAST(DO11_NUMDOC AS VARCHAR(7)) AS OCLAV,ISNULL(DO31_CLAV.DO31_DATACONSINT,DO31_CLAV.DO31_DATACONS) AS "
    "DATACONS,CLAV.DO30_NUMREG_CO99 AS NUMREG,CLAV.DO30_PROGRIGA AS RIGA,DO46_CODSEQFASE \n"
    "FROM DO30_DOCCORPO ODL WITH (NOLOCK) \nINNER JOIN DO33_DOCCORPORIF WITH (NOLOCK) ON \n"
    "ODL.DO30_DITTA_CG18 = DO33_DITTA_CG18  \nAND ODL.DO30_NUMREG_CO99 = DO33_NUMREGRIF_CO99  \n"
    "AND ODL.DO30_PROGRIGA = DO33_PROGRIGARIF_DO30  \nINNER JOIN DO30_DOCCORPO CLAV WITH (NOLOCK) ON \n"
    "CLAV.DO30_DITTA_CG18 = DO33_DITTA_CG18  \nAND CLAV.DO30_NUMREG_CO99 = DO33_NUMREG_CO99  \n"
    "AND CLAV.DO30_PROGRIGA = DO33_PROGRIGA  \nINNER JOIN DO11_DOCTESTATA WITH (NOLOCK) ON \n"
    "DO11_DITTA_CG18 = CLAV.DO30_DITTA_CG18  \nAND DO11_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  \n"
    "INNER JOIN DO31_DOCCORPOORD DO31_CLAV WITH (NOLOCK) ON \nCLAV.DO30_DITTA_CG18 = "
    "DO31_CLAV.DO31_DITTA_CG18  \nAND CLAV.DO30_NUMREG_CO99 = DO31_CLAV.DO31_NUMREG_CO99  \n"
    "AND CLAV.DO30_PROGRIGA = DO31_CLAV.DO31_PROGRIGA  \nINNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON \n"
    "DO46_DITTA_CG18 = CLAV.DO30_DITTA_CG18  \nAND DO46_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  \n"
    "AND DO46_PROGRIGA = CLAV.DO30_PROGRIGA  \nWHERE DO11_DITTA_CG18 = {co}\n"
    "AND ODL.DO30_NUMREG_CO99 = '{reg}'\nAND ODL.DO30_PROGRIGA = {line}\nAND DO46_CODFASE = {phase}\n"
    "AND DO46_CODSEQFASE = {seq}\nAND DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 \n";

const char* const kPreviousSql =
    "SELECT TOP 1 DO46_CODSEQFASE,DO46_CODFASE,PD12_DESCR,ISNULL(CG16_RAGSOANAG,PD07_DESCR) AS "
    "FORREP,DO46_QTA1CONSOLID,ABS(GIACENZA) AS QTA_IN_LAV  \nFROM DO46_DOCCORORDDET WITH (NOLOCK) \n"
    "INNER JOIN VPD12_FASILAVORO WITH (NOLOCK) ON \nPD12_DITTA_CG18 = DO46_DITTA_CG18 \n"
    "AND PD12_CODFASE = DO46_CODFASE \nLEFT JOIN VPD07_REPARTO WITH (NOLOCK) ON \n"
    "PD07_DITTA_CG18 = DO46_DITTA_CG18 \nAND PD07_CODREP = DO46_CODREPARTO \n"
    "LEFT JOIN CG44_CLIFOR WITH (NOLOCK) ON \nCG44_DITTA_CG18 = DO46_DITTA_CG18 \n"
    "AND CG44_CLIFOR = DO46_CLIFOR_CG44 \nAND CG44_TIPOCF = DO46_TIPOCF_CG44 \n"
    "LEFT JOIN CG16_ANAGGEN WITH (NOLOCK) ON \nCG16_CODICE = CG44_CODICE_CG16 \nLEFT JOIN {grp} ON \n"
    "   NUMREG_ODL = DO46_NUMREG_CO99 \n   AND PROGRIGA_ODL = DO46_PROGRIGA \n   AND FASE = DO46_CODFASE \n"
    "   AND CLIFOR = DO46_CLIFOR_CG44 \nWHERE DO46_DITTA_CG18 = {co}\nAND DO46_NUMREG_CO99 = '{reg}'\n"
    "AND DO46_PROGRIGA = {line}\nAND DO46_CODSEQFASE < {seq}\nORDER BY DO46_CODSEQFASE DESC  \n";

// How a looked-up column reaches the schedule: as it is, right-trimmed text, or 0 for null.
enum class As { Raw, Text, Number };
struct Copy {
    const char* to;
    const char* from;
    As as;
};

// Runs one lookup and copies its first row into the schedule row, which is committed at once.
void lookUp(db::Connection& connection, const QString& sql, db::Recordset& rs,
            std::initializer_list<Copy> copies) {
    auto found = connection.execute(sql);
    ASSERT_TRUE(found) << connection.lastErrorText().toStdString();
    if (!found->isOpen() || found->recordCount() == 0)
        return;
    found->moveFirst();
    for (const Copy& c : copies) {
        const Value v = found->value(QLatin1String(c.from));
        rs.setValue(QLatin1String(c.to), c.as == As::Raw    ? v
                                         : c.as == As::Text ? Value(RTrimN(v))
                                                            : NVL(v, Value(0)));
    }
    ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();
}

// Writes the references row by row, each lookup its own statement.
void perRowPass(db::Connection& connection, int company, const QString& grouped, db::Recordset& rs) {
    for (; !rs.eof(); rs.moveNext()) {
        if (NVL(rs.value(QStringLiteral("PD5C_TIPODOC")), Value(0)).toInt64() != 24)
            continue;
        lookUp(connection, rowSql(kReferenceSql, company, rs), rs,
               {{"PD5C_RIFOCLAV", "OCLAV", As::Text},
                {"PD5C_DATACONSOCLAV", "DATACONS", As::Raw},
                {"PD5C_NUMREGCLAV", "NUMREG", As::Text},
                {"PD5C_PROGRIGACLAV", "RIGA", As::Number},
                {"PD5C_SEQCLAV", "DO46_CODSEQFASE", As::Number}});
        if (*NVL(rs.value(QStringLiteral("PD5C_QTADAINV")), Value(0)).toDecimal() > Decimal())
            lookUp(connection, rowSql(kPreviousSql, company, rs, grouped), rs,
                   {{"PD5C_SEQPREC", "DO46_CODSEQFASE", As::Number},
                    {"PD5C_FASEPREC", "DO46_CODFASE", As::Number},
                    {"PD5C_DESCFASEPREC", "PD12_DESCR", As::Text},
                    {"PD5C_FORREPPREC", "FORREP", As::Text},
                    {"PD5C_DISPPREC", "DO46_QTA1CONSOLID", As::Number},
                    {"PD5C_GIACPREC", "QTA_IN_LAV", As::Number}});
    }
}

// Every written column of every row, by row key.
QHash<QString, QStringList> writtenColumns(db::Connection& connection) {
    QHash<QString, QStringList> out;
    auto rs = connection.execute(QStringLiteral("SELECT * FROM PD5C_SCADLAV WHERE PD5C_KEYGRID IS NOT NULL"));
    EXPECT_TRUE(rs && rs->isOpen()) << connection.lastErrorText().toStdString();
    if (!rs || !rs->isOpen())
        return out;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        QStringList values;
        for (const char* column : kWritten) {
            const Value v = rs->value(QLatin1String(column));
            values << (v.isNull() ? QStringLiteral("<null>") : v.toText());
        }
        out.insert(rs->value(QStringLiteral("PD5C_KEYGRID")).toText(), values);
    }
    return out;
}

// A generated order book of 120 lines and the inputs that take every order of it.
class PhaseReferencePassTest : public ::testing::Test {
protected:
    void SetUp() override {
        erpdb::DemoOptions options;
        options.lines = 120;
        options.seed = 7;
        options.today = QDate(2026, 12, 5);
        QString error;
        ASSERT_TRUE(erpdb::generateDemoData(db.erp().connection(), options, nullptr, &error))
            << error.toStdString();
        in.minDateLiteral = QStringLiteral("'2020-01-01 00:00:00'");
    }
    // The schedule rebuilt and its quantities completed, as the pass finds it.
    void rebuild() {
        ASSERT_TRUE(db.rebuild(in)) << db.connection().lastErrorText().toStdString();
        db.completeQuantities();
    }
    // A loaded pass run over `schedule` from its current row.
    int runPass(db::Recordset& schedule) {
        PhaseReferencePass pass(db.connection(), 1, db.tables().TempDatiGRP);
        pass.load();
        return pass.run(schedule);
    }

    RebuildDatabase db;
    RebuildInputs in = RebuildDatabase::defaultInputs();
};

} // namespace

TEST_F(PhaseReferencePassTest, WritesWhatRowByRowLookupsWrite) {
    rebuild();

    // The server asked row by row first; its results are kept, then the schedule is rebuilt
    // and completed by the pass.
    {
        auto schedule = db.openSchedule();
        perRowPass(db.connection(), 1, db.tables().TempDatiGRP, *schedule);
    }
    const QHash<QString, QStringList> expected = writtenColumns(db.connection());

    rebuild();
    auto schedule = db.openSchedule();
    const int written = runPass(*schedule);
    const QHash<QString, QStringList> actual = writtenColumns(db.connection());

    ASSERT_EQ(actual.size(), expected.size());
    int withReference = 0, withPrevious = 0;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        EXPECT_EQ(actual.value(it.key()), it.value()) << it.key().toStdString();
        withReference += it.value()[2] != QLatin1String("<null>");
        withPrevious += it.value()[5] != QLatin1String("<null>");
    }
    // The order book must exercise both lookups for the comparison to mean anything.
    EXPECT_GT(withReference, 5);
    EXPECT_GT(withPrevious, 5);
    EXPECT_GT(written, 10);
}

// The pass writes in batches; a write that fails halfway (another session changed the row
// after the schedule was read) must leave every row written before it saved, as row-by-row
// writes would, and no transaction open on the connection.
TEST_F(PhaseReferencePassTest, RowsWrittenBeforeAFailedWriteStaySaved) {
    // A whole pass first tells which rows get written, in the order the pass walks them.
    rebuild();
    const QHash<QString, QStringList> untouched = writtenColumns(db.connection());
    QStringList walk;
    {
        auto schedule = db.openSchedule();
        for (; !schedule->eof(); schedule->moveNext())
            walk << schedule->value(QStringLiteral("PD5C_KEYGRID")).toText();
        schedule->moveFirst();
        runPass(*schedule);
    }
    const QHash<QString, QStringList> complete = writtenColumns(db.connection());
    QStringList written;
    for (const QString& key : walk)
        if (complete.value(key) != untouched.value(key))
            written << key;
    ASSERT_GT(written.size(), 10);
    const QString refused = written[written.size() / 2];

    rebuild();
    auto schedule = db.openSchedule();
    db.erp().run("UPDATE PD5C_SCADLAV SET PD5C_SEL = 1 WHERE PD5C_KEYGRID = '" + refused.toStdString() + "'");
    EXPECT_THROW(runPass(*schedule), RuntimeException);

    // Read by another session, so that only what was committed shows.
    db::Connection other;
    ASSERT_TRUE(other.open(QStringLiteral("Provider=tsqlite;Data Source=") + db.erp().path()));
    const QHash<QString, QStringList> after = writtenColumns(other);
    bool beforeRefused = true;
    for (const QString& key : written) {
        if (key == refused)
            beforeRefused = false;
        EXPECT_EQ(after.value(key), beforeRefused ? complete.value(key) : untouched.value(key))
            << key.toStdString();
    }
    // Nothing is left open: a commit now finds no transaction.
    db.connection().clearErrors();
    db.connection().execute(QStringLiteral("COMMIT TRANSACTION"), db::kCmdTextNoRecords);
    EXPECT_FALSE(db.connection().errors().isEmpty());
}
