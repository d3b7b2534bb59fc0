#include "engine/ScheduleStatement.h"

namespace scadlav::schedule_sql {

namespace {

// Descriptive columns after the classification codes, in the grid's order.
const QStringList& descriptiveColumns() {
    static const QStringList columns{
        QStringLiteral("DO41_CODCOMMESSA"),  QStringLiteral("DO41_CODSCOMMESSA"),
        QStringLiteral("PD25_DESCR"),        QStringLiteral("DO41_CODPROGETTO"),
        QStringLiteral("PD68_DESCRPROG"),    QStringLiteral("PD68_TIPO_PD1D"),
        QStringLiteral("PD1D_DESCR"),        QStringLiteral("PD68_STATO_PD1E"),
        QStringLiteral("PD1E_DESCR"),        QStringLiteral("PD68_CLASSEA_PD1F"),
        QStringLiteral("PD1F_DESCR"),        QStringLiteral("PD68_CLASSEB_PD1G"),
        QStringLiteral("PD1G_DESCR"),        QStringLiteral("PD68_CLASSEC_PD1H"),
        QStringLiteral("PD1H_DESCR"),        QStringLiteral("DO41_NODORIF_PD0C"),
        QStringLiteral("PD0C_DESCR"),        QStringLiteral("DO41_CODSPROGETTO"),
        QStringLiteral("PD69_DESCRSOTPROG"),
    };
    return columns;
}

// The joins after the order line's own tables, written the same way in both statements.
QString projectJoins() {
    QString s;
    s +=
        QStringLiteral(
            "LEFT JOIN DO30_DOCCORPO WITH (NOLOCK) ON DO30_DOCCORPO.DO30_DITTA_CG18 = "
            "PD5C_SCADLAV.PD5C_DITTA_CG18 AND DO30_DOCCORPO.DO30_NUMREG_CO99 = PD5C_SCADLAV.PD5C_NUMREG_CO99 "
            "AND DO30_DOCCORPO.DO30_PROGRIGA = PD5C_SCADLAV.PD5C_PROGRIGA_DO30") +
        CRLF;
    s += QStringLiteral("LEFT JOIN DO41_DOCCORPOPROGE WITH (NOLOCK) ON DO41_DOCCORPOPROGE.DO41_DITTA_CG18 = "
                        "PD5C_SCADLAV.PD5C_DITTA_CG18 AND DO41_DOCCORPOPROGE.DO41_NUMREG_CO99 = "
                        "PD5C_SCADLAV.PD5C_NUMREG_CO99 AND DO41_DOCCORPOPROGE.DO41_PROGRIGA = "
                        "PD5C_SCADLAV.PD5C_PROGRIGA_DO30") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD25_COMMESSA WITH (NOLOCK) ON PD25_COMMESSA.PD25_DITTA_CG18 = "
                        "DO41_DOCCORPOPROGE.DO41_DITTA_CG18 AND PD25_COMMESSA.PD25_CODCOMMESSA = "
                        "DO41_DOCCORPOPROGE.DO41_CODCOMMESSA AND PD25_COMMESSA.PD25_CODSOTCOMM = "
                        "ISNULL(DO41_DOCCORPOPROGE.DO41_CODSCOMMESSA, 0)") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD68_PROGETTI WITH (NOLOCK) ON PD68_PROGETTI.PD68_DITTA_CG18 = "
                        "DO41_DOCCORPOPROGE.DO41_DITTA_CG18 AND PD68_PROGETTI.PD68_CODPROG = "
                        "DO41_DOCCORPOPROGE.DO41_CODPROGETTO") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD69_SOTTOPROGETTI WITH (NOLOCK) ON PD69_SOTTOPROGETTI.PD69_DITTA_CG18 = "
                        "DO41_DOCCORPOPROGE.DO41_DITTA_CG18 AND PD69_SOTTOPROGETTI.PD69_CODPROG_PD68 = "
                        "DO41_DOCCORPOPROGE.DO41_CODPROGETTO AND PD69_SOTTOPROGETTI.PD69_SOTPROG = "
                        "DO41_DOCCORPOPROGE.DO41_CODSPROGETTO") +
         CRLF;
    s += QStringLiteral(
             "LEFT JOIN PD1D_TIPIPROGETTI WITH (NOLOCK) ON PD1D_TIPIPROGETTI.PD1D_DITTA_CG18 = "
             "PD68_PROGETTI.PD68_DITTA_CG18 AND PD68_PROGETTI.PD68_TIPO_PD1D = PD1D_TIPIPROGETTI.PD1D_CODICE "
             "AND PD1D_TIPIPROGETTI.PD1D_INDTIPO = 0") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD1E_STATIPROGETTI WITH (NOLOCK) ON PD1E_STATIPROGETTI.PD1E_DITTA_CG18 = "
                        "PD68_PROGETTI.PD68_DITTA_CG18 AND PD68_PROGETTI.PD68_STATO_PD1E = "
                        "PD1E_STATIPROGETTI.PD1E_CODICE AND PD1E_STATIPROGETTI.PD1E_INDSTATO = 0") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD1F_CLASSEAPROG WITH (NOLOCK) ON PD1F_CLASSEAPROG.PD1F_DITTA_CG18 = "
                        "PD68_PROGETTI.PD68_DITTA_CG18 AND PD68_PROGETTI.PD68_CLASSEA_PD1F = "
                        "PD1F_CLASSEAPROG.PD1F_CODICE") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD1G_CLASSEBPROG WITH (NOLOCK) ON PD1G_CLASSEBPROG.PD1G_DITTA_CG18 = "
                        "PD68_PROGETTI.PD68_DITTA_CG18 AND PD68_PROGETTI.PD68_CLASSEB_PD1G = "
                        "PD1G_CLASSEBPROG.PD1G_CODICE") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD1H_CLASSECPROG WITH (NOLOCK) ON PD1H_CLASSECPROG.PD1H_DITTA_CG18 = "
                        "PD68_PROGETTI.PD68_DITTA_CG18 AND PD68_PROGETTI.PD68_CLASSEC_PD1H = "
                        "PD1H_CLASSECPROG.PD1H_CODICE") +
         CRLF;
    s += QStringLiteral("LEFT JOIN PD0C_NODO WITH (NOLOCK) ON PD0C_NODO.PD0C_DITTA_CG18 = "
                        "DO41_DOCCORPOPROGE.DO41_DITTA_CG18 AND PD0C_NODO.PD0C_CODPROG_PD68 = "
                        "DO41_DOCCORPOPROGE.DO41_CODPROGETTO AND PD0C_NODO.PD0C_CODNODO = "
                        "DO41_DOCCORPOPROGE.DO41_NODORIF_PD0C") +
         CRLF;
    return s;
}

