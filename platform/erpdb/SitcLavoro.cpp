#include "SitcLavoro.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>
#include <string>

namespace erpdb::detail {
namespace {

constexpr const char* kProcedure = "SPPD_SITCLAVORO";

// Every parameter the procedure declares, lower case, without "@".
constexpr std::array<const char*, 16> kDeclared = {"ditta",
                                                   "clavoro_attpass",
                                                   "deposito_clavoro",
                                                   "elabtempreale",
                                                   "dataelab",
                                                   "tipocl",
                                                   "filtro_advq",
                                                   "filtro_revoke",
                                                   "ancheodl_chiusi",
                                                   "datainiodl_chiusi",
                                                   "doccambiocod_movrifodl",
                                                   "tabella_filtro_odl",
                                                   "tabella_dati",
                                                   "tabella_odl_oclav",
                                                   "tabella_documenti_cambiocod",
                                                   "tabella_documenti_fase"};

tsqlite::Error makeError(std::int64_t number, std::string text, const char* sqlState) {
    tsqlite::Error e;
    e.number = number;
    e.description = std::string(kProcedure) + ": " + std::move(text);
    e.sqlState = sqlState;
    return e;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

// One parameter value, copied out of the call (its text views the caller's storage).
struct Argument {
    tsqlite::Cell::Kind kind = tsqlite::Cell::Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string text;

    bool isNull() const { return kind == tsqlite::Cell::Kind::Null; }
};

class Arguments {
public:
    bool read(const std::vector<tsqlite::Parameter>& parameters, std::vector<tsqlite::Error>& errors) {
        for (const auto& p : parameters) {
            std::string key = lower(p.name);
            if (!key.empty() && key.front() == '@')
                key.erase(0, 1);
            if (std::find(kDeclared.begin(), kDeclared.end(), key) == kDeclared.end()) {
                errors.push_back(
                    makeError(tsqlite::kErrSyntax, p.name + " is not a parameter of the procedure", "42000"));
                return false;
            }
            Argument a;
            a.kind = p.value.kind;
            a.integer = p.value.i;
            a.real = p.value.r;
            a.text = std::string(p.value.text);
            m_values[key] = std::move(a);
        }
        return true;
    }

    // A whole number; nothing when the parameter is missing or null; `bad` when it is no number.
    std::optional<std::int64_t> number(const char* key, bool* bad) const {
        auto it = m_values.find(key);
        if (it == m_values.end() || it->second.isNull())
            return std::nullopt;
        const Argument& a = it->second;
        switch (a.kind) {
        case tsqlite::Cell::Kind::Integer:
            return a.integer;
        case tsqlite::Cell::Kind::Real:
            return static_cast<std::int64_t>(std::llround(a.real));
        default: {
            bool ok = false;
            const qlonglong v = QString::fromStdString(a.text).trimmed().toLongLong(&ok);
            if (ok)
                return v;
            *bad = true;
            return std::nullopt;
        }
        }
    }

    // Text of a parameter, trimmed; empty when missing or null.
    std::string text(const char* key) const {
        auto it = m_values.find(key);
        if (it == m_values.end() || it->second.isNull())
            return {};
        const Argument& a = it->second;
        if (a.kind == tsqlite::Cell::Kind::Integer)
            return std::to_string(a.integer);
        return QString::fromStdString(a.text).trimmed().toStdString();
    }

    // A date parameter as the database's canonical text; nothing when missing or null.
    std::optional<std::string> date(const char* key, bool* bad) const {
        const std::string t = text(key);
        if (t.empty())
            return std::nullopt;
        const QString s = QString::fromStdString(t);
        for (const char* format : {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd",
                                   "yyyyMMdd HH:mm:ss", "yyyyMMdd", "dd/MM/yyyy HH:mm:ss", "dd/MM/yyyy"}) {
            const QDateTime d = QDateTime::fromString(s, QString::fromLatin1(format));
            if (d.isValid())
                return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
        }
        *bad = true;
        return std::nullopt;
    }

private:
    std::map<std::string, Argument> m_values;
};

// Table names arrive already cleaned by the caller; anything else is refused rather than
// pasted into a statement.
bool isPlainTableName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '#';
    });
}

