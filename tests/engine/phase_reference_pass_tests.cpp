// The per-row pass reads everything once and indexes it; on a generated order book it must
// write exactly what asking the server row by row writes.

#include "tests/support/RebuildDatabase.h"

#include "engine/PhaseReferencePass.h"
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

QString crlf(std::initializer_list<QString> parts) {
    QString out;
    for (const QString& p : parts)
        out += p + QStringLiteral("\r\n");
    return out;
}

// The lookups of one schedule row, as they are sent when the server is asked row by row.
QString referenceSql(int company, const db::Recordset& row) {
    return crlf({QStringLiteral(
                     "SELECT LTRIM(RTRIM(DO11_DOCUM_MG36)) + ',' + convert(nvarchar(8),DO11_DATADOC,3) + "
                     "',' + CAST(DO11_NUMDOC AS VARCHAR(7)) AS "
                     "OCLAV,ISNULL(DO31_CLAV.DO31_DATACONSINT,DO31_CLAV.DO31_DATACONS) AS "
                     "DATACONS,CLAV.DO30_NUMREG_CO99 AS NUMREG,CLAV.DO30_PROGRIGA AS RIGA,DO46_CODSEQFASE "),
                 QStringLiteral("FROM DO30_DOCCORPO ODL WITH (NOLOCK) "),
                 QStringLiteral("INNER JOIN DO33_DOCCORPORIF WITH (NOLOCK) ON "),
                 QStringLiteral("ODL.DO30_DITTA_CG18 = DO33_DITTA_CG18  "),
                 QStringLiteral("AND ODL.DO30_NUMREG_CO99 = DO33_NUMREGRIF_CO99  "),
                 QStringLiteral("AND ODL.DO30_PROGRIGA = DO33_PROGRIGARIF_DO30  "),
                 QStringLiteral("INNER JOIN DO30_DOCCORPO CLAV WITH (NOLOCK) ON "),
                 QStringLiteral("CLAV.DO30_DITTA_CG18 = DO33_DITTA_CG18  "),
                 QStringLiteral("AND CLAV.DO30_NUMREG_CO99 = DO33_NUMREG_CO99  "),
                 QStringLiteral("AND CLAV.DO30_PROGRIGA = DO33_PROGRIGA  "),
                 QStringLiteral("INNER JOIN DO11_DOCTESTATA WITH (NOLOCK) ON "),
                 QStringLiteral("DO11_DITTA_CG18 = CLAV.DO30_DITTA_CG18  "),
                 QStringLiteral("AND DO11_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  "),
                 QStringLiteral("INNER JOIN DO31_DOCCORPOORD DO31_CLAV WITH (NOLOCK) ON "),
                 QStringLiteral("CLAV.DO30_DITTA_CG18 = DO31_CLAV.DO31_DITTA_CG18  "),
                 QStringLiteral("AND CLAV.DO30_NUMREG_CO99 = DO31_CLAV.DO31_NUMREG_CO99  "),
                 QStringLiteral("AND CLAV.DO30_PROGRIGA = DO31_CLAV.DO31_PROGRIGA  "),
                 QStringLiteral("INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON "),
                 QStringLiteral("DO46_DITTA_CG18 = CLAV.DO30_DITTA_CG18  "),
                 QStringLiteral("AND DO46_NUMREG_CO99 = CLAV.DO30_NUMREG_CO99  "),
                 QStringLiteral("AND DO46_PROGRIGA = CLAV.DO30_PROGRIGA  "),
                 QStringLiteral("WHERE DO11_DITTA_CG18 = ") + QString::number(company),
                 QStringLiteral("AND ODL.DO30_NUMREG_CO99 = '") +
                     RTrimN(row.value(QStringLiteral("PD5C_NUMREG_CO99"))) + u'\'',
                 QStringLiteral("AND ODL.DO30_PROGRIGA = ") +
                     NVL(row.value(QStringLiteral("PD5C_PROGRIGA_DO30")), Value(0)).toText(),
                 QStringLiteral("AND DO46_CODFASE = ") +
                     NVL(row.value(QStringLiteral("PD5C_CODFASE_PD12")), Value(0)).toText(),
                 QStringLiteral("AND DO46_CODSEQFASE = ") +
                     NVL(row.value(QStringLiteral("PD5C_SEQUENZA")), Value(0)).toText(),
                 QStringLiteral("AND DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 ")});
}