// Phase type condition, with its line break; "" for all phases.
QString phaseTypeCondition(const QString& phaseType, const QString& lead) {
    if (phaseType == QLatin1String("1"))
        return lead + QStringLiteral("AND PD5C_INDFASEINTEST = 0 ") + CRLF;
    if (phaseType == QLatin1String("2"))
        return lead + QStringLiteral("AND PD5C_INDFASEINTEST = 1 ") + CRLF;
    return {};
}

// The conditions shared by both statements after the document date: phase type, filter
// panel, order states. nullopt when no state is ticked.
std::optional<QString> tailConditions(const ScheduleParameters& p, const QString& phaseLead) {
    const QString codes = stateCodes(p.stateKeys);
    if (codes.isEmpty())
        return std::nullopt;
    QString s = phaseTypeCondition(p.phaseType, phaseLead);
    if (!p.filterCondition.isEmpty())
        s += renameFilterFields(p.filterCondition);
    s += CRLF;
    s += QStringLiteral(" AND PD5C_INDSTATOCONS IN(") + codes + QStringLiteral(")");
    return s;
}

} // namespace

const QList<FieldRename>& filterRenames() {
    static const QList<FieldRename> renames{
        {QStringLiteral("DO46_DATAINIZIO"), QStringLiteral("PD5C_DATAINIFASE")},
        {QStringLiteral("DO46_DATAFINE"), QStringLiteral("PD5C_DATAFINEFASE")},
        {QStringLiteral("DO11_DOCUM_MG36"), QStringLiteral("PD5C_DOCUM_MG3G")},
        {QStringLiteral("DO11_NUMDOC"), QStringLiteral("PD5C_NUMDOC")},
        {QStringLiteral("DO11_SEZDOC"), QStringLiteral("PD5C_SEZDOC")},
        {QStringLiteral("DO11_DATADOC"), QStringLiteral("PD5C_DATADOC")},
        {QStringLiteral("DO46_CLIFOR_CG44"), QStringLiteral("PD5C_CLIFOR_CG44")},
        {QStringLiteral("DO46_CODREPARTO"), QStringLiteral("PD5C_CODREP")},
        {QStringLiteral("DO46_CODFASE"), QStringLiteral("PD5C_CODFASE_PD12")},
    };
    return renames;
}

