// SPPD_SITCLAVORO: quantity in work per order line, phase, subcontractor and article.

#include "tests/support/ErpDbTesting.h"

#include <variant>

using erpdb::testing::ErpDatabase;
using erpdb::testing::query;

namespace {

// A parameter's value: a number, a text, or Null.
using Arg = std::variant<std::monostate, std::int64_t, std::string>;
using Args = std::vector<std::pair<std::string, Arg>>;

// The call as the rebuild makes it.
Args rebuildCall(int company, const std::string& filterTable = {}) {
    Args args = {{"@Ditta", company},
                 {"@CLavoro_AttPass", 1},
                 {"@Deposito_CLavoro", "CL"},
                 {"@ElabTempReale", 0},
                 {"@DataElab", {}},
                 {"@TipoCL", 0},
                 {"@Filtro_ADVQ", {}},
                 {"@Filtro_Revoke", {}},
                 {"@AncheODL_Chiusi", 0},
                 {"@DataIniODL_Chiusi", {}},
                 {"@DocCambioCod_MovRifODL", 0}};
    if (!filterTable.empty())
        args.emplace_back("@TABELLA_Filtro_ODL", filterTable);
    args.insert(args.end(), {{"@Tabella_Dati", "##TempDati_TEST"},
                             {"@Tabella_ODL_OCLAV", "##Testate_ODL_OCLTEST"},
                             {"@Tabella_Documenti_CambioCod", "##Docum_CambioCodTEST"},
                             {"@Tabella_Documenti_Fase", "##Docum_FaseTEST"}});
    return args;
}

class SitcLavoro : public ::testing::Test {
protected:
    void SetUp() override {
        // Company 1: order A with two open lines, order B closed; company 2: order C.
        db.run("INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_TIPODOC, "
               "DO11_STIPODOC, DO11_DOCUM_MG36, DO11_NUMDOC, DO11_CLIFOR_CG44) VALUES (1, 'A', 24, 20, "
               "'OPR', 1, NULL), (1, 'B', 24, 20, 'OPR', 2, NULL), (1, 'OCL1', 25, 1, 'OCL', 1, 70007), "
               "(2, 'C', 24, 20, 'OPR', 1, NULL)");
        db.run("INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, "
               "DO30_CODART_MG66) VALUES (1, 'A', 1, 'X'), (1, 'A', 2, 'X'), (1, 'B', 1, 'X'), "
               "(1, 'OCL1', 1, 'X'), (2, 'C', 1, 'X')");
        db.run("INSERT INTO DO31_DOCCORPOORD (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA, "
               "DO31_INDSTATOCONS) VALUES (1, 'A', 1, 3), (1, 'A', 2, NULL), (1, 'B', 1, 9), "
               "(1, 'OCL1', 1, 1), (2, 'C', 1, 2)");
        db.run("INSERT INTO DO33_DOCCORPORIF (DO33_DITTA_CG18, DO33_NUMREG_CO99, DO33_PROGRIGA, "
               "DO33_NUMREGRIF_CO99, DO33_PROGRIGARIF_DO30) VALUES (1, 'OCL1', 1, 'A', 1)");
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

    bool call(const Args& args) {
        std::vector<tsqlite::Parameter> ps(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            ps[i].name = args[i].first;
            if (const auto* number = std::get_if<std::int64_t>(&args[i].second)) {
                ps[i].value.kind = tsqlite::Cell::Kind::Integer;
                ps[i].value.i = *number;
            } else if (const auto* text = std::get_if<std::string>(&args[i].second)) {
                ps[i].value.kind = tsqlite::Cell::Kind::Text;
                ps[i].value.text = *text;
            }
        }
        errors.clear();
        return db.connection().callProcedure("SPPD_SITCLAVORO", ps, nullptr, errors);
    }

    // Every row of the query, its cells joined by '/' ("null" for Null).
    std::vector<std::string> rows(const std::string& sql) {
        auto r = query(db.connection(), sql);
        EXPECT_TRUE(r.ok) << r.firstError();
        std::vector<std::string> out;
        for (const auto& row : r.rows) {
            std::string line = row[0].value_or("null");
            for (std::size_t i = 1; i < row.size(); ++i)
                line += "/" + row[i].value_or("null");
            out.push_back(line);
        }
        return out;
    }

    // GIACENZA by order/line/phase/subcontractor/article.
    std::vector<std::string> quantities() {
        return rows("SELECT NUMREG_ODL, PROGRIGA_ODL, FASE, CLIFOR, ARTICOLO, GIACENZA FROM ##TempDati_TEST "
                    "ORDER BY NUMREG_ODL, PROGRIGA_ODL, FASE, CLIFOR, ARTICOLO");
    }

    ErpDatabase db;
    std::vector<tsqlite::Error> errors;
};

} // namespace

TEST_F(SitcLavoro, SumsSignedMovementsOfOpenLinesOfTheCompany) {
    ASSERT_TRUE(call(rebuildCall(1))) << errors.front().description;
    EXPECT_EQ(quantities(), (std::vector<std::string>{"A/1/10/0/X/6", "A/1/20/70007/X/-0.5",
                                                      "A/1/20/70007/X-SL/2", "A/2/10/0/X/2.5"}));
    EXPECT_EQ(rows("SELECT NUMREG FROM ##Testate_ODL_OCLTEST ORDER BY NUMREG"),
              (std::vector<std::string>{"A", "OCL1"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM ##Docum_FaseTEST"), std::vector<std::string>{"8"});
    EXPECT_EQ(rows("SELECT ARTICOLO_ODL, ARTICOLO, QTA FROM ##Docum_CambioCodTEST"),
              std::vector<std::string>{"X/X-SL/2"});
}

TEST_F(SitcLavoro, FilterTableRestrictsToItsLinesWithoutCountingTwice) {
    // One filter row per phase of the line, as the rebuild's filter statement writes them.
    db.run("CREATE TABLE ##TabODL_TEST (FILTRO_NUMREG_CO99 varchar(12), FILTRO_PROGRIGA decimal(6,0))");
    db.run("INSERT INTO ##TabODL_TEST VALUES ('A', 2)");
    db.run("INSERT INTO ##TabODL_TEST VALUES ('A', 2)");
    ASSERT_TRUE(call(rebuildCall(1, "##TabODL_TEST"))) << errors.front().description;
    EXPECT_EQ(quantities(), std::vector<std::string>{"A/2/10/0/X/2.5"});
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
    EXPECT_EQ(quantities(), std::vector<std::string>{"C/1/10/0/X/100"});
}

TEST_F(SitcLavoro, RefusesUnknownParametersAndMissingResultTable) {
    auto args = rebuildCall(1);
    args.emplace_back("@Magazzino", 1);
    EXPECT_FALSE(call(args));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("@Magazzino"), std::string::npos);

    EXPECT_FALSE(call({{"@Ditta", 1}}));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("@Tabella_Dati"), std::string::npos);

    auto injected = rebuildCall(1);
    injected.back().second = "x; DROP TABLE DO11_DOCTESTATA";
    EXPECT_FALSE(call(injected));
    EXPECT_TRUE(query(db.connection(), "SELECT 1 FROM DO11_DOCTESTATA").ok);
}