std::string dropStatement(const std::string& table) {
    const std::string where = table.front() == '#' ? "tempdb.." + table : table;
    return "IF OBJECT_ID('" + where + "') IS NOT NULL DROP TABLE " + table;
}

class Procedure {
public:
    Procedure(tsqlite::Connection& connection, std::vector<tsqlite::Error>& errors)
        : m_connection(connection), m_errors(errors) {}

    bool run(const Arguments& args) {
        if (!readArguments(args))
            return false;
        if (!m_filterTable.empty() && !checkFilterTable())
            return false;
        buildSource();
        return fillData() && fillHeaders() && fillPhaseDocuments() && fillArticleChanges();
    }

private:
    bool readArguments(const Arguments& args) {
        bool bad = false;
        const auto company = args.number("ditta", &bad);
        if (bad || !company || *company < -32768 || *company > 32767)
            return fail(tsqlite::kErrSyntax, "@Ditta must be given as a company code (16-bit integer)");
        m_company = *company;

        m_dataTable = args.text("tabella_dati");
        if (m_dataTable.empty())
            return fail(tsqlite::kErrSyntax, "@Tabella_Dati must name the result table");
        m_filterTable = args.text("tabella_filtro_odl");
        m_headersTable = args.text("tabella_odl_oclav");
        m_phaseDocumentsTable = args.text("tabella_documenti_fase");
        m_articleChangesTable = args.text("tabella_documenti_cambiocod");
        for (const std::string* name : {&m_dataTable, &m_filterTable, &m_headersTable, &m_phaseDocumentsTable,
                                        &m_articleChangesTable}) {
            if (!name->empty() && !isPlainTableName(*name))
                return fail(tsqlite::kErrSyntax, "'" + *name + "' is not a valid table name");
        }

        m_phaseKind = args.number("tipocl", &bad).value_or(0);
        m_withClosed = args.number("ancheodl_chiusi", &bad).value_or(0) != 0;
        if (bad)
            return fail(tsqlite::kErrSyntax, "@TipoCL and @AncheODL_Chiusi must be whole numbers");
        m_movementsUpTo = args.date("dataelab", &bad);
        m_closedFrom = args.date("datainiodl_chiusi", &bad);
        if (bad)
            return fail(tsqlite::kErrSyntax, "@DataElab and @DataIniODL_Chiusi must be dates");
        return true;
    }

    bool checkFilterTable() {
        std::vector<tsqlite::Error> probe;
        const std::string sql =
            "SELECT TOP 1 FILTRO_NUMREG_CO99, FILTRO_PROGRIGA FROM " + m_filterTable + " WITH (NOLOCK)";
        if (m_connection.execute(sql, nullptr, probe, {true, 0, {}}))
            return true;
        std::string cause = probe.empty() ? std::string() : " (" + probe.front().description + ")";
        return fail(tsqlite::kErrNoSuchObject,
                    "the filter table '" + m_filterTable +
                        "' given in @TABELLA_Filtro_ODL does not exist or has no columns FILTRO_NUMREG_CO99 "
                        "and FILTRO_PROGRIGA" +
                        cause,
                    "42S02");
    }

    // The movements that count: the company's, on order lines still open (or closed since
    // the given date), up to the given date, of the requested phase kind, on filtered lines.
    void buildSource() {
        m_from = " FROM PD5M_MOVFASE WITH (NOLOCK) INNER JOIN DO31_DOCCORPOORD WITH (NOLOCK) ON"
                 " DO31_DITTA_CG18 = PD5M_DITTA_CG18 AND DO31_NUMREG_CO99 = PD5M_NUMREG_CO99"
                 " AND DO31_PROGRIGA = PD5M_PROGRIGA_DO30";
        m_where = " WHERE PD5M_DITTA_CG18 = " + std::to_string(m_company);
        if (!m_withClosed)
            m_where += " AND ISNULL(DO31_INDSTATOCONS,0) < 9";
        else if (m_closedFrom)
            m_where += " AND (ISNULL(DO31_INDSTATOCONS,0) < 9 OR DO31_DATACONS >= '" + *m_closedFrom + "')";
        if (m_movementsUpTo)
            m_where += " AND PD5M_DATAMOV <= '" + *m_movementsUpTo + "'";
        if (m_phaseKind == 1)
            m_where += " AND PD5M_CLIFOR_CG44 = 0";
        else if (m_phaseKind == 2)
            m_where += " AND PD5M_CLIFOR_CG44 <> 0";
        // EXISTS rather than a join: the filter table holds one row per phase of a line.
        if (!m_filterTable.empty())
            m_where +=
                " AND EXISTS (SELECT 1 FROM " + m_filterTable +
                " WHERE PD5M_NUMREG_CO99 = FILTRO_NUMREG_CO99 AND PD5M_PROGRIGA_DO30 = FILTRO_PROGRIGA)";
    }