QString renameFilterFields(const QString& condition) {
    if (condition.isEmpty())
        return {};
    QString text = QStringLiteral(" ") + condition + QStringLiteral(" ");
    for (const FieldRename& rename : filterRenames())
        text.replace(rename.panelField, rename.scheduleColumn, Qt::CaseSensitive);
    return text;
}

QString stateCodes(const QStringList& stateKeys) {
    QStringList codes;
    for (const QString& key : stateKeys)
        codes << key.mid(1);
    return codes.join(QLatin1Char(','));
}

QString showOrderBy(const QString& sortCode) {
    if (sortCode == QLatin1String("0"))
        return QStringLiteral(
            " ORDER BY PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_NUMDOC,PD5C_SEQUENZA,PD5C_DATAFINEFASE");
    if (sortCode == QLatin1String("1"))
        return QStringLiteral(" ORDER BY PD5C_DOCUM_MG3G,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA");
    if (sortCode == QLatin1String("2"))
        return QStringLiteral(" ORDER BY PD5C_DATAFINEFASE,PD5C_DATADOC,PD5C_NUMDOC desc");
    if (sortCode == QLatin1String("3"))
        return QStringLiteral(" ORDER BY PD5C_DATAINIFASE,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA");
    return {};
}

QString resortOrderBy(const QString& sortCode) {
    if (sortCode == QLatin1String("0"))
        return QStringLiteral(" ORDER BY PD5C_INDFASEINTEST,PD5C_FORREP,PD5C_SEQUENZA,PD5C_DATAFINEFASE");
    if (sortCode == QLatin1String("1"))
        return QStringLiteral(" ORDER BY PD5C_DOCUM_MG3G,PD5C_DATADOC,PD5C_NUMDOC,PD5C_SEQUENZA");
    if (sortCode == QLatin1String("2"))
        return QStringLiteral(" ORDER BY PD5C_DATAFINEFASE desc");
    if (sortCode == QLatin1String("3"))
        return QStringLiteral(" ORDER BY PD5C_DATAINIFASE,PD5C_SEQUENZA");
    return {};
}

const QStringList& tablesRead() {
    static const QStringList tables{
        QStringLiteral("PD5C_SCADLAV"),       QStringLiteral("MG66_ANAGRART"),
        QStringLiteral("DO46_DOCCORORDDET"),  QStringLiteral("PD18_ARTPROD"),
        QStringLiteral("DO30_DOCCORPO"),      QStringLiteral("DO41_DOCCORPOPROGE"),
        QStringLiteral("PD25_COMMESSA"),      QStringLiteral("PD68_PROGETTI"),
        QStringLiteral("PD69_SOTTOPROGETTI"), QStringLiteral("PD1D_TIPIPROGETTI"),
        QStringLiteral("PD1E_STATIPROGETTI"), QStringLiteral("PD1F_CLASSEAPROG"),
        QStringLiteral("PD1G_CLASSEBPROG"),   QStringLiteral("PD1H_CLASSECPROG"),
        QStringLiteral("PD0C_NODO"),
    };
    return tables;
}