QString previousSql(int company, const QString& grouped, const db::Recordset& row) {
    return crlf({QStringLiteral(
                     "SELECT TOP 1 DO46_CODSEQFASE,DO46_CODFASE,PD12_DESCR,ISNULL(CG16_RAGSOANAG,PD07_DESCR) "
                     "AS FORREP,DO46_QTA1CONSOLID,ABS(GIACENZA) AS QTA_IN_LAV  "),
                 QStringLiteral("FROM DO46_DOCCORORDDET WITH (NOLOCK) "),
                 QStringLiteral("INNER JOIN VPD12_FASILAVORO WITH (NOLOCK) ON "),
                 QStringLiteral("PD12_DITTA_CG18 = DO46_DITTA_CG18 "),
                 QStringLiteral("AND PD12_CODFASE = DO46_CODFASE "),
                 QStringLiteral("LEFT JOIN VPD07_REPARTO WITH (NOLOCK) ON "),
                 QStringLiteral("PD07_DITTA_CG18 = DO46_DITTA_CG18 "),
                 QStringLiteral("AND PD07_CODREP = DO46_CODREPARTO "),
                 QStringLiteral("LEFT JOIN CG44_CLIFOR WITH (NOLOCK) ON "),
                 QStringLiteral("CG44_DITTA_CG18 = DO46_DITTA_CG18 "),
                 QStringLiteral("AND CG44_CLIFOR = DO46_CLIFOR_CG44 "),
                 QStringLiteral("AND CG44_TIPOCF = DO46_TIPOCF_CG44 "),
                 QStringLiteral("LEFT JOIN CG16_ANAGGEN WITH (NOLOCK) ON "),
                 QStringLiteral("CG16_CODICE = CG44_CODICE_CG16 "),
                 QStringLiteral("LEFT JOIN ") + grouped + QStringLiteral(" ON "),
                 QStringLiteral("   NUMREG_ODL = DO46_NUMREG_CO99 "),
                 QStringLiteral("   AND PROGRIGA_ODL = DO46_PROGRIGA "),
                 QStringLiteral("   AND FASE = DO46_CODFASE "),
                 QStringLiteral("   AND CLIFOR = DO46_CLIFOR_CG44 "),
                 QStringLiteral("WHERE DO46_DITTA_CG18 = ") + QString::number(company),
                 QStringLiteral("AND DO46_NUMREG_CO99 = '") +
                     RTrimN(row.value(QStringLiteral("PD5C_NUMREG_CO99"))) + u'\'',
                 QStringLiteral("AND DO46_PROGRIGA = ") +
                     NVL(row.value(QStringLiteral("PD5C_PROGRIGA_DO30")), Value(0)).toText(),
                 QStringLiteral("AND DO46_CODSEQFASE < ") +
                     NVL(row.value(QStringLiteral("PD5C_SEQUENZA")), Value(0)).toText(),
                 QStringLiteral("ORDER BY DO46_CODSEQFASE DESC  ")});
}

