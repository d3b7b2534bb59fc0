// SPPD_SITCLAVORO: quantity in work per order line, phase, subcontractor and article.

#include "tests/support/ErpDbTesting.h"

#include <map>

using erpdb::testing::ErpDatabase;
using erpdb::testing::query;

namespace {

tsqlite::Parameter number(const char* name, std::int64_t v) {
    tsqlite::Parameter p;
    p.name = name;
    p.value.kind = tsqlite::Cell::Kind::Integer;
    p.value.i = v;
    return p;
}

tsqlite::Parameter text(const char* name, const std::string& v) {
    tsqlite::Parameter p;
    p.name = name;
    p.value.kind = tsqlite::Cell::Kind::Text;
    p.textStorage = v;
    return p;
}

tsqlite::Parameter null(const char* name) {
    tsqlite::Parameter p;
    p.name = name;
    return p;
}

// The call as the rebuild makes it.
std::vector<tsqlite::Parameter> rebuildCall(int company, const std::string& filterTable = {}) {
    std::vector<tsqlite::Parameter> ps = {number("@Ditta", company),
                                          number("@CLavoro_AttPass", 1),
                                          text("@Deposito_CLavoro", "CL"),
                                          number("@ElabTempReale", 0),
                                          null("@DataElab"),
                                          number("@TipoCL", 0),
                                          null("@Filtro_ADVQ"),
                                          null("@Filtro_Revoke"),
                                          number("@AncheODL_Chiusi", 0),
                                          null("@DataIniODL_Chiusi"),
                                          number("@DocCambioCod_MovRifODL", 0)};
    if (!filterTable.empty())
        ps.push_back(text("@TABELLA_Filtro_ODL", filterTable));
    ps.push_back(text("@Tabella_Dati", "##TempDati_TEST"));
    ps.push_back(text("@Tabella_ODL_OCLAV", "##Testate_ODL_OCLTEST"));
    ps.push_back(text("@Tabella_Documenti_CambioCod", "##Docum_CambioCodTEST"));
    ps.push_back(text("@Tabella_Documenti_Fase", "##Docum_FaseTEST"));
    for (auto& p : ps)
        p.value.text = p.textStorage;
    return ps;
}

class SitcLavoro : public ::testing::Test {
protected:
    void SetUp() override {
        // Company 1: order A with two open lines, order B closed; company 2: order C.
        db.run("INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_TIPODOC, DO11_STIPODOC, "
               "DO11_DOCUM_MG36, DO11_NUMDOC, DO11_CLIFOR_CG44) VALUES (1, 'A', 24, 20, 'OPR', 1, NULL), "
               "(1, 'B', 24, 20, 'OPR', 2, NULL), (1, 'OCL1', 25, 1, 'OCL', 1, 70007), (2, 'C', 24, 20, "
               "'OPR', 1, "
               "NULL)");
        db.run("INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, "
               "DO30_CODART_MG66) VALUES "
               "(1, 'A', 1, 'X'), (1, 'A', 2, 'X'), (1, 'B', 1, 'X'), (1, 'OCL1', 1, 'X'), (2, 'C', 1, 'X')");
        db.run("INSERT INTO DO31_DOCCORPOORD (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA, "
               "DO31_INDSTATOCONS) "
               "VALUES (1, 'A', 1, 3), (1, 'A', 2, NULL), (1, 'B', 1, 9), (1, 'OCL1', 1, 1), (2, 'C', 1, 2)");
        db.run("INSERT INTO DO33_DOCCORPORIF (DO33_DITTA_CG18, DO33_NUMREG_CO99, DO33_PROGRIGA, "
               "DO33_NUMREGRIF_CO99, "
               "DO33_PROGRIGARIF_DO30) VALUES (1, 'OCL1', 1, 'A', 1)");
        const char* moves[] = {
            "1, 1, 'A', 1, 10, 0, 'X', 10, 'D1'",       "2, 1, 'A', 1, 10, 0, 'X', -4, 'D2'",
            "3, 1, 'A', 1, 20, 70007, 'X', 5, 'D3'",    "4, 1, 'A', 1, 20, 70007, 'X', 3, 'D4'",
            "5, 1, 'A', 1, 20, 70007, 'X', -8.5, 'D5'", "6, 1, 'A', 1, 20, 70007, 'X-SL', 2, 'D6'",
            "7, 1, 'A', 2, 10, 0, 'X', 1.25, 'D7'",     "8, 1, 'A', 2, 10, 0, 'X', 1.25, 'D8'",
            "9, 1, 'B', 1, 10, 0, 'X', 7, 'D9'",        "10, 2, 'C', 1, 10, 0, 'X', 100, 'D10'",
        };
        for (const char* m : moves)
            db.run(std::string(
                       "INSERT INTO PD5M_MOVFASE (PD5M_ID, PD5M_DITTA_CG18, PD5M_NUMREG_CO99, "
                       "PD5M_PROGRIGA_DO30, PD5M_CODFASE_PD12, PD5M_CLIFOR_CG44, PD5M_CODART_MG66, PD5M_QTA, "
                       "PD5M_NUMREGDOC_CO99, PD5M_DATAMOV) VALUES (") +
                   m + ", '2026-06-01 00:00:00.000')");
    }