    bool fillData() {
        return recreate(m_dataTable,
                        "NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT NULL, PROGRIGA_ODL decimal(6,0) "
                        "NULL, FASE decimal(5,0) NULL, CLIFOR decimal(9,0) NULL, ARTICOLO nvarchar(25) "
                        "COLLATE DATABASE_DEFAULT NULL, GIACENZA decimal(14,3) NULL") &&
               exec("INSERT INTO " + m_dataTable +
                    " (NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR,ARTICOLO,GIACENZA)"
                    " SELECT "
                    "PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,PD5M_CODART_MG66,"
                    "ROUND(SUM(PD5M_QTA),3)" +
                    m_from + m_where +
                    " GROUP BY PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,"
                    "PD5M_CODART_MG66");
    }

    // The production orders that have quantities, and the subcontract orders that refer to them.
    bool fillHeaders() {
        if (m_headersTable.empty())
            return true;
        const std::string columns = " (NUMREG,TIPODOC,STIPODOC,DOCUM,NUMDOC,DATADOC,CLIFOR,NUMREG_ODL)";
        const std::string company = std::to_string(m_company);
        return recreate(
                   m_headersTable,
                   "NUMREG varchar(12) COLLATE DATABASE_DEFAULT NULL, TIPODOC smallint NULL, STIPODOC "
                   "smallint "
                   "NULL, DOCUM nvarchar(7) COLLATE DATABASE_DEFAULT NULL, NUMDOC decimal(7,0) NULL, DATADOC "
                   "datetime NULL, CLIFOR decimal(9,0) NULL, NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT "
                   "NULL") &&
               exec("INSERT INTO " + m_headersTable + columns +
                    " SELECT "
                    "DO11_NUMREG_CO99,DO11_TIPODOC,DO11_STIPODOC,DO11_DOCUM_MG36,DO11_NUMDOC,DO11_DATADOC,"
                    "DO11_CLIFOR_CG44,DO11_NUMREG_CO99 FROM DO11_DOCTESTATA WITH (NOLOCK) WHERE "
                    "DO11_DITTA_CG18 = " +
                    company + " AND DO11_NUMREG_CO99 IN (SELECT NUMREG_ODL FROM " + m_dataTable + ")") &&
               exec(
                   "INSERT INTO " + m_headersTable + columns +
                   " SELECT DISTINCT DO11_NUMREG_CO99,DO11_TIPODOC,DO11_STIPODOC,DO11_DOCUM_MG36,DO11_NUMDOC,"
                   "DO11_DATADOC,DO11_CLIFOR_CG44,DO33_NUMREGRIF_CO99 FROM DO33_DOCCORPORIF WITH (NOLOCK)"
                   " INNER JOIN DO11_DOCTESTATA WITH (NOLOCK) ON DO11_DITTA_CG18 = DO33_DITTA_CG18"
                   " AND DO11_NUMREG_CO99 = DO33_NUMREG_CO99 WHERE DO33_DITTA_CG18 = " +
                   company +
                   " AND DO11_TIPODOC = 25 AND DO11_STIPODOC = 1 AND DO33_NUMREGRIF_CO99 IN (SELECT "
                   "NUMREG_ODL FROM " +
                   m_dataTable + ")");
    }

