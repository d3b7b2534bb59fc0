// The texts of the two schedule statements: the parts that decide which rows come back and in
// which order.
#include "engine/ScheduleStatement.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::schedule_sql;

namespace {

ScheduleParameters parameters() {
    ScheduleParameters p;
    p.companyCode = 12;
    p.minDateLiteral = QStringLiteral("'20250915 00:00:00'");
    p.stateKeys = QStringList{"K0", "K1", "K2", "K3", "K4"};
    return p;
}

} // namespace

TEST(ScheduleStatement, StatesPhaseTypeAndDateConditions) {
    ScheduleParameters p = parameters();
    const QString all = *showStatement(p);
    EXPECT_TRUE(all.contains(QStringLiteral("WHERE MG66_DITTA_CG18 = 12\r\n")));
    EXPECT_TRUE(all.contains(QStringLiteral(
        "  AND PD5C_DATADOC >= '20250915 00:00:00' \r\n AND PD5C_INDSTATOCONS IN(0,1,2,3,4)")));
    EXPECT_TRUE(
        all.contains(QStringLiteral("  AND (\r\n    ISNULL(PD5C_QTA1CONSOLID, 0) < PD5C_QTA1ORD\r\n    AND "
                                    "PD5C_INDSTATOORD <> 3\r\n    )\r\n")));
    EXPECT_TRUE(all.startsWith(QStringLiteral("SELECT *\r\n")));
    EXPECT_TRUE(all.contains(QStringLiteral("FROM PD5C_SCADLAV WITH (NOLOCK)\r\n")));

    p.stateKeys = QStringList{"K2"};
    p.phaseType = QStringLiteral("2");
    const QString external = *showStatement(p);
    EXPECT_TRUE(external.contains(
        QStringLiteral("'  AND PD5C_INDFASEINTEST = 1 \r\n\r\n AND PD5C_INDSTATOCONS IN(2) ORDER BY")));
    p.phaseType = QStringLiteral("1");
    EXPECT_TRUE(resortStatement(p)->contains(
        QStringLiteral("AND PD5C_DATADOC >= '20250915 00:00:00' AND PD5C_INDFASEINTEST = 0 \r\n")));

    p.stateKeys.clear();
    EXPECT_FALSE(showStatement(p).has_value());
    EXPECT_FALSE(resortStatement(p).has_value());
}

TEST(ScheduleStatement, FilterFieldsAreRenamedToScheduleColumns) {
    EXPECT_EQ(renameFilterFields(QString()), QString());
    EXPECT_EQ(renameFilterFields(QStringLiteral("AND DO46_CODREPARTO >= 'R1' AND MG66_FAM_MG53 = 'F'")),
              QStringLiteral(" AND PD5C_CODREP >= 'R1' AND MG66_FAM_MG53 = 'F' "));
    EXPECT_EQ(renameFilterFields(QStringLiteral("AND DO46_DATAINIZIO >= '20260101' AND DO46_DATAFINE < "
                                                "'20260201' AND DO11_NUMDOC = 5 AND DO46_CODFASE = 10")),
              QStringLiteral(" AND PD5C_DATAINIFASE >= '20260101' AND PD5C_DATAFINEFASE < '20260201' AND "
                             "PD5C_NUMDOC = 5 AND PD5C_CODFASE_PD12 = 10 "));
    // Renaming is case-sensitive, as the panel writes the names in capitals.
    EXPECT_EQ(renameFilterFields(QStringLiteral("AND do46_codfase = 1")),
              QStringLiteral(" AND do46_codfase = 1 "));

    ScheduleParameters p = parameters();
    p.filterCondition = QStringLiteral("AND DO46_CLIFOR_CG44 = 1234");
    EXPECT_TRUE(showStatement(p)->contains(
        QStringLiteral(" AND PD5C_CLIFOR_CG44 = 1234 \r\n AND PD5C_INDSTATOCONS")));
}

TEST(ScheduleStatement, ShowAndReSortOrderLists) {
    const QStringList show{
        " ORDER BY PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_NUMDOC,PD5C_SEQUENZA,PD5C_DATAFINEFASE",
        " ORDER BY PD5C_DOCUM_MG3G,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA",
        " ORDER BY PD5C_DATAFINEFASE,PD5C_DATADOC,PD5C_NUMDOC desc",
        " ORDER BY PD5C_DATAINIFASE,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA",
    };
    const QStringList resort{
        " ORDER BY PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_SEQUENZA,PD5C_DATAFINEFASE",
        " ORDER BY PD5C_DOCUM_MG3G,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA",
        " ORDER BY PD5C_DATAFINEFASE desc",
        " ORDER BY PD5C_DATAINIFASE,PD5C_SEQUENZA",
    };
    ScheduleParameters p = parameters();
    for (int code = 0; code < 4; ++code) {
        p.sortCode = QString::number(code);
        EXPECT_TRUE(showStatement(p)->endsWith(QStringLiteral("IN(0,1,2,3,4)") + show[code])) << code;
        EXPECT_TRUE(resortStatement(p)->endsWith(QStringLiteral("IN(0,1,2,3,4)") + resort[code])) << code;
    }
    p.sortCode = QStringLiteral("7");
    EXPECT_TRUE(showStatement(p)->endsWith(QStringLiteral("IN(0,1,2,3,4)")));
}

TEST(ScheduleStatement, ReSortNamesTheScheduleWithoutHint) {
    const QString text = *resortStatement(parameters());
    EXPECT_TRUE(text.startsWith(QStringLiteral("SELECT *,\r\n") + CtrlDate + QStringLiteral(",\r\n") +
                                CtrlQta + QStringLiteral(",\r\n") + Soll));
    EXPECT_TRUE(text.contains(QStringLiteral("FROM PD5C_SCADLAV INNER JOIN MG66_ANAGRART WITH (NOLOCK) ON\r\n"
                                             "[PD5C_CODART_MG66] = MG66_CODART")));
    EXPECT_TRUE(text.contains(
        QStringLiteral("AND (ISNULL(PD5C_QTA1CONSOLID,0) < PD5C_QTA1ORD and PD5C_INDSTATOORD <> 3)")));
    EXPECT_FALSE(text.contains(QStringLiteral("PD5C_SCADLAV WITH (NOLOCK)")));
}

TEST(ScheduleStatement, TheTablesReadAreTheTablesJoined) {
    // The re-sort keeps the rows in hand only while none of these tables changed: a table
    // joined but missing here would let it show stale rows.
    const QRegularExpression joined(QStringLiteral("(?:FROM|JOIN)\\s+(\\w+)"));
    for (const QString& statement : {*showStatement(parameters()), *resortStatement(parameters())}) {
        QStringList tables;
        for (const QRegularExpressionMatch& m : joined.globalMatch(statement))
            tables << m.captured(1);
        tables.sort();
        QStringList read = tablesRead();
        read.sort();
        EXPECT_EQ(tables.join(u' ').toStdString(), read.join(u' ').toStdString());
    }
}