std::optional<QString> showStatement(const ScheduleParameters& p) {
    const std::optional<QString> tail = tailConditions(p, QStringLiteral(" "));
    if (!tail)
        return std::nullopt;

    QString s;
    s += QStringLiteral("SELECT *") + CRLF;
    // The classification codes, one WHEN per line so the statement reads in a trace.
    s += QStringLiteral("  , CASE WHEN PD5C_DATAFINEFASE < dbo.QRX_GETDATE() THEN 3") + CRLF;
    s += QStringLiteral("         WHEN ((dbo.QRX_GETDATE() BETWEEN PD5C_DATAINIFASE AND PD5C_DATAFINEFASE)") +
         CRLF;
    s += QStringLiteral(
             "               AND ISNULL(PD5C_QTA1CONSOLID,0) = 0 AND ISNULL(PD5C_QTAINLAV,0) = 0) THEN 2") +
         CRLF;
    s += QStringLiteral("         ELSE 1 END AS CTRL_DATE") + CRLF;
    s += QStringLiteral("  , CASE WHEN ([PD5C_QTADAINV] > 0 and PD5C_GIACPREC >= PD5C_QTADAINV) THEN 1") +
         CRLF;
    s += QStringLiteral("         WHEN ([PD5C_QTADAINV] > 0 and PD5C_GIACPREC < PD5C_QTADAINV and "
                        "PD5C_GIACPREC > 0) THEN 2") +
         CRLF;
    s += QStringLiteral("         ELSE 4 END AS CTRL_QTA") + CRLF;
    s += QStringLiteral("  , CASE WHEN ISNULL([PD5C_QTAINLAV],0) = 0 THEN 4") + CRLF;
    s += QStringLiteral("         ELSE (CASE WHEN PD5C_DATAINIFASE > dbo.QRX_GETDATE() THEN 1") + CRLF;
    s += QStringLiteral("                    WHEN PD5C_DATAFINEFASE < dbo.QRX_GETDATE() THEN 3") + CRLF;
    s += QStringLiteral("                    WHEN dbo.QRX_GETDATE() BETWEEN PD5C_DATAINIFASE AND "
                        "PD5C_DATAFINEFASE THEN 2") +
         CRLF;
    s += QStringLiteral("               END) END AS SOLL") + CRLF;
    s += QStringLiteral("  , DO46_NOTECOSTR") + CRLF;
    s += QStringLiteral("  , MG66_UM1") + CRLF;
    s += QStringLiteral("  , ISNULL(DO30_DESCART, '') AS DO30_DESCART") + CRLF;
    for (const QString& column : descriptiveColumns())
        s += QStringLiteral("  , ") + column + CRLF;

    s += QStringLiteral("FROM PD5C_SCADLAV WITH (NOLOCK)") + CRLF;
    s += QStringLiteral(
             "INNER JOIN MG66_ANAGRART WITH (NOLOCK) ON PD5C_SCADLAV.PD5C_CODART_MG66 = "
             "MG66_ANAGRART.MG66_CODART AND PD5C_SCADLAV.PD5C_DITTA_CG18 = MG66_ANAGRART.MG66_DITTA_CG18") +
         CRLF;
    s += QStringLiteral("INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON DO46_DOCCORORDDET.DO46_DITTA_CG18 = "
                        "PD5C_SCADLAV.PD5C_DITTA_CG18 AND DO46_DOCCORORDDET.DO46_NUMREG_CO99 = "
                        "PD5C_SCADLAV.PD5C_NUMREG_CO99 AND DO46_DOCCORORDDET.DO46_PROGRIGA = "
                        "PD5C_SCADLAV.PD5C_PROGRIGA_DO30 AND DO46_DOCCORORDDET.DO46_CODFASE = "
                        "PD5C_SCADLAV.PD5C_CODFASE_PD12 AND DO46_DOCCORORDDET.DO46_PROGSFASE = "
                        "PD5C_SCADLAV.PD5C_PROGSFASE AND DO46_DOCCORORDDET.DO46_CODSEQFASE = "
                        "PD5C_SCADLAV.PD5C_SEQUENZA") +
         CRLF;
    s += QStringLiteral(
             "INNER JOIN PD18_ARTPROD WITH (NOLOCK) ON PD18_ARTPROD.PD18_DITTA_CG18 = "
             "MG66_ANAGRART.MG66_DITTA_CG18 AND PD18_ARTPROD.PD18_CODART_MG66 = MG66_ANAGRART.MG66_CODART") +
         CRLF;
    s += projectJoins();

    s += QStringLiteral("WHERE MG66_DITTA_CG18 = ") + QString::number(p.companyCode) + CRLF;
    s += QStringLiteral("  AND (") + CRLF;
    s += QStringLiteral("    ISNULL(PD5C_QTA1CONSOLID, 0) < PD5C_QTA1ORD") + CRLF;
    s += QStringLiteral("    AND PD5C_INDSTATOORD <> 3") + CRLF;
    s += QStringLiteral("    )") + CRLF;
    s += QStringLiteral("  AND PD5C_DATADOC >= ") + p.minDateLiteral + QStringLiteral(" ");
    s += *tail;
    s += showOrderBy(p.sortCode);
    return s;
}