    // The documents that moved material into or out of each phase, with their net quantity.
    bool fillPhaseDocuments() {
        if (m_phaseDocumentsTable.empty())
            return true;
        return recreate(m_phaseDocumentsTable, "NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT NULL, "
                                               "PROGRIGA_ODL decimal(6,0) NULL, FASE "
                                               "decimal(5,0) NULL, CLIFOR decimal(9,0) NULL, NUMREG_DOC "
                                               "varchar(12) COLLATE DATABASE_DEFAULT "
                                               "NULL, DATA_DOC datetime NULL, QTA decimal(14,3) NULL") &&
               exec("INSERT INTO " + m_phaseDocumentsTable +
                    " (NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR,NUMREG_DOC,DATA_DOC,QTA)"
                    " SELECT PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,"
                    "PD5M_NUMREGDOC_CO99,MIN(PD5M_DATAMOV),ROUND(SUM(PD5M_QTA),3)" +
                    m_from + m_where +
                    " AND PD5M_NUMREGDOC_CO99 IS NOT NULL GROUP BY PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,"
                    "PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,PD5M_NUMREGDOC_CO99");
    }

    // Movements of an article other than the order line's (a semi-finished code at a phase).
    bool fillArticleChanges() {
        if (m_articleChangesTable.empty())
            return true;
        return recreate(
                   m_articleChangesTable,
                   "NUMREG_ODL varchar(12) COLLATE DATABASE_DEFAULT NULL, PROGRIGA_ODL decimal(6,0) NULL, "
                   "FASE "
                   "decimal(5,0) NULL, CLIFOR decimal(9,0) NULL, ARTICOLO_ODL nvarchar(25) COLLATE "
                   "DATABASE_DEFAULT NULL, ARTICOLO nvarchar(25) COLLATE DATABASE_DEFAULT NULL, NUMREG_DOC "
                   "varchar(12) COLLATE DATABASE_DEFAULT NULL, QTA decimal(14,3) NULL") &&
               exec("INSERT INTO " + m_articleChangesTable +
                    " (NUMREG_ODL,PROGRIGA_ODL,FASE,CLIFOR,ARTICOLO_ODL,ARTICOLO,NUMREG_DOC,QTA)"
                    " SELECT "
                    "PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,DO30_CODART_MG66,"
                    "PD5M_CODART_MG66,PD5M_NUMREGDOC_CO99,ROUND(SUM(PD5M_QTA),3)" +
                    m_from +
                    " INNER JOIN DO30_DOCCORPO WITH (NOLOCK) ON DO30_DITTA_CG18 = PD5M_DITTA_CG18"
                    " AND DO30_NUMREG_CO99 = PD5M_NUMREG_CO99 AND DO30_PROGRIGA = PD5M_PROGRIGA_DO30" +
                    m_where +
                    " AND PD5M_CODART_MG66 <> DO30_CODART_MG66 GROUP BY PD5M_NUMREG_CO99,PD5M_PROGRIGA_DO30,"
                    "PD5M_CODFASE_PD12,PD5M_CLIFOR_CG44,DO30_CODART_MG66,PD5M_CODART_MG66,PD5M_NUMREGDOC_"
                    "CO99");
    }

    bool recreate(const std::string& table, const std::string& columns) {
        return exec(dropStatement(table)) && exec("CREATE TABLE " + table + " (" + columns + ")");
    }

    bool exec(const std::string& sql) { return m_connection.execute(sql, nullptr, m_errors, {true, 0, {}}); }

    bool fail(std::int64_t number, std::string text, const char* sqlState = "42000") {
        m_errors.push_back(makeError(number, std::move(text), sqlState));
        return false;
    }

    tsqlite::Connection& m_connection;
    std::vector<tsqlite::Error>& m_errors;
    std::int64_t m_company = 0;
    std::int64_t m_phaseKind = 0;
    bool m_withClosed = false;
    std::optional<std::string> m_movementsUpTo;
    std::optional<std::string> m_closedFrom;
    std::string m_dataTable, m_filterTable, m_headersTable, m_phaseDocumentsTable, m_articleChangesTable;
    std::string m_from, m_where;
};

} // namespace

bool runSitcLavoro(tsqlite::Connection& connection, const std::vector<tsqlite::Parameter>& parameters,
                   tsqlite::ResultSink*, std::vector<tsqlite::Error>& errors) {
    Arguments args;
    if (!args.read(parameters, errors))
        return false;
    return Procedure(connection, errors).run(args);
}

} // namespace erpdb::detail
