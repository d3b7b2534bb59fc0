#include "erpdb.h"

#include "Clock.h"
#include "SitcLavoro.h"

#include <mutex>

namespace erpdb {
namespace {

// Description of a document type. Types flagged MG36_INDSTAPER = 1 may carry a description
// of their own per company (MG37_DOCUMDITTA); the others, and companies without one, read
// the document type's own description. An unknown code gives no row.
constexpr const char* kDocumentTypeBody =
    "SELECT COALESCE(CASE WHEN COALESCE(?3, 0) = 1 THEN (SELECT D37.MG37_DESCDOCUM FROM MG37_DOCUMDITTA D37 "
    "WHERE D37.MG37_CODDOCUM_MG36 = D36.MG36_CODDOCUM AND D37.MG37_DITTA_CG18 = ?2) END, D36.MG36_DESCDOCUM) "
    "AS MG36_DESCDOCUM FROM MG36_DOCUMENTI D36 WHERE D36.MG36_CODDOCUM = ?1";

// Description of a fixed text: the company's own (MG63_TESTIFISDITTA) or else the text's.
constexpr const char* kFixedTextBody =
    "SELECT COALESCE((SELECT D63.MG63_DESCR FROM MG63_TESTIFISDITTA D63 WHERE D63.MG63_CODICE_MG62 = "
    "D62.MG62_CODICE AND D63.MG63_DITTA_CG18 = ?2), D62.MG62_DESCR) AS MG62_DESCR FROM MG62_TESTIFIS D62 "
    "WHERE D62.MG62_CODICE = ?1";

} // namespace

void registerDatabaseObjects() {
    static std::once_flag once;
    std::call_once(once, [] {
        tsqlite::registerConnectionInitializer([](sqlite3* db) { detail::registerClockFunction(db); });
        tsqlite::registerTableFunction("dbo.FNMG36_DOCUMENTI", {"MG36_DESCDOCUM"}, kDocumentTypeBody);
        tsqlite::registerTableFunction("dbo.FNMG62_TESTIFIS", {"MG62_DESCR"}, kFixedTextBody);
        tsqlite::registerProcedure("dbo.SPPD_SITCLAVORO", detail::runSitcLavoro);
    });
}

} // namespace erpdb