std::optional<QString> resortStatement(const ScheduleParameters& p) {
    const std::optional<QString> tail = tailConditions(p, QString());
    if (!tail)
        return std::nullopt;

    QString s;
    s += QStringLiteral("SELECT *,") + CRLF;
    s += CtrlDate + QStringLiteral(",") + CRLF;
    s += CtrlQta + QStringLiteral(",") + CRLF;
    s += Soll + QStringLiteral(",") + CRLF;
    s += QStringLiteral("DO46_NOTECOSTR, MG66_UM1, ") +
         QStringLiteral("ISNULL(DO30_DESCART, '') AS DO30_DESCART ") + CRLF;
    s += QStringLiteral(", ") + descriptiveColumns().join(QStringLiteral(", ")) + CRLF;
    s += QStringLiteral("FROM PD5C_SCADLAV INNER JOIN MG66_ANAGRART WITH (NOLOCK) ON") + CRLF;
    s += QStringLiteral("[PD5C_CODART_MG66] = MG66_CODART AND PD5C_DITTA_CG18 = MG66_DITTA_CG18") + CRLF;
    s += QStringLiteral("INNER JOIN DO46_DOCCORORDDET WITH (NOLOCK) ON DO46_DITTA_CG18 = PD5C_DITTA_CG18 ") +
         CRLF;
    s += QStringLiteral("AND DO46_NUMREG_CO99 = PD5C_NUMREG_CO99 ") + CRLF;
    s +=
        QStringLiteral("AND DO46_PROGRIGA = PD5C_PROGRIGA_DO30 AND DO46_CODFASE = PD5C_CODFASE_PD12 ") + CRLF;
    s += QStringLiteral("AND DO46_PROGSFASE = PD5C_PROGSFASE AND DO46_CODSEQFASE = PD5C_SEQUENZA ") + CRLF;
    s += QStringLiteral(
             "INNER JOIN PD18_ARTPROD WITH (NOLOCK) ON PD18_ARTPROD.PD18_DITTA_CG18 = "
             "MG66_ANAGRART.MG66_DITTA_CG18 AND PD18_ARTPROD.PD18_CODART_MG66 = MG66_ANAGRART.MG66_CODART") +
         CRLF;
    s += projectJoins();
    s += QStringLiteral("WHERE MG66_DITTA_CG18 = ") + QString::number(p.companyCode) + CRLF;
    s += QStringLiteral("AND (ISNULL(PD5C_QTA1CONSOLID,0) < PD5C_QTA1ORD and PD5C_INDSTATOORD <> 3)") + CRLF;
    s += QStringLiteral("AND PD5C_DATADOC >= ") + p.minDateLiteral + QStringLiteral(" ");
    s += *tail;
    s += resortOrderBy(p.sortCode);
    return s;
}

} // namespace scadlav::schedule_sql
