// Texts of the rebuild's statements: the server receives them exactly as built here.

#include "engine/RebuildStatements.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::engine;

namespace {

RebuildInputs sampleInputs() {
    RebuildInputs in;
    in.company = 3;
    in.minDateLiteral = QStringLiteral("'20260105 00:00:00'");
    in.phaseType = QStringLiteral("2");
    in.filterCondition = QStringLiteral("AND DO30_CODART_MG66 = 'A1'");
    in.checkedStates = QStringList{QStringLiteral("K0"), QStringLiteral("K3")};
    return in;
}

// Splits a select list on the commas outside parentheses and quotes.
QStringList topLevelItems(const QString& list) {
    QStringList items;
    int depth = 0;
    bool quoted = false;
    QString current;
    for (QChar c : list) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && c == u'(')
            ++depth;
        else if (!quoted && c == u')')
            --depth;
        if (c == u',' && depth == 0 && !quoted) {
            items << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    items << current.trimmed();
    return items;
}

} // namespace

TEST(RebuildStatements, ConditionLinesFollowTheDateInOrder) {
    const RebuildInputs in = sampleInputs();
    const QString common = *commonConditions(in);
    EXPECT_EQ(common, QStringLiteral("AND DO46_INDFASEINTEST = 1 \r\n AND DO30_CODART_MG66 = 'A1'  AND "
                                     "DO31_INDSTATOCONS IN(0,3)"));

    const QString insert = insertScheduleSql(in, QStringLiteral("##TempDatiGRP_U_1"), common);
    EXPECT_TRUE(insert.endsWith(
        QStringLiteral(
            "WHERE DO30_DITTA_CG18 = 3\r\nAND ISNULL(DO31_INDSTATOCONS,0) < 9 \r\nAND VFW_FLGDAEVADERE = 1 "
            "\r\nAND DO11_DATADOC >= '20260105 00:00:00' AND ((DO11_TIPODOC = 24 AND DO11_STIPODOC = 20) "
            "OR (DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 AND DO11_CAUSMAG_MG51 <> 9999)) \r\n") +
        common))
        << insert.right(400).toStdString();

    // The filter table keeps fully reported phases out and subcontract orders of reason 9999 in.
    const QString filter = filterTableSql(in, QStringLiteral("##TabODL_U_1"), common);
    EXPECT_TRUE(filter.endsWith(
        QStringLiteral(
            "AND ISNULL(DO46_QTA1CONSOLID,0) < DO46_QTA1ORD \r\nAND DO11_DATADOC >= '20260105 00:00:00' "
            "AND ((DO11_TIPODOC = 24 AND DO11_STIPODOC = 20) OR (DO11_TIPODOC = 25 AND DO11_STIPODOC = "
            "1)) \r\n") +
        common));
    EXPECT_FALSE(filter.contains(QStringLiteral("VPD12_FASILAVORO")));
    EXPECT_FALSE(filter.contains(QStringLiteral("##TempDatiGRP")));
    EXPECT_EQ(filter.count(QStringLiteral("LEFT JOIN PD0C_NODO WITH (NOLOCK)")), 1);
    EXPECT_EQ(insert.count(QStringLiteral("LEFT JOIN PD0C_NODO WITH (NOLOCK)")), 1);
}