// Writes the references row by row, each lookup its own statement, each row committed after
// each lookup.
void perRowPass(db::Connection& connection, int company, const QString& grouped, db::Recordset& rs) {
    for (; !rs.eof(); rs.moveNext()) {
        if (NVL(rs.value(QStringLiteral("PD5C_TIPODOC")), Value(0)).toInt64() != 24)
            continue;
        auto ref = connection.execute(referenceSql(company, rs));
        ASSERT_TRUE(ref) << connection.lastErrorText().toStdString();
        if (ref->isOpen() && ref->recordCount() > 0) {
            ref->moveFirst();
            rs.setValue(QStringLiteral("PD5C_RIFOCLAV"), Value(RTrimN(ref->value(QStringLiteral("OCLAV")))));
            rs.setValue(QStringLiteral("PD5C_DATACONSOCLAV"), ref->value(QStringLiteral("DATACONS")));
            rs.setValue(QStringLiteral("PD5C_NUMREGCLAV"),
                        Value(RTrimN(ref->value(QStringLiteral("NUMREG")))));
            rs.setValue(QStringLiteral("PD5C_PROGRIGACLAV"),
                        NVL(ref->value(QStringLiteral("RIGA")), Value(0)));
            rs.setValue(QStringLiteral("PD5C_SEQCLAV"),
                        NVL(ref->value(QStringLiteral("DO46_CODSEQFASE")), Value(0)));
            ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();
        }
        if (*NVL(rs.value(QStringLiteral("PD5C_QTADAINV")), Value(0)).toDecimal() > Decimal()) {
            auto prev = connection.execute(previousSql(company, grouped, rs));
            ASSERT_TRUE(prev) << connection.lastErrorText().toStdString();
            if (prev->isOpen() && prev->recordCount() > 0) {
                prev->moveFirst();
                rs.setValue(QStringLiteral("PD5C_SEQPREC"),
                            NVL(prev->value(QStringLiteral("DO46_CODSEQFASE")), Value(0)));
                rs.setValue(QStringLiteral("PD5C_FASEPREC"),
                            NVL(prev->value(QStringLiteral("DO46_CODFASE")), Value(0)));
                rs.setValue(QStringLiteral("PD5C_DESCFASEPREC"),
                            Value(RTrimN(prev->value(QStringLiteral("PD12_DESCR")))));
                rs.setValue(QStringLiteral("PD5C_FORREPPREC"),
                            Value(RTrimN(prev->value(QStringLiteral("FORREP")))));
                rs.setValue(QStringLiteral("PD5C_DISPPREC"),
                            NVL(prev->value(QStringLiteral("DO46_QTA1CONSOLID")), Value(0)));
                rs.setValue(QStringLiteral("PD5C_GIACPREC"),
                            NVL(prev->value(QStringLiteral("QTA_IN_LAV")), Value(0)));
                ASSERT_TRUE(rs.update()) << rs.lastErrorText().toStdString();
            }
        }
    }
}

// Every written column of every row, by row key.
QHash<QString, QStringList> writtenColumns(RebuildDatabase& db) {
    QHash<QString, QStringList> out;
    auto rs = db.query(QStringLiteral("SELECT * FROM PD5C_SCADLAV WHERE PD5C_KEYGRID IS NOT NULL"));
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

} // namespace

TEST(PhaseReferencePass, WritesWhatRowByRowLookupsWrite) {
    RebuildDatabase db;
    erpdb::DemoOptions options;
    options.lines = 120;
    options.seed = 7;
    options.today = QDate(2026, 12, 5);
    erpdb::DemoSummary summary;
    QString error;
    ASSERT_TRUE(erpdb::generateDemoData(db.erp().connection(), options, &summary, &error))
        << error.toStdString();

    RebuildInputs in = RebuildDatabase::defaultInputs();
    in.minDateLiteral = QStringLiteral("'2020-01-01 00:00:00'");
    ASSERT_TRUE(db.rebuild(in)) << db.connection().lastErrorText().toStdString();
    db.completeQuantities();

    // The server asked row by row first; its results are kept, then the schedule is rebuilt
    // and completed by the pass.
    {
        auto schedule = db.openSchedule();
        perRowPass(db.connection(), 1, db.tables().TempDatiGRP, *schedule);
    }
    const QHash<QString, QStringList> expected = writtenColumns(db);

    ASSERT_TRUE(db.rebuild(in));
    db.completeQuantities();
    PhaseReferencePass pass(db.connection(), 1, db.tables().TempDatiGRP);
    pass.load();
    auto schedule = db.openSchedule();
    const int written = pass.run(*schedule);
    const QHash<QString, QStringList> actual = writtenColumns(db);

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