    bool call(const std::vector<tsqlite::Parameter>& ps) {
        errors.clear();
        return db.connection().callProcedure("SPPD_SITCLAVORO", ps, nullptr, errors);
    }

    // GIACENZA by "order/line/phase/subcontractor/article".
    std::map<std::string, std::string> quantities() {
        auto r =
            query(db.connection(), "SELECT NUMREG_ODL, PROGRIGA_ODL, FASE, CLIFOR, ARTICOLO, GIACENZA FROM "
                                   "##TempDati_TEST");
        EXPECT_TRUE(r.ok) << r.firstError();
        std::map<std::string, std::string> out;
        for (const auto& row : r.rows)
            out[*row[0] + "/" + *row[1] + "/" + *row[2] + "/" + *row[3] + "/" + *row[4]] =
                row[5].value_or("null");
        return out;
    }

    ErpDatabase db;
    std::vector<tsqlite::Error> errors;
};

} // namespace

TEST_F(SitcLavoro, SumsSignedMovementsOfOpenLinesOfTheCompany) {
    ASSERT_TRUE(call(rebuildCall(1))) << errors.front().description;
    const std::map<std::string, std::string> expected = {
        {"A/1/10/0/X", "6"},
        {"A/1/20/70007/X", "-0.5"},
        {"A/1/20/70007/X-SL", "2"},
        {"A/2/10/0/X", "2.5"},
    };
    EXPECT_EQ(quantities(), expected);

    auto headers = query(db.connection(), "SELECT NUMREG FROM ##Testate_ODL_OCLTEST ORDER BY NUMREG");
    ASSERT_TRUE(headers.ok) << headers.firstError();
    ASSERT_EQ(headers.rows.size(), 2u);
    EXPECT_EQ(*headers.rows[0][0], "A");
    EXPECT_EQ(*headers.rows[1][0], "OCL1");
    auto documents = query(db.connection(), "SELECT COUNT(*) AS N FROM ##Docum_FaseTEST");
    EXPECT_EQ(documents.value("N"), "8") << documents.firstError();
    auto changes = query(db.connection(), "SELECT ARTICOLO_ODL, ARTICOLO, QTA FROM ##Docum_CambioCodTEST");
    ASSERT_EQ(changes.rows.size(), 1u) << changes.firstError();
    EXPECT_EQ(changes.value("ARTICOLO"), "X-SL");
    EXPECT_EQ(changes.value("QTA"), "2");
}

TEST_F(SitcLavoro, FilterTableRestrictsToItsLinesWithoutCountingTwice) {
    // One filter row per phase of the line, as the rebuild's filter statement writes them.
    db.run("CREATE TABLE ##TabODL_TEST (FILTRO_NUMREG_CO99 varchar(12), FILTRO_PROGRIGA decimal(6,0))");
    db.run("INSERT INTO ##TabODL_TEST VALUES ('A', 2)");
    db.run("INSERT INTO ##TabODL_TEST VALUES ('A', 2)");
    ASSERT_TRUE(call(rebuildCall(1, "##TabODL_TEST"))) << errors.front().description;
    const std::map<std::string, std::string> expected = {{"A/2/10/0/X", "2.5"}};
    EXPECT_EQ(quantities(), expected);
}

TEST_F(SitcLavoro, MissingFilterTableIsReportedByName) {
    EXPECT_FALSE(call(rebuildCall(1, "##TabODL_NONE")));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().number, tsqlite::kErrNoSuchObject);
    EXPECT_NE(errors.front().description.find("##TabODL_NONE"), std::string::npos)
        << errors.front().description;
}

TEST_F(SitcLavoro, CompanyWithoutOrdersGetsAnEmptyResultTable) {
    ASSERT_TRUE(call(rebuildCall(3))) << errors.front().description;
    EXPECT_TRUE(quantities().empty());
    // A second call replaces the tables of the first.
    ASSERT_TRUE(call(rebuildCall(2))) << errors.front().description;
    const std::map<std::string, std::string> expected = {{"C/1/10/0/X", "100"}};
    EXPECT_EQ(quantities(), expected);
}

TEST_F(SitcLavoro, RefusesUnknownParametersAndMissingResultTable) {
    auto ps = rebuildCall(1);
    ps.push_back(number("@Magazzino", 1));
    EXPECT_FALSE(call(ps));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("@Magazzino"), std::string::npos);

    std::vector<tsqlite::Parameter> noTable = {number("@Ditta", 1)};
    EXPECT_FALSE(call(noTable));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("@Tabella_Dati"), std::string::npos);

    auto injected = rebuildCall(1);
    injected.back() = text("@Tabella_Documenti_Fase", "x; DROP TABLE DO11_DOCTESTATA");
    injected.back().value.text = injected.back().textStorage;
    EXPECT_FALSE(call(injected));
    EXPECT_TRUE(query(db.connection(), "SELECT 1 FROM DO11_DOCTESTATA").ok);
}