TEST(RebuildStatements, PhaseTypeStatesAndFilterText) {
    EXPECT_EQ(phaseTypeLine(QStringLiteral("0")), QString());
    EXPECT_EQ(phaseTypeLine(QStringLiteral("1")), QStringLiteral("AND DO46_INDFASEINTEST = 0 \r\n"));
    EXPECT_EQ(phaseTypeLine(QStringLiteral("2")), QStringLiteral("AND DO46_INDFASEINTEST = 1 \r\n"));
    EXPECT_EQ(phaseTypeLine(QStringLiteral("12")), QString());

    EXPECT_EQ(stateListCondition({QStringLiteral("K4")}), QStringLiteral(" AND DO31_INDSTATOCONS IN(4)"));
    EXPECT_FALSE(stateListCondition({}).has_value());

    RebuildInputs in = sampleInputs();
    in.checkedStates = QStringList();
    EXPECT_FALSE(commonConditions(in).has_value()) << "no state ticked refuses the rebuild";
    in.checkedStates.reset();
    EXPECT_FALSE(commonConditions(in)->contains(QStringLiteral("DO31_INDSTATOCONS IN")))
        << "a disabled state button adds no state condition";

    EXPECT_EQ(filterText(QString()), QString());
    EXPECT_FALSE(hasFilter(filterText(QString())));
    EXPECT_FALSE(hasFilter(filterText(QStringLiteral("   "))));
    EXPECT_EQ(filterText(QStringLiteral("AND X = 1")), QStringLiteral(" AND X = 1 "));
    EXPECT_TRUE(hasFilter(filterText(QStringLiteral("AND X = 1"))));
    in.filterCondition = QStringLiteral("  ");
    in.phaseType = QStringLiteral("0");
    EXPECT_EQ(*commonConditions(in), QString()) << "blank conditions add nothing";
}

TEST(RebuildStatements, InsertNamesFortyFourColumnsAndGivesAsManyValues) {
    const QString sql = insertScheduleSql(sampleInputs(), QStringLiteral("##G"), QString());
    const int open = sql.indexOf(u'(');
    const int close = sql.indexOf(QStringLiteral(") \r\nSELECT"));
    ASSERT_GT(close, open);
    const QStringList columns = topLevelItems(sql.mid(open + 1, close - open - 1));
    ASSERT_EQ(columns.size(), 44);
    EXPECT_EQ(columns.first(), QStringLiteral("PD5C_KEYGRID"));
    EXPECT_EQ(columns.last(), QStringLiteral("PD5C_GIACPREC"));

    const int select = sql.indexOf(QStringLiteral("SELECT\r\n"));
    const int from = sql.indexOf(QStringLiteral("FROM DO11_DOCTESTATA"));
    const QStringList values = topLevelItems(sql.mid(select + 8, from - select - 8));
    ASSERT_EQ(values.size(), 44);
    // Spot checks of the pairing; the rebuild's tests check the values the server writes.
    EXPECT_TRUE(values[0].startsWith(QStringLiteral("PD5C_KEYGRID = DO11_NUMREG_CO99 +")));
    EXPECT_EQ(values[26], QStringLiteral("CAST('' AS VARCHAR(40)) AS OCLAV"));
    EXPECT_EQ(values[37], QStringLiteral("DO46_IDCICLO_PD48"));
}

TEST(RebuildStatements, EveryLineEndsWithCarriageReturnAndLineFeed) {
    const RebuildInputs in = sampleInputs();
    const QString common = *commonConditions(in);
    for (const QString& sql :
         {insertScheduleSql(in, QStringLiteral("##G"), common),
          filterTableSql(in, QStringLiteral("##T"), common),
          groupedSelectSql(QStringLiteral("##G"), QStringLiteral("##D")),
          groupedUpdateSql(QStringLiteral("##G"), QStringLiteral("##D")),
          quantityInWorkUpdateSql(QStringLiteral("##G")), dropTempTableSql(QStringLiteral("##T"))})
        EXPECT_EQ(sql.count(u'\n'), sql.count(QStringLiteral("\r\n"))) << sql.toStdString();
}

