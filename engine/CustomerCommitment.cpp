#include "engine/CustomerCommitment.h"

#include "module/sql/SqlText.h"

namespace scadlav::schedule_sql {

QString customerCommitmentStatement(const QString& article) {
    QString s;
    s += QStringLiteral(
             "select DISTINCT DO11_DOCUM_MG36,DO11_NUMDOC,DO11_DATADOC,DO11_CLIFOR_CG44,CG16_RAGSOANAG,"
             "DO30_PROGVISUASTA,DO30_CODART_MG66,VFW_QTA1RES  ") +
         CRLF;
    s += QStringLiteral("from do11_doctestata WITH (NOLOCK) inner join do30_doccorpo WITH (NOLOCK) on ") +
         CRLF;
    s += QStringLiteral("do11_ditta_cg18 = DO30_DITTA_CG18  ") + CRLF;
    s += QStringLiteral("and DO11_NUMREG_CO99 = DO30_NUMREG_CO99  ") + CRLF;
    s += QStringLiteral("inner join CG44_CLIFOR WITH (NOLOCK) on ") + CRLF;
    s += QStringLiteral("cg44_ditta_cg18 = do11_ditta_cg18 ") + CRLF;
    s += QStringLiteral("and cg44_tipocf = do11_tipocf_cg44 ") + CRLF;
    s += QStringLiteral("and cg44_clifor = do11_clifor_cg44 ") + CRLF;
    s += QStringLiteral("INNER JOIN CG16_ANAGGEN WITH (NOLOCK) ON ") + CRLF;
    s += QStringLiteral("CG16_CODICE = CG44_CODICE_CG16 ") + CRLF;
    s += QStringLiteral("inner join VFW_SELDOC WITH (NOLOCK) on ") + CRLF;
    s += QStringLiteral("DO30_DITTA_CG18 = VFW_DITTA_CG18  ") + CRLF;
    s += QStringLiteral("and DO30_NUMREG_CO99 = VFW_NUMREG_CO99  ") + CRLF;
    s += QStringLiteral("and DO30_PROGRIGA = VFW_PROGRIGA_DO30  ") + CRLF;
    s += QStringLiteral("where DO11_TIPOCF_CG44 = 0 ") + CRLF;
    s += QStringLiteral("and DO11_TIPODOC = 21 ") + CRLF;
    s += QStringLiteral("and DO11_STIPODOC = 1 ") + CRLF;
    s += QStringLiteral("and VFW_FLGDAEVADERE = 1 ") + CRLF;
    s += QStringLiteral("and VFW_FLGEVASO = 0 ") + CRLF;
    s += QStringLiteral("and DO30_CODART_MG66 = '") + article + QStringLiteral("'") + CRLF;
    s += QStringLiteral("ORDER BY DO11_DATADOC,DO11_NUMDOC,DO11_CLIFOR_CG44 ") + CRLF;
    return s;
}

} // namespace scadlav::schedule_sql
