#include "engine/RebuildStatements.h"

#include "module/sql/SqlText.h"

#include <QCryptographicHash>

namespace scadlav::engine {

namespace {

// Joins a list of fragments, each followed by a line break.
QString lines(std::initializer_list<const char*> fragments) {
    QString out;
    for (const char* f : fragments) {
        out += QLatin1String(f);
        out += CRLF;
    }
    return out;
}

QString company(std::int16_t code) {
    return QString::number(code);
}

QString rtrimmed(const QString& text) {
    return scadlav::RTrimN(Value(text));
}

} // namespace

WorkTables WorkTables::named(const std::function<QString(const QString& prefix)>& name) {
    WorkTables t;
    t.TempDati = name(QStringLiteral("##TempDati_"));
    t.TempDatiGRP = name(QStringLiteral("##TempDatiGRP_"));
    t.TestateODLOCL = name(QStringLiteral("##Testate_ODL_OCL"));
    t.DocumCambioCod = name(QStringLiteral("##Docum_CambioCod"));
    t.DocumFase = name(QStringLiteral("##Docum_Fase"));
    t.TabElab = name(QStringLiteral("##TabElab_"));
    t.TabODL = name(QStringLiteral("##TabODL_"));
    return t;
}

WorkTables WorkTables::withSuffix(const QString& suffix) {
    return named([&suffix](const QString& prefix) { return prefix + suffix; });
}

QList<const QString*> WorkTables::rebuildTables() const {
    return {&TabODL, &TempDati, &TempDatiGRP, &TestateODLOCL, &DocumCambioCod, &DocumFase};
}

QString dropTempTableSql(const QString& table) {
    return QStringLiteral("if exists (select id from tempdb..sysobjects where id=object_id('tempdb..") +
           table + QStringLiteral("')) ") + QStringLiteral("drop table ") + table + CRLF;
}

QString filterText(const QString& condition) {
    if (condition.isEmpty())
        return QString();
    return QLatin1Char(' ') + condition + QLatin1Char(' ');
}

bool hasFilter(const QString& filterText) {
    return !rtrimmed(filterText).isEmpty();
}

QString phaseTypeLine(const QString& phaseType) {
    if (phaseType == QLatin1String("1"))
        return QStringLiteral("AND DO46_INDFASEINTEST = 0 ") + CRLF;
    if (phaseType == QLatin1String("2"))
        return QStringLiteral("AND DO46_INDFASEINTEST = 1 ") + CRLF;
    return QString();
}

std::optional<QString> stateListCondition(const QStringList& checkedKeys) {
    if (checkedKeys.isEmpty())
        return std::nullopt;
    QString list;
    for (const QString& key : checkedKeys)
        list += key.mid(1) + QLatin1Char(',');
    list.chop(1);
    return QStringLiteral(" AND DO31_INDSTATOCONS IN(") + list + QLatin1Char(')');
}

std::optional<QString> commonConditions(const RebuildInputs& inputs) {
    QString out = phaseTypeLine(inputs.phaseType);
    const QString filter = filterText(inputs.filterCondition);
    if (hasFilter(filter))
        out += filter;
    if (inputs.checkedStates) {
        const std::optional<QString> states = stateListCondition(*inputs.checkedStates);
        if (!states)
            return std::nullopt;
        out += *states;
    }
    return out;
}

QString projectJoins() {
    return lines({
        "LEFT JOIN DO41_DOCCORPOPROGE WITH (NOLOCK)",
        "  ON DO41_DOCCORPOPROGE.DO41_DITTA_CG18 = DO30_DOCCORPO.DO30_DITTA_CG18",
        "    AND DO41_DOCCORPOPROGE.DO41_NUMREG_CO99 = DO30_DOCCORPO.DO30_NUMREG_CO99",
        "    AND DO41_DOCCORPOPROGE.DO41_PROGRIGA = DO30_DOCCORPO.DO30_PROGRIGA",
        "LEFT JOIN PD25_COMMESSA WITH (NOLOCK)",
        "  ON PD25_COMMESSA.PD25_DITTA_CG18 = DO41_DOCCORPOPROGE.DO41_DITTA_CG18",
        "    AND PD25_COMMESSA.PD25_CODCOMMESSA = DO41_DOCCORPOPROGE.DO41_CODCOMMESSA",
        "    AND PD25_COMMESSA.PD25_CODSOTCOMM = ISNULL(DO41_DOCCORPOPROGE.DO41_CODSCOMMESSA, 0)",
        "LEFT JOIN PD68_PROGETTI WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = DO41_DOCCORPOPROGE.DO41_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_CODPROG = DO41_DOCCORPOPROGE.DO41_CODPROGETTO",
        "LEFT JOIN PD69_SOTTOPROGETTI WITH (NOLOCK)",
        "  ON PD69_SOTTOPROGETTI.PD69_DITTA_CG18 = DO41_DOCCORPOPROGE.DO41_DITTA_CG18",
        "    AND PD69_SOTTOPROGETTI.PD69_CODPROG_PD68 = DO41_DOCCORPOPROGE.DO41_CODPROGETTO",
        "    AND PD69_SOTTOPROGETTI.PD69_SOTPROG = DO41_DOCCORPOPROGE.DO41_CODSPROGETTO",
        "LEFT JOIN PD1D_TIPIPROGETTI WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = PD1D_TIPIPROGETTI.PD1D_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_TIPO_PD1D = PD1D_TIPIPROGETTI.PD1D_CODICE",
        "    AND PD1D_TIPIPROGETTI.PD1D_INDTIPO = 0",
        "LEFT JOIN PD1E_STATIPROGETTI WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = PD1E_STATIPROGETTI.PD1E_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_STATO_PD1E = PD1E_STATIPROGETTI.PD1E_CODICE",
        "    AND PD1E_STATIPROGETTI.PD1E_INDSTATO = 0",
        "LEFT JOIN PD1F_CLASSEAPROG WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = PD1F_CLASSEAPROG.PD1F_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_CLASSEA_PD1F = PD1F_CLASSEAPROG.PD1F_CODICE",
        "LEFT JOIN PD1G_CLASSEBPROG WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = PD1G_CLASSEBPROG.PD1G_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_CLASSEB_PD1G = PD1G_CLASSEBPROG.PD1G_CODICE",
        "LEFT JOIN PD1H_CLASSECPROG WITH (NOLOCK)",
        "  ON PD68_PROGETTI.PD68_DITTA_CG18 = PD1H_CLASSECPROG.PD1H_DITTA_CG18",
        "    AND PD68_PROGETTI.PD68_CLASSEC_PD1H = PD1H_CLASSECPROG.PD1H_CODICE",
        "LEFT JOIN PD0C_NODO WITH (NOLOCK)",
        "  ON PD0C_NODO.PD0C_DITTA_CG18 = DO41_DOCCORPOPROGE.DO41_DITTA_CG18",
        "    AND PD0C_NODO.PD0C_CODPROG_PD68 = DO41_DOCCORPOPROGE.DO41_CODPROGETTO",
        "    AND PD0C_NODO.PD0C_CODNODO = DO41_DOCCORPOPROGE.DO41_NODORIF_PD0C",
    });
}

QString filterTableSql(const RebuildInputs& inputs, const QString& tabOdl, const QString& common) {
    QString sql =
        QStringLiteral("SELECT DO30_NUMREG_CO99 AS FILTRO_NUMREG_CO99,DO30_PROGRIGA AS FILTRO_PROGRIGA ") +
        CRLF;
    sql += QStringLiteral("INTO ") + tabOdl + CRLF;
    sql += lines({
        "FROM DO11_DOCTESTATA WITH (NOLOCK) INNER JOIN DO30_DOCCORPO WITH (NOLOCK) ON ",
        "DO11_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "INNER JOIN DO31_DOCCORPOORD WITH (NOLOCK) ON ",
        "DO30_DITTA_CG18 = DO31_DITTA_CG18  ",
        "AND DO30_NUMREG_CO99 = DO31_NUMREG_CO99  ",
        "AND DO30_PROGRIGA = DO31_PROGRIGA  ",
        "INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON ",
        "DO46_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND DO46_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "AND DO46_PROGRIGA = DO30_PROGRIGA  ",
        "INNER JOIN VFW_SELDOC WITH (NOLOCK) ON ",
        "[VFW_DITTA_CG18] = DO30_DITTA_CG18  ",
        "AND [VFW_NUMREG_CO99] = DO30_NUMREG_CO99  ",
        "AND [VFW_PROGRIGA_DO30] = DO30_PROGRIGA  ",
        "INNER JOIN MG66_ANAGRART WITH (NOLOCK) ON ",
        "MG66_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND MG66_CODART = DO30_CODART_MG66  ",
        "INNER JOIN PD18_ARTPROD WITH (NOLOCK) ON ",
        "PD18_DITTA_CG18 = MG66_DITTA_CG18  ",
        "AND PD18_CODART_MG66 = MG66_CODART  ",
    });
    sql += projectJoins();
    sql += QStringLiteral("WHERE DO30_DITTA_CG18 = ") + company(inputs.company) + CRLF;
    sql += lines({
        "AND ISNULL(DO31_INDSTATOCONS,0) < 9 ",
        "AND VFW_FLGDAEVADERE = 1 ",
        "AND ISNULL(DO46_QTA1CONSOLID,0) < DO46_QTA1ORD ",
    });
    sql += QStringLiteral("AND DO11_DATADOC >= ") + inputs.minDateLiteral + QLatin1Char(' ');
    sql += QStringLiteral("AND ((DO11_TIPODOC = 24 AND DO11_STIPODOC = 20) OR (DO11_TIPODOC = 25 AND "
                          "DO11_STIPODOC = 1)) ") +
           CRLF;
    sql += common;
    return sql;
}

std::vector<ProcedureArgument> sitcLavoroArguments(std::int16_t company, const QString& subcontractWarehouse,
                                                   const WorkTables& tables, bool withFilterTable) {
    const Value null = Value::null();
    std::vector<ProcedureArgument> args = {
        {QStringLiteral("@Ditta"), Value(int(company)), true},
        {QStringLiteral("@CLavoro_AttPass"), Value(1), true},
        {QStringLiteral("@Deposito_CLavoro"), Value(subcontractWarehouse), false},
        {QStringLiteral("@ElabTempReale"), Value(0), true},
        {QStringLiteral("@DataElab"), null, false},
        {QStringLiteral("@TipoCL"), Value(0), true},
        {QStringLiteral("@Filtro_ADVQ"), null, false},
        {QStringLiteral("@Filtro_Revoke"), null, false},
        {QStringLiteral("@AncheODL_Chiusi"), Value(0), true},
        {QStringLiteral("@DataIniODL_Chiusi"), null, false},
        {QStringLiteral("@DocCambioCod_MovRifODL"), Value(0), true},
    };
    if (withFilterTable)
        args.push_back({QStringLiteral("@TABELLA_Filtro_ODL"), Value(ParseTableName(tables.TabODL)), false});
    args.push_back({QStringLiteral("@Tabella_Dati"), Value(ParseTableName(tables.TempDati)), false});
    args.push_back(
        {QStringLiteral("@Tabella_ODL_OCLAV"), Value(ParseTableName(tables.TestateODLOCL)), false});
    args.push_back({QStringLiteral("@Tabella_Documenti_CambioCod"),
                    Value(ParseTableName(tables.DocumCambioCod)), false});
    args.push_back(
        {QStringLiteral("@Tabella_Documenti_Fase"), Value(ParseTableName(tables.DocumFase)), false});
    return args;
}

QString groupedSelectSql(const QString& grouped, const QString& data) {
    return QStringLiteral("SELECT DISTINCT NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR,ARTICOLO,0 AS GIACENZA") +
           CRLF + QStringLiteral("INTO ") + grouped + CRLF + QStringLiteral("FROM ") + data + CRLF +
           QStringLiteral("INNER JOIN PD95_DISBA ON ") + CRLF +
           QStringLiteral("PD95_CODART_MG66 = ARTICOLO ") + CRLF +
           QStringLiteral("WHERE PD95_TIPO_DISTINTA = 0 ") + CRLF;
}

QString groupedUpdateSql(const QString& grouped, const QString& data) {
    const QString& g = grouped;
    const QString& d = data;
    QString sql;
    sql += QStringLiteral("UPDATE ") + g + QStringLiteral(" SET GIACENZA = ") + d +
           QStringLiteral(".GIACENZA") + CRLF;
    sql += QStringLiteral("FROM ") + g + QStringLiteral(" INNER JOIN ") + d + CRLF;
    sql += QStringLiteral("ON ") + g + QStringLiteral(".NUMREG_ODL = ") + d + QStringLiteral(".NUMREG_ODL ") +
           CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".PROGRIGA_ODL = ") + d +
           QStringLiteral(".PROGRIGA_ODL ") + CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".FASE = ") + d + QStringLiteral(".FASE ") + CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".CLIFOR = ") + d + QStringLiteral(".CLIFOR ") + CRLF;
    sql +=
        QStringLiteral("AND ") + g + QStringLiteral(".ARTICOLO = ") + d + QStringLiteral(".ARTICOLO ") + CRLF;
    sql += QStringLiteral("WHERE ISNULL(") + d + QStringLiteral(".GIACENZA,0) > 0 ") + CRLF;
    return sql;
}