TEST(RebuildStatements, WorkingTableStatements) {
    EXPECT_EQ(
        groupedSelectSql(QStringLiteral("##G"), QStringLiteral("##D")),
        QStringLiteral("SELECT DISTINCT NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR,ARTICOLO,0 AS GIACENZA\r\nINTO "
                       "##G\r\nFROM ##D\r\nINNER JOIN PD95_DISBA ON \r\nPD95_CODART_MG66 = ARTICOLO "
                       "\r\nWHERE PD95_TIPO_DISTINTA = 0 \r\n"));
    EXPECT_EQ(groupedUpdateSql(QStringLiteral("##G"), QStringLiteral("##D")),
              QStringLiteral(
                  "UPDATE ##G SET GIACENZA = ##D.GIACENZA\r\nFROM ##G INNER JOIN ##D\r\nON ##G.NUMREG_ODL = "
                  "##D.NUMREG_ODL \r\nAND ##G.PROGRIGA_ODL = ##D.PROGRIGA_ODL \r\nAND ##G.FASE = ##D.FASE "
                  "\r\nAND ##G.CLIFOR = ##D.CLIFOR \r\nAND ##G.ARTICOLO = ##D.ARTICOLO \r\nWHERE "
                  "ISNULL(##D.GIACENZA,0) > 0 \r\n"));
    // Index names are shared by every table of the embedded database: each carries its table's.
    EXPECT_EQ(groupedIndexSql(QStringLiteral("##TempDatiGRP_U_1")),
              QStringLiteral("CREATE INDEX IX_TempDatiGRP_U_1 ON ##TempDatiGRP_U_1 "
                             "(NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR)\r\n"));
    // The second match leaves the article out.
    EXPECT_EQ(
        quantityInWorkUpdateSql(QStringLiteral("##G")),
        QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_QTAINLAV = ##G.GIACENZA\r\nFROM ##G INNER JOIN "
                       "PD5C_SCADLAV \r\nON ##G.NUMREG_ODL = PD5C_NUMREG_CO99 \r\nAND ##G.PROGRIGA_ODL = "
                       "PD5C_PROGRIGA_DO30 \r\nAND ##G.FASE = PD5C_CODFASE_PD12 \r\nAND ##G.CLIFOR = "
                       "PD5C_CLIFOR_CG44 \r\nWHERE ISNULL(PD5C_SCADLAV.PD5C_QTAINLAV,0) = 0 \r\n"));
    // A long identity still gives SQL Server a name within 128 characters, one per table.
    const QString longer = QStringLiteral("##TempDatiGRP_") + QString(150, QLatin1Char('A'));
    const auto indexName = [](const QString& sql) { return sql.section(QLatin1Char(' '), 2, 2); };
    EXPECT_EQ(indexName(groupedIndexSql(longer)).size(), 128);
    EXPECT_NE(indexName(groupedIndexSql(longer)), indexName(groupedIndexSql(longer + QLatin1Char('B'))));
}

TEST(RebuildStatements, ProcedureGetsTheFilterTableOnlyWhenBuilt) {
    const WorkTables tables = WorkTables::withSuffix(QStringLiteral("U_1"));
    const auto names = [](const std::vector<ProcedureArgument>& args) {
        QStringList out;
        for (const auto& a : args)
            out << a.name;
        return out;
    };
    const auto without = sitcLavoroArguments(7, QStringLiteral("CL"), tables, false);
    const auto with = sitcLavoroArguments(7, QStringLiteral("CL"), tables, true);
    EXPECT_EQ(without.size(), 15u);
    ASSERT_EQ(with.size(), 16u);
    EXPECT_FALSE(names(without).contains(QStringLiteral("@TABELLA_Filtro_ODL")));
    EXPECT_EQ(names(with).indexOf(QStringLiteral("@TABELLA_Filtro_ODL")), 11);
    EXPECT_EQ(with[11].value.toText(), QStringLiteral("##TabODL_U_1"));
    EXPECT_EQ(with[0].value.toInt64(), 7);
    EXPECT_TRUE(with[0].smallInt);
    EXPECT_EQ(with[2].value.toText(), QStringLiteral("CL"));
    EXPECT_TRUE(with[4].value.isNull()) << "@DataElab";
    EXPECT_EQ(with[12].name, QStringLiteral("@Tabella_Dati"));
    EXPECT_EQ(with[12].value.toText(), QStringLiteral("##TempDati_U_1"));
}
