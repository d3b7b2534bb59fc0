#include "ErpFixture.h"

#include <tsqlite/tsqlite.h>

#include <sqlite3.h>

#include <mutex>

namespace tsqlite::testing {
namespace {

void fixedNow(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_text(ctx, kFixedNow, -1, SQLITE_STATIC);
}

std::string textParameter(const std::vector<Parameter>& parameters, const std::string& name) {
    for (const auto& p : parameters) {
        if (p.name == name && p.value.kind == Cell::Kind::Text)
            return std::string(p.value.text);
    }
    return {};
}

// Fills the quantity-in-work table the caller names with two phases of the production order.
bool sitcLavoro(Connection& connection, const std::vector<Parameter>& parameters, ResultSink*,
                std::vector<Error>& errors) {
    const std::string dati = textParameter(parameters, "@Tabella_Dati");
    if (dati.empty()) {
        errors.push_back({kErrSyntax, "SPPD_SITCLAVORO: @Tabella_Dati missing", "42000", 0, {}});
        return false;
    }
    const std::string sql =
        "CREATE TABLE " + dati +
        " (NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT, PROGRIGA_ODL int, FASE int, "
        "CLIFOR int, ARTICOLO varchar(20) COLLATE DATABASE_DEFAULT, GIACENZA decimal(14,3))\r\n"
        "INSERT INTO " +
        dati +
        " VALUES ('ODL000000001', 1, 200, 1234, 'ART-A', 35.5)\r\n"
        "INSERT INTO " +
        dati + " VALUES ('ODL000000001', 1, 100, 0, 'ART-A', -3)\r\n";
    return connection.execute(sql, nullptr, errors);
}

} // namespace

void registerErpFixtureObjects() {
    static std::once_flag once;
    std::call_once(once, [] {
        registerConnectionInitializer([](sqlite3* db) {
            sqlite3_create_function_v2(db, "QRX_GETDATE", 0, SQLITE_UTF8, nullptr, fixedNow, nullptr, nullptr,
                                       nullptr);
        });
        registerTableFunction(
            "dbo.FNMG62_TESTIFIS", {"MG62_DESCR"},
            "SELECT MG62_DESCR FROM MG62_TESTIFIS WHERE MG62_CODICE = ?1 AND MG62_DITTA_CG18 = ?2");
        registerTableFunction("dbo.FNMG36_DOCUMENTI", {"MG36_DESCDOCUM"},
                              "SELECT MG36_DESCDOCUM || CASE WHEN ?3 = 1 THEN ' (periodo)' ELSE '' END FROM "
                              "MG36_DOCUMENTI WHERE MG36_CODDOCUM = ?1 AND MG36_DITTA_CG18 = ?2");
        registerProcedure("SPPD_SITCLAVORO", sitcLavoro);
    });
}

} // namespace tsqlite::testing