QString groupedIndexSql(const QString& grouped) {
    // Index names are per database on the embedded one: the table's own name keeps it apart.
    QString name = grouped;
    while (name.startsWith(QLatin1Char('#')))
        name.remove(0, 1);
    name.prepend(QStringLiteral("IX_"));
    // SQL Server refuses identifiers over 128 characters; a long identity keeps its start and
    // a digest of the whole name, so two sessions still get two names.
    constexpr qsizetype kMaxIdentifier = 128;
    if (name.size() > kMaxIdentifier) {
        const QByteArray digest =
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        name = name.left(kMaxIdentifier - 17) + QLatin1Char('_') + QString::fromLatin1(digest);
    }
    return QStringLiteral("CREATE INDEX ") + name + QStringLiteral(" ON ") + grouped +
           QStringLiteral(" (NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR)") + CRLF;
}

QString insertScheduleSql(const RebuildInputs& inputs, const QString& grouped, const QString& common) {
    const QString& g = grouped;
    QString sql = lines({
        "INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID,PD5C_DATAELAB,PD5C_SEL,PD5C_FASEINTEST,PD5C_INDFASEINTEST,"
        "PD5C_CLIFOR_CG44,PD5C_CODREP,PD5C_FORREP,PD5C_SEQUENZA ",
        "           "
        ",PD5C_CODFASE_PD12,PD5C_PROGSFASE,PD5C_DESCFASE,PD5C_CODART_MG66,PD5C_OPZIONE_MG5E,PD5C_DESCART,"
        "PD5C_QGIACATT_MG70 ",
        "           "
        ",PD5C_DITTA_CG18,PD5C_NUMREG_CO99,PD5C_PROGRIGA_DO30,PD5C_TIPODOC,PD5C_DOCUM_MG3G,PD5C_DATADOC,"
        "PD5C_NUMDOC,PD5C_SEZDOC,PD5C_DATAINIFASE,PD5C_DATAFINEFASE ",
        "           "
        ",PD5C_RIFOCLAV,PD5C_DATACONSOCLAV,PD5C_INDSTATOCONS,PD5C_INDSTATOORD,PD5C_DATACONS,PD5C_QTA1ORD,"
        "PD5C_QTA1CONSOLID,PD5C_QTA1SCARTO,PD5C_QTARES,PD5C_QTAINLAV ",
        "           ,PD5C_QTADAINV,PD5C_IDCICLO,PD5C_SEQPREC,PD5C_FASEPREC,PD5C_DESCFASEPREC,PD5C_FORREPPREC,"
        "PD5C_DISPPREC,PD5C_GIACPREC) ",
        "SELECT",
        "  PD5C_KEYGRID = DO11_NUMREG_CO99 + ",
        "                 REPLICATE('0', 6 - LEN(ISNULL(DO30_PROGRIGA,0)))    + CAST(ISNULL(DO30_PROGRIGA,0) "
        "AS "
        "VARCHAR(6)) + ",
        "                 REPLICATE('0', 5 - LEN(ISNULL(DO46_CODSEQFASE,0)))  + "
        "CAST(ISNULL(DO46_CODSEQFASE,0) AS "
        "VARCHAR(5)) + ",
        "                 REPLICATE('0', 4 - LEN(ISNULL(DO46_PROGSFASE,0)))   + "
        "CAST(ISNULL(DO46_PROGSFASE,0) AS "
        "VARCHAR(4)) + ",
        "                 REPLICATE('0', 8 - LEN(ISNULL(DO46_CLIFOR_CG44,0))) + "
        "CAST(ISNULL(DO46_CLIFOR_CG44,0) AS "
        "VARCHAR(8)), ",
        "dbo.QRX_GETDATE(),0 AS SEL,CASE DO46_INDFASEINTEST WHEN 0 THEN 'I' WHEN 1 THEN 'E' ELSE '' END AS "
        "FASE_IE,DO46_INDFASEINTEST,DO46_CLIFOR_CG44,DO46_CODREPARTO,ISNULL(CG16_RAGSOANAG,PD07_DESCR) AS "
        "FORREP,",
        "DO46_CODSEQFASE,PD12_CODFASE,DO46_PROGSFASE,PD12_DESCR,DO30_CODART_MG66,DO30_OPZIONE_MG5E,DO30_"
        "DESCART,"
        "MG70_QGIACATT,DO30_DITTA_CG18,DO30_NUMREG_CO99, DO30_PROGRIGA, "
        "DO11_TIPODOC,DO11_DOCUM_MG36,DO11_DATADOC,"
        "DO11_NUMDOC, DO11_SEZDOC, DO46_DATAINIZIO, DO46_DATAFINE, CAST('' AS VARCHAR(40)) AS "
        "OCLAV,CAST(NULL AS "
        "datetime) AS DATAOCLAV,",
        "ISNULL(DO31_INDSTATOCONS,99) AS DO31_INDSTATOCONS,ISNULL(DO46_INDSTATOORD,99) AS DO46_INDSTATOORD,"
        "DO31_DATACONS AS DATACONS, DO46_QTA1ORD, CASE WHEN DO46_QTA1CONSOLID = 0 THEN NULL ELSE "
        "DO46_QTA1CONSOLID "
        "END,CASE WHEN DO46_QTA1SCARTO = 0 THEN NULL ELSE DO46_QTA1SCARTO END, (DO46_QTA1ORD - "
        "ISNULL(DO46_QTA1CONSOLID,0) - ISNULL(DO46_QTA1SCARTO,0)) AS QTA_RES,",
        "CASE WHEN GIACENZA < 0 THEN 0 ELSE GIACENZA END AS QTA_INLAV,CASE WHEN GIACENZA > 0 THEN case when "
        "(DO46_QTA1ORD - ISNULL(DO46_QTA1CONSOLID,0))-ABS(GIACENZA) - ISNULL(DO46_QTA1SCARTO,0) > 0 THEN "
        "(DO46_QTA1ORD - ISNULL(DO46_QTA1CONSOLID,0))-ABS(GIACENZA) - ISNULL(DO46_QTA1SCARTO,0) ELSE 0 END "
        "END AS "
        "QTA_DA_INV,DO46_IDCICLO_PD48, NULL,NULL,NULL,NULL,NULL,NULL ",
        "FROM DO11_DOCTESTATA WITH (NOLOCK) INNER JOIN DO30_DOCCORPO WITH (NOLOCK) ON ",
        "DO11_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON ",
        "DO46_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND DO46_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "AND DO46_PROGRIGA = DO30_PROGRIGA  ",
        "INNER JOIN DO31_DOCCORPOORD WITH (NOLOCK) ON ",
        "DO31_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND DO31_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "AND DO31_PROGRIGA = DO30_PROGRIGA  ",
        "inner join MG66_ANAGRART WITH (NOLOCK) ON ",
        "MG66_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND MG66_CODART = DO30_CODART_MG66  ",
        "INNER JOIN PD18_ARTPROD WITH (NOLOCK) ON ",
        "PD18_DITTA_CG18 = MG66_DITTA_CG18  ",
        "AND PD18_CODART_MG66 = MG66_CODART  ",
        "INNER JOIN VPD12_FASILAVORO WITH (NOLOCK) ON ",
        "PD12_DITTA_CG18 = DO46_DITTA_CG18  ",
        "AND PD12_CODFASE = DO46_CODFASE  ",
        "INNER JOIN VFW_SELDOC WITH (NOLOCK) ON ",
        "VFW_DITTA_CG18 = DO30_DITTA_CG18  ",
        "AND VFW_NUMREG_CO99 = DO30_NUMREG_CO99  ",
        "AND VFW_PROGRIGA_DO30 = DO30_PROGRIGA  ",
        "LEFT JOIN CG44_CLIFOR WITH (NOLOCK) ON ",
        "CG44_DITTA_CG18 = DO46_DITTA_CG18  ",
        "AND CG44_TIPOCF = DO46_TIPOCF_CG44  ",
        "AND CG44_CLIFOR = DO46_CLIFOR_CG44 ",
        "LEFT JOIN MG70_MAGPROQTA WITH (NOLOCK) ON ",
        "   MG70_DITTA_CG18 = DO30_DITTA_CG18  ",
        "   AND MG70_CODART_MG66 = DO30_CODART_MG66  ",
        "   AND MG70_OPZIONE_MG5E = DO30_OPZIONE_MG5E  ",
        "   AND MG70_CODDEP_MG58 = DO30_CODDEP_MG58  ",
        "   AND MG70_TIPOPROG = 1 ",
        "   AND MG70_ANNO = 0  ",
        "   AND MG70_TIPOQTA = 1 ",
        "LEFT JOIN VPD07_REPARTO WITH (NOLOCK) ON ",
        "DO46_DITTA_CG18 = PD07_DITTA_CG18  ",
        "AND DO46_CODREPARTO = PD07_CODREP  ",
    });
    sql += QStringLiteral("LEFT JOIN ") + g + QStringLiteral(" ON ") + CRLF;
    sql += lines({
        "   NUMREG_ODL = DO30_NUMREG_CO99 ",
        "   AND PROGRIGA_ODL = DO30_PROGRIGA ",
        "   AND FASE = DO46_CODFASE ",
        "   AND CLIFOR = DO46_CLIFOR_CG44 ",
    });
    sql += QStringLiteral("   AND ") + g + QStringLiteral(".ARTICOLO = DO30_CODART_MG66 ") + CRLF;
    sql += lines({
        "LEFT JOIN CG16_ANAGGEN WITH (NOLOCK) ON ",
        "CG44_CODICE_CG16 = CG16_CODICE  ",
    });
    sql += projectJoins();
    sql += QStringLiteral("WHERE DO30_DITTA_CG18 = ") + company(inputs.company) + CRLF;
    sql += lines({
        "AND ISNULL(DO31_INDSTATOCONS,0) < 9 ",
        "AND VFW_FLGDAEVADERE = 1 ",
    });
    sql += QStringLiteral("AND DO11_DATADOC >= ") + inputs.minDateLiteral + QLatin1Char(' ');
    sql += QStringLiteral("AND ((DO11_TIPODOC = 24 AND DO11_STIPODOC = 20) OR (DO11_TIPODOC = 25 AND "
                          "DO11_STIPODOC = 1 AND DO11_CAUSMAG_MG51 <> 9999)) ") +
           CRLF;
    sql += common;
    return sql;
}

QString quantityInWorkUpdateSql(const QString& grouped) {
    const QString& g = grouped;
    QString sql;
    sql +=
        QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_QTAINLAV = ") + g + QStringLiteral(".GIACENZA") + CRLF;
    sql += QStringLiteral("FROM ") + g + QStringLiteral(" INNER JOIN PD5C_SCADLAV ") + CRLF;
    sql += QStringLiteral("ON ") + g + QStringLiteral(".NUMREG_ODL = PD5C_NUMREG_CO99 ") + CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".PROGRIGA_ODL = PD5C_PROGRIGA_DO30 ") + CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".FASE = PD5C_CODFASE_PD12 ") + CRLF;
    sql += QStringLiteral("AND ") + g + QStringLiteral(".CLIFOR = PD5C_CLIFOR_CG44 ") + CRLF;
    sql += QStringLiteral("WHERE ISNULL(PD5C_SCADLAV.PD5C_QTAINLAV,0) = 0 ") + CRLF;
    return sql;
}

} // namespace scadlav::engine
