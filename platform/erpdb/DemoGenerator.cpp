#include "erpdb.h"

#include "BulkInserter.h"
#include "DemoCatalog.h"
#include "DemoRandom.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace erpdb {
namespace detail {
namespace {

constexpr int kProductionType = 24, kProductionSubtype = 20;
constexpr int kSubcontractType = 25, kSubcontractSubtype = 1;
constexpr int kCustomerOrderType = 21, kCustomerOrderSubtype = 1;
constexpr int kNoMovementReason = 9999;
constexpr int kSendReason = 2001;
constexpr const char* kProductionStore = "02";
constexpr const char* kSubcontractStore = "CL";

// How far an order line has come, which decides its dates and its movements.
enum class Progress { Future, EarlySend, Running, Stalled, Late, Completed, Unscheduled, NegativeStock };

struct ArticleInfo {
    QString code;
    QString description;
    const ArticleKind* kind = nullptr;
    QString semiFinished; // code of the semi-finished article sent out instead, or empty
    QString option;       // a variant the article is also ordered in, or empty
};

struct SupplierInfo {
    int clifor = 0;
    int registry = 0;
    const Subcontractor* data = nullptr;
};

// One phase row of an order line's routing, with what happened to it.
struct Step {
    int sequence = 0;
    int subPhase = 0;
    const Phase* phase = nullptr;
    int supplier = 0; // 0 for an internal phase
    int days = 1;
    QDate start, end;
    std::int64_t in = 0, done = 0, scrap = 0, extraReturn = 0; // thousandths
    int state = 0;                                             // -1 for null
};

struct LinePlan {
    const ArticleInfo* article = nullptr;
    std::int64_t quantity = 0;
    QString option;
    Progress progress = Progress::Future;
    int state = 0; // -1 for null
    bool cancelled = false;
    bool sendsSemiFinished = false;
    std::vector<Step> steps;
    QDate docDate;
};

QString pad(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

class Generator {
public:
    Generator(sqlite3* db, const DemoOptions& options)
        : m_db(db), m_options(options), m_rng(options.seed), m_today(options.today),
          m_do11(db, "DO11_DOCTESTATA",
                 {"DO11_DITTA_CG18", "DO11_NUMREG_CO99", "DO11_TIPODOC", "DO11_STIPODOC", "DO11_DOCUM_MG36",
                  "DO11_DATADOC", "DO11_NUMDOC", "DO11_SEZDOC", "DO11_TIPOCF_CG44", "DO11_CLIFOR_CG44",
                  "DO11_CAUSMAG_MG51", "DO11_RIFERIMENTO"}),
          m_do30(db, "DO30_DOCCORPO",
                 {"DO30_DITTA_CG18", "DO30_NUMREG_CO99", "DO30_PROGRIGA", "DO30_PROGVISUASTA",
                  "DO30_INDTIPORIGA", "DO30_CODART_MG66", "DO30_OPZIONE_MG5E", "DO30_DESCART",
                  "DO30_CODDEP_MG58", "DO30_UM1", "DO30_QTA1", "DO30_QTA1EVASA", "DO30_FLGEVASA",
                  "DO30_FLGANNULLATA", "DO30_PREZZO1"}),
          m_do31(db, "DO31_DOCCORPOORD",
                 {"DO31_DITTA_CG18", "DO31_NUMREG_CO99", "DO31_PROGRIGA", "DO31_INDSTATOCONS",
                  "DO31_DATACONS", "DO31_DATACONSINT", "DO31_DATAINIZLAV"}),
          m_do33(db, "DO33_DOCCORPORIF",
                 {"DO33_DITTA_CG18", "DO33_NUMREG_CO99", "DO33_PROGRIGA", "DO33_NUMREGRIF_CO99",
                  "DO33_PROGRIGARIF_DO30", "DO33_QTA1RIF"}),
          m_do41(db, "DO41_DOCCORPOPROGE",
                 {"DO41_DITTA_CG18", "DO41_NUMREG_CO99", "DO41_PROGRIGA", "DO41_CODCOMMESSA",
                  "DO41_CODSCOMMESSA", "DO41_CODPROGETTO", "DO41_CODSPROGETTO", "DO41_NODORIF_PD0C"}),
          m_do46(db, "DO46_DOCCORORDDET",
                 {"DO46_DITTA_CG18", "DO46_NUMREG_CO99", "DO46_PROGRIGA", "DO46_CODSEQFASE", "DO46_PROGSFASE",
                  "DO46_CODFASE", "DO46_INDFASEINTEST", "DO46_TIPOCF_CG44", "DO46_CLIFOR_CG44",
                  "DO46_CODREPARTO", "DO46_DATAINIZIO", "DO46_DATAFINE", "DO46_INDSTATOORD", "DO46_QTA1ORD",
                  "DO46_QTA1CONSOLID", "DO46_QTA1SCARTO", "DO46_IDCICLO_PD48", "DO46_NOTECOSTR"}),
          m_pd5m(db, "PD5M_MOVFASE",
                 {"PD5M_ID", "PD5M_DITTA_CG18", "PD5M_NUMREG_CO99", "PD5M_PROGRIGA_DO30", "PD5M_CODFASE_PD12",
                  "PD5M_CLIFOR_CG44", "PD5M_CODART_MG66", "PD5M_CODDEP_MG58", "PD5M_DATAMOV", "PD5M_QTA",
                  "PD5M_NUMREGDOC_CO99", "PD5M_CAUSALE"}),
          m_pd48(db, "PD48_CICLI",
                 {"PD48_IDCICLO", "PD48_DITTA_CG18", "PD48_CICLO_PD52", "PD48_CODART_MG66",
                  "PD48_NUMREG_CO99", "PD48_PROGRIGA_DO30"}),
          m_pd95(db, "PD95_DISBA",
                 {"PD95_IDDISBA", "PD95_DITTA_CG18", "PD95_CODART_MG66", "PD95_TIPO_DISTINTA",
                  "PD95_CODICE_DB", "PD95_DESCR"}),
          m_pd96(db, "PD96_DISBARIGHE",
                 {"PD96_IDDISBA_PD95", "PD96_PROGRIGA", "PD96_CODARTCOMP_MG66", "PD96_QTA"}),
          m_mg66(db, "MG66_ANAGRART",
                 {"MG66_DITTA_CG18", "MG66_CODART", "MG66_DESCART", "MG66_UM1", "MG66_INDTIPOART",
                  "MG66_FAM_MG53", "MG66_SFAM_MG54", "MG66_GRUPPO_MG55", "MG66_SGRUPPO_MG56",
                  "MG66_GRUSTAT1_MG74", "MG66_GRUSTAT2_MG75", "MG66_GRUSTAT3_MG76", "MG66_GRUSTAT4_MG77",
                  "MG66_INDSTATO_MG6W"}),
          m_pd18(db, "PD18_ARTPROD",
                 {"PD18_DITTA_CG18", "PD18_CODART_MG66", "PD18_TIPOPROD_PD20", "PD18_CODPROV_PD21",
                  "PD18_CICLO_PD52", "PD18_LOTTO", "PD18_GGLT"}),
          m_mg70(db, "MG70_MAGPROQTA",
                 {"MG70_DITTA_CG18", "MG70_CODART_MG66", "MG70_OPZIONE_MG5E", "MG70_CODDEP_MG58",
                  "MG70_TIPOPROG", "MG70_ANNO", "MG70_TIPOQTA", "MG70_QGIACATT"}),
          m_cg16(db, "CG16_ANAGGEN",
                 {"CG16_CODICE", "CG16_RAGSOANAG", "CG16_INDIRIZZO", "CG16_CAP", "CG16_CITTA", "CG16_PROV",
                  "CG16_CODICE_CG07", "CG16_RAGSOCOR", "CG16_INDIRCOR", "CG16_CAPCOR", "CG16_CITTACOR",
                  "CG16_PROVCOR", "CG16_CODICECOR_CG07", "CG16_PARTIVA", "CG16_TEL1NUM", "CG16_FAXNUM",
                  "CG16_INDEMAIL", "CG16_INDWEB"}),
          m_cg44(db, "CG44_CLIFOR", {"CG44_DITTA_CG18", "CG44_TIPOCF", "CG44_CLIFOR", "CG44_CODICE_CG16"}),
          m_co02(db, "CO02_ANAGCONTATTO",
                 {"CO02_ID", "CO02_COGNOMENOME", "CO02_RUOLO", "CO02_TEL", "CO02_FAX", "CO02_EMAIL1"}),
          m_co03(db, "CO03_LEGCONTATTO",
                 {"CO03_CODICE_CG16", "CO03_ID_CO02", "CO03_TIPO_CO01", "CO03_FLGPREF"}) {}

    bool run(DemoSummary* summary, QString* error) {
        sharedData();
        const int secondCompanyLines = m_options.lines / 10;
        company(1, m_options.lines - secondCompanyLines);
        if (secondCompanyLines > 0) {
            company(2, secondCompanyLines);
            sharedCatalogueOrders(2, secondCompanyLines);
        }
        for (const BulkInserter* ins :
             {&m_do11, &m_do30, &m_do31, &m_do33, &m_do41, &m_do46, &m_pd5m, &m_pd48, &m_pd95, &m_pd96,
              &m_mg66, &m_pd18, &m_mg70, &m_cg16, &m_cg44, &m_co02, &m_co03}) {
            if (!ins->ok() && m_error.isEmpty())
                m_error = ins->error();
        }
        if (!m_error.isEmpty()) {
            if (error)
                *error = m_error;
            return false;
        }
        if (summary)
            *summary = m_summary;
        return true;
    }

private:
    // --- small helpers -------------------------------------------------------------------

    // A one-off insert for the master tables, which hold few rows.
    void insert(const char* table, std::initializer_list<const char*> columns,
                std::initializer_list<SqlValue> values) {
        BulkInserter ins(m_db, table, columns);
        ins.insert(values);
        if (!ins.ok() && m_error.isEmpty())
            m_error = ins.error();
    }

    QString registrationNumber(const QDate& date) {
        const int year = date.isValid() ? date.year() : m_today.year();
        return QString::number(year) + pad(++m_registrationCounter, 8);
    }

    int documentNumber(int company, const char* documentType, const QDate& date) {
        const QString key =
            QStringLiteral("%1/%2/%3").arg(company).arg(QLatin1String(documentType)).arg(date.year());
        return ++m_documentNumbers[key];
    }

    QDate notAfterToday(const QDate& d) const { return d > m_today ? m_today : d; }

    // A share of a quantity, in whole units unless the article is weighed.
    std::int64_t share(std::int64_t quantity, int percent, bool whole) const {
        std::int64_t v = quantity * percent / 100;
        if (whole)
            v = std::max<std::int64_t>(1000, (v + 500) / 1000 * 1000);
        return std::min(v, quantity);
    }

    QString phone(const Place& p) {
        return QStringLiteral("0%1 %2").arg(QLatin1String(p.areaCode)).arg(m_rng.between(200000, 9999999));
    }

    QString slug(const QString& name) const {
        QString out;
        for (QChar c : name.toLower()) {
            if (c.isLetter() && c.unicode() < 128)
                out += c;
        }
        return out;
    }

    // --- data shared by every company ----------------------------------------------------

    void sharedData() {
        for (auto [code, text] :
             {std::pair{"IT", "Italia"}, {"DE", "Germania"}, {"FR", "Francia"}, {"CH", "Svizzera"}})
            insert("CG07_TABSTATIEST", {"CG07_CODICE", "CG07_DESCR"}, {code, text});
        for (auto [code, text] : {std::pair{0, "Attivo"}, {1, "In esaurimento"}, {2, "Bloccato"}})
            insert("MG6W_STATIART", {"MG6W_CODICE", "MG6W_DESCR"}, {code, text});
        for (const CodeText& t : contactTypes())
            insert("CO01_TIPICONTATTO", {"CO01_CODICE", "CO01_DESCR"}, {t.code, t.text});

        struct DocumentType {
            const char* code;
            const char* description;
            int type, subtype, perCompany;
            const char* secondCompany;
        };
        const DocumentType documents[] = {
            {"OPR", "Ordine di produzione", kProductionType, kProductionSubtype, 1, "Ordine di lavorazione"},
            {"OPRU", "Ordine di produzione urgente", kProductionType, kProductionSubtype, 0, nullptr},
            {"OCL", "Ordine conto lavoro", kSubcontractType, kSubcontractSubtype, 1, "Ordine a terzista"},
            {"OCLR", "Ordine conto lavoro ripresa", kSubcontractType, kSubcontractSubtype, 0, nullptr},
            {"OC", "Ordine cliente", kCustomerOrderType, kCustomerOrderSubtype, 0, nullptr},
            {"OF", "Ordine fornitore", 22, 1, 0, nullptr},
            {"DDTCL", "DDT invio conto lavoro", 30, 5, 0, nullptr},
        };
        for (const DocumentType& d : documents) {
            insert("MG36_DOCUMENTI",
                   {"MG36_CODDOCUM", "MG36_DESCDOCUM", "MG36_TIPODOC", "MG36_STIPODOC", "MG36_INDSTAPER"},
                   {d.code, d.description, d.type, d.subtype, d.perCompany});
            if (d.secondCompany)
                insert("MG37_DOCUMDITTA", {"MG37_CODDOCUM_MG36", "MG37_DITTA_CG18", "MG37_DESCDOCUM"},
                       {d.code, 2, d.secondCompany});
        }
        for (const FixedText& t : fixedTexts())
            insert("MG62_TESTIFIS", {"MG62_CODICE", "MG62_DESCR", "MG62_TESTO"},
                   {t.code, t.description, t.text});
        insert("MG63_TESTIFISDITTA", {"MG63_CODICE_MG62", "MG63_DITTA_CG18", "MG63_DESCR"},
               {"SOLL01", 2, "Sollecito rientro materiale"});

        const char* users[][4] = {{"admin", "Amministratore di sistema", "ADMIN", "ced@officinedemo.it"},
                                  {"mrossi", "Mario Rossi", "MROSSI", "m.rossi@officinedemo.it"},
                                  {"gbianchi", "Giulia Bianchi", "GBIANCHI", "g.bianchi@officinedemo.it"},
                                  {"lferrari", "Luca Ferrari", "LFERRARI", "l.ferrari@officinedemo.it"},
                                  {"cromano", "Chiara Romano", "CROMANO", "c.romano@officinedemo.it"},
                                  {"acolombo", "Andrea Colombo", "ACOLOMBO", "a.colombo@officinedemo.it"},
                                  {"fricci", "Francesca Ricci", "FRICCI", "f.ricci@officinedemo.it"},
                                  {"mmarino", "Marco Marino", "MMARINO", "m.marino@officinedemo.it"},
                                  {"sgreco", "Sara Greco", "SGRECO", "s.greco@officinedemo.it"},
                                  {"pbruno", "Paolo Bruno", "PBRUNO", "p.bruno@officinedemo.it"},
                                  {"egallo", "Elena Gallo", "EGALLO", "e.gallo@officinedemo.it"},
                                  {"dconti", "Davide Conti", "DCONTI", "d.conti@officinedemo.it"}};
        int id = 0;
        for (const auto& u : users)
            insert("FW07_APPUSER",
                   {"FW07_ID", "FW07_LOGIN", "FW07_DESCR", "FW07_IDENTITA", "FW07_EMAIL", "FW07_DITTA_CG18"},
                   {++id, u[0], u[1], u[2], u[3], 1});

        // A relative spool folder is read from the folder of the database file.
        insert("FW23_FAXER",
               {"FW23_ID", "FW23_INDTIPO", "FW23_DESCR", "FW23_SERVER", "FW23_PORTA", "FW23_MITTENTE",
                "FW23_CARTELLASPOOL"},
               {1, 0, "Fax server aziendale", Null{}, Null{}, "+39 02 5550100", "fax-spool"});
        insert(
            "FW23_FAXER",
            {"FW23_ID", "FW23_INDTIPO", "FW23_DESCR", "FW23_SERVER", "FW23_PORTA", "FW23_MITTENTE",
             "FW23_CARTELLASPOOL"},
            {2, 1, "Posta elettronica (SMTP)", "127.0.0.1", 2525, "programmazione@officinedemo.it", Null{}});

        // Subcontractors and customers live in the general registry once, for every company.
        int index = 0;
        for (const Subcontractor& s : subcontractors()) {
            ++index;
            m_suppliers.push_back({70000 + 7 * index, 100 + index, &s});
        }
        for (const SupplierInfo& s : m_suppliers)
            registryEntry(s.registry, QString::fromUtf8(s.data->name), QString::fromLatin1(s.data->domain),
                          true);
        index = 0;
        for (const Company& c : customers()) {
            ++index;
            m_customers.push_back({10000 + index, 200 + index, nullptr});
            registryEntry(200 + index, QString::fromUtf8(c.name), QString::fromLatin1(c.domain), false);
        }
    }

    void registryEntry(int code, const QString& name, const QString& domain, bool supplier) {
        const Place& place = m_rng.pick(places());
        const QString street =
            QStringLiteral("%1, %2").arg(QString::fromUtf8(m_rng.pick(streets()))).arg(m_rng.between(1, 180));
        const bool correspondence = m_rng.percent(20);
        const Place& other = m_rng.pick(places());
        // Most entries have both numbers; some lack one, and one address is longer than the
        // 40 characters a reminder letter keeps.
        QString email = QStringLiteral("info@") + domain;
        if (code == 103)
            email = QStringLiteral("ufficio.amministrazione.fornitori@") + domain;
        const bool noFax = m_rng.percent(12);
        const int vatHigh = m_rng.between(1000000, 9999999);
        const QString vatNumber = QStringLiteral("IT%1%2").arg(vatHigh).arg(pad(m_rng.below(9999), 4));
        const bool noMail = m_rng.percent(8);
        m_cg16.insert({code, name, street, place.cap, place.city, place.province, "IT",
                       correspondence ? SqlValue(name) : SqlValue(Null{}),
                       correspondence
                           ? SqlValue(QStringLiteral("Casella postale %1").arg(m_rng.between(10, 999)))
                           : SqlValue(Null{}),
                       correspondence ? SqlValue(other.cap) : SqlValue(Null{}),
                       correspondence ? SqlValue(other.city) : SqlValue(Null{}),
                       correspondence ? SqlValue(other.province) : SqlValue(Null{}),
                       correspondence ? SqlValue("IT") : SqlValue(Null{}), vatNumber, phone(place),
                       noFax ? SqlValue(Null{}) : SqlValue(phone(place)),
                       noMail ? SqlValue(Null{}) : SqlValue(email), QStringLiteral("www.") + domain});
        contacts(code, domain, place, supplier);
    }

    // Contacts of several types; some preferred, some with a fax of blanks or no e-mail.
    void contacts(int registry, const QString& domain, const Place& place, bool supplier) {
        const int count = supplier ? m_rng.between(1, 4) : m_rng.between(0, 2);
        for (int i = 0; i < count; ++i) {
            const QString first = QString::fromUtf8(m_rng.pick(firstNames()));
            const QString last = QString::fromUtf8(m_rng.pick(lastNames()));
            const CodeText& type =
                contactTypes()[(registry + i) % (supplier ? 3 : int(contactTypes().size()))];
            SqlValue fax = m_rng.percent(70) ? SqlValue(phone(place)) : SqlValue(Null{});
            if (m_rng.percent(8))
                fax = SqlValue("   ");
            SqlValue mail =
                m_rng.percent(85)
                    ? SqlValue(QStringLiteral("%1.%2@%3").arg(first.left(1).toLower(), slug(last), domain))
                    : SqlValue(Null{});
            const int id = ++m_contactId;
            m_co02.insert({id, QStringLiteral("%1 %2").arg(last, first), QString::fromUtf8(type.text),
                           phone(place), fax, mail});
            m_co03.insert({registry, id, type.code, m_rng.percent(45) ? 1 : 0});
        }
    }

    // --- one company -----------------------------------------------------------------------

    void company(int company, int lines) {
        companyMasterData(company);
        articles(company, lines);
        for (int left = lines; left > 0;) {
            const int count = std::min(left, m_rng.percent(35) ? m_rng.between(2, 3) : 1);
            productionOrder(company, count);
            left -= count;
        }
        customerOrders(company, std::max(5, lines / 6), m_articles);
        if (company == 1)
            m_firstCompanyArticles = m_articles;
    }

    void companyMasterData(int company) {
        const bool first = company == 1;
        const Place& place = places()[first ? 0 : 2];
        const QString name = first ? QStringLiteral("Officine Meccaniche Demo S.p.A.")
                                   : QStringLiteral("Demo Carpenterie S.r.l.");
        m_cg16.insert({company, name, first ? "Via dell'Industria, 1" : "Via del Lavoro, 22", place.cap,
                       place.city, place.province, "IT", Null{}, Null{}, Null{}, Null{}, Null{}, Null{},
                       first ? "IT01234567890" : "IT09876543210", phone(place), phone(place),
                       first ? "info@officinedemo.it" : "info@democarpenterie.it",
                       first ? "www.officinedemo.it" : "www.democarpenterie.it"});
        insert("CG18_ANADITTABASE",
               {"CG18_DITTA", "CG18_CODICE_CG16", "CG18_INDIRLEG", "CG18_CAPLEG", "CG18_CITTALEG",
                "CG18_PROVLEG"},
               {company, company, first ? "Via dell'Industria, 1" : "Via del Lavoro, 22", place.cap,
                place.city, place.province});
        for (const SupplierInfo& s : m_suppliers)
            m_cg44.insert({company, 1, s.clifor, s.registry});
        for (const SupplierInfo& c : m_customers)
            m_cg44.insert({company, 0, c.clifor, c.registry});

        insert("PD01_PARAMDITTA", {"PD01_DITTA_CG18", "PD01_DEPCLAV_MG58", "PD01_DEPPROD_MG58"},
               {company, kSubcontractStore, kProductionStore});
        for (auto [code, text, clav] : {std::tuple{"01", "Magazzino centrale", 0},
                                        {kProductionStore, "Magazzino produzione", 0},
                                        {kSubcontractStore, "Materiale presso terzisti", 1}})
            insert("MG58_DEPOSITI", {"MG58_DITTA_CG18", "MG58_CODICE", "MG58_DESCR", "MG58_FLGCLAV"},
                   {company, code, text, clav});
        for (auto [code, text] : {std::pair{1, "Versamento da produzione"},
                                  {kSendReason, "Invio in conto lavoro"},
                                  {2002, "Rientro da conto lavoro"},
                                  {kNoMovementReason, "Conto lavoro senza movimenti"}})
            insert("MG51_CAUSALI", {"MG51_DITTA_CG18", "MG51_CODICE", "MG51_DESCR"}, {company, code, text});

        for (const CodeText& f : families()) {
            insert("MG53_FAMIGLIE", {"MG53_DITTA_CG18", "MG53_CODICE", "MG53_DESCR"},
                   {company, f.code, f.text});
        }
        const char* subfamilies[][3] = {
            {"MEC", "TOR", "Particolari torniti"}, {"MEC", "FRE", "Particolari fresati"},
            {"CAR", "SAL", "Strutture saldate"},   {"CAR", "LAM", "Particolari in lamiera"},
            {"OLE", "COR", "Corpi e blocchi"},     {"OLE", "RAC", "Flange e raccordi"},
            {"TRA", "ALB", "Alberi e mozzi"},      {"TRA", "ING", "Ingranaggi"}};
        for (const auto& s : subfamilies) {
            insert("MG54_SOTTOFAMIGLIE", {"MG54_DITTA_CG18", "MG54_FAM_MG53", "MG54_CODICE", "MG54_DESCR"},
                   {company, s[0], s[1], s[2]});
            for (auto [group, text] : {std::pair{"G1", "Serie standard"}, {"G2", "Serie speciale"}}) {
                insert("MG55_GRUPPI",
                       {"MG55_DITTA_CG18", "MG55_FAM_MG53", "MG55_SFAM_MG54", "MG55_CODICE", "MG55_DESCR"},
                       {company, s[0], s[1], group, text});
                for (auto [sub, subText] :
                     {std::pair{"S1", "Acciaio"}, {"S2", "Acciaio inox"}, {"S3", "Alluminio"}})
                    insert("MG56_SOTTOGRUPPI",
                           {"MG56_DITTA_CG18", "MG56_FAM_MG53", "MG56_SFAM_MG54", "MG56_GRUPPO_MG55",
                            "MG56_CODICE", "MG56_DESCR"},
                           {company, s[0], s[1], group, sub, subText});
            }
        }
        const char* statTables[][3] = {{"MG74_GRUSTAT1", "MG74_DITTA_CG18", "MG74_CODICE"},
                                       {"MG75_GRUSTAT2", "MG75_DITTA_CG18", "MG75_CODICE"},
                                       {"MG76_GRUSTAT3", "MG76_DITTA_CG18", "MG76_CODICE"},
                                       {"MG77_GRUSTAT4", "MG77_DITTA_CG18", "MG77_CODICE"}};
        const char* statDescr[] = {"MG74_DESCR", "MG75_DESCR", "MG76_DESCR", "MG77_DESCR"};
        const char* statValues[4][2][2] = {
            {{"A", "Alta rotazione"}, {"C", "Bassa rotazione"}},
            {{"ITA", "Mercato Italia"}, {"EXP", "Export"}},
            {{"STD", "A catalogo"}, {"CUS", "Su commessa"}},
            {{"2025", "Introdotto nel 2025"}, {"2026", "Introdotto nel 2026"}}};
        for (int t = 0; t < 4; ++t) {
            for (const auto& v : statValues[t])
                insert(statTables[t][0], {statTables[t][1], statTables[t][2], statDescr[t]},
                       {company, v[0], v[1]});
        }
        for (auto [code, text] :
             {std::pair{"PF", "Prodotto finito"}, {"SL", "Semilavorato"}, {"MP", "Materia prima"}})
            insert("PD20_TIPIPROD", {"PD20_DITTA_CG18", "PD20_CODICE", "PD20_DESCR"}, {company, code, text});
        for (auto [code, text] :
             {std::pair{"IN", "Produzione interna"}, {"CL", "Conto lavoro"}, {"AC", "Acquisto"}})
            insert("PD21_PROVENIENZE", {"PD21_DITTA_CG18", "PD21_CODICE", "PD21_DESCR"},
                   {company, code, text});

        for (const Department& d : departments())
            insert("PD07_REPARTO",
                   {"PD07_DITTA_CG18", "PD07_CODREP", "PD07_DESCR", "PD07_RESPONSABILE", "PD07_EMAIL"},
                   {company, d.code, d.description, d.head,
                    QStringLiteral("reparto.%1@officinedemo.it").arg(QString::fromLatin1(d.code).toLower())});
        for (const Phase& p : phases())
            insert("PD12_FASILAVORO",
                   {"PD12_DITTA_CG18", "PD12_CODFASE", "PD12_DESCR", "PD12_INDFASEINTEST", "PD12_CODREP_PD07",
                    "PD12_GGLAV"},
                   {company, p.code, p.description, p.external ? 1 : 0,
                    p.department ? SqlValue(p.department) : SqlValue(Null{}), p.days});
        for (const ArticleKind& k : articleKinds()) {
            const QString cycle = QStringLiteral("CIC-%1").arg(QLatin1String(k.prefix));
            insert("PD52_CICLI", {"PD52_DITTA_CG18", "PD52_CODCICLO", "PD52_DESCR"},
                   {company, cycle,
                    QStringLiteral("Ciclo standard %1")
                        .arg(QString::fromUtf8(k.description).section(' ', 0, 0))});
            int sequence = 0;
            for (const RoutingStep* s = k.routing; s->phase != 0; ++s) {
                sequence += 10;
                std::vector<std::pair<int, int>> rows; // sub-phase number, phase
                if (s->subPhases[0] == 0)
                    rows.push_back({0, s->phase});
                for (int i = 0; i < 3 && s->subPhases[i] != 0; ++i)
                    rows.push_back({i + 1, s->subPhases[i]});
                // Fixed days are the phase's usual lead time; 0.2 to 4.5 minutes a unit keep
                // the phase within a few days for the order quantities (10 to 500 units).
                for (auto [sub, code] : rows) {
                    const Phase* p = findPhase(code);
                    insert("PD53_FASICICLO",
                           {"PD53_DITTA_CG18", "PD53_CODCICLO_PD52", "PD53_CODSEQFASE", "PD53_PROGSFASE",
                            "PD53_CODFASE_PD12", "PD53_INDFASEINTEST", "PD53_CODREP_PD07", "PD53_CLIFOR_CG44",
                            "PD53_GGLAV", "PD53_TEMPOUNIT"},
                           {company, cycle, sequence, sub, code, p->external ? 1 : 0,
                            p->department ? SqlValue(p->department) : SqlValue(Null{}),
                            p->external ? SqlValue(supplierFor(code).clifor) : SqlValue(Null{}), p->days,
                            Qty{m_rng.between(2, 45) * 100}});
                }
            }
        }
        projectData(company);
        closures(company);
    }

    // The company's closures for the years the order book spans: two weeks around 15 August
    // and the days between Christmas and Epiphany, weekdays only (weekends and national
    // holidays are not working days anyway).
    void closures(int company) {
        const auto close = [&](QDate from, QDate to, const char* text) {
            for (QDate d = from; d <= to; d = d.addDays(1)) {
                if (d.dayOfWeek() <= 5 && !(d.month() == 8 && d.day() == 15))
                    insert("PDCA_CALENDARIO", {"PDCA_DITTA_CG18", "PDCA_DATA", "PDCA_DESCR"},
                           {company, d, text});
            }
        };
        for (int year = m_today.year() - 1; year <= m_today.year() + 1; ++year) {
            const QDate assumption(year, 8, 15);
            const QDate monday = assumption.addDays(1 - assumption.dayOfWeek());
            close(monday, monday.addDays(11), "Chiusura estiva");
            close(QDate(year, 1, 2), QDate(year, 1, 5), "Chiusura natalizia");
            close(QDate(year, 12, 27), QDate(year, 12, 31), "Chiusura natalizia");
        }
    }

    void projectData(int company) {
        for (const CodeText& j : jobs()) {
            insert("PD25_COMMESSA", {"PD25_DITTA_CG18", "PD25_CODCOMMESSA", "PD25_CODSOTCOMM", "PD25_DESCR"},
                   {company, j.code, 0, j.text});
            insert("PD25_COMMESSA", {"PD25_DITTA_CG18", "PD25_CODCOMMESSA", "PD25_CODSOTCOMM", "PD25_DESCR"},
                   {company, j.code, 1, QStringLiteral("%1 - ricambi").arg(QString::fromUtf8(j.text))});
        }
        for (auto [code, text] : {std::pair{"INT", "Progetto interno"}, {"CLI", "Progetto cliente"}})
            insert("PD1D_TIPIPROGETTI", {"PD1D_DITTA_CG18", "PD1D_CODICE", "PD1D_DESCR", "PD1D_INDTIPO"},
                   {company, code, text, 0});
        for (auto [code, text] : {std::pair{"APE", "Aperto"}, {"SOS", "Sospeso"}})
            insert("PD1E_STATIPROGETTI", {"PD1E_DITTA_CG18", "PD1E_CODICE", "PD1E_DESCR", "PD1E_INDSTATO"},
                   {company, code, text, 0});
        insert("PD1F_CLASSEAPROG", {"PD1F_DITTA_CG18", "PD1F_CODICE", "PD1F_DESCR"},
               {company, "STR", "Strategico"});
        insert("PD1G_CLASSEBPROG", {"PD1G_DITTA_CG18", "PD1G_CODICE", "PD1G_DESCR"},
               {company, "R&S", "Ricerca e sviluppo"});
        insert("PD1H_CLASSECPROG", {"PD1H_DITTA_CG18", "PD1H_CODICE", "PD1H_DESCR"},
               {company, "FIN", "Finanziato"});
        int n = 0;
        for (const CodeText& p : detail::projects()) {
            ++n;
            insert("PD68_PROGETTI",
                   {"PD68_DITTA_CG18", "PD68_CODPROG", "PD68_DESCRPROG", "PD68_TIPO_PD1D", "PD68_STATO_PD1E",
                    "PD68_CLASSEA_PD1F", "PD68_CLASSEB_PD1G", "PD68_CLASSEC_PD1H"},
                   {company, p.code, p.text, n % 2 ? "INT" : "CLI", n == 3 ? "SOS" : "APE", "STR",
                    n % 2 ? SqlValue("R&S") : SqlValue(Null{}), n == 1 ? SqlValue("FIN") : SqlValue(Null{})});
            for (int s = 1; s <= 2; ++s) {
                insert("PD69_SOTTOPROGETTI",
                       {"PD69_DITTA_CG18", "PD69_CODPROG_PD68", "PD69_SOTPROG", "PD69_DESCRSOTPROG"},
                       {company, p.code, s, s == 1 ? "Progettazione e prototipi" : "Preserie"});
                insert("PD0C_NODO", {"PD0C_DITTA_CG18", "PD0C_CODPROG_PD68", "PD0C_CODNODO", "PD0C_DESCR"},
                       {company, p.code, QStringLiteral("N%1").arg(pad(s, 2)),
                        s == 1 ? "Gruppo meccanico" : "Gruppo carpenteria"});
            }
        }
    }

    const SupplierInfo& supplierFor(int phase) {
        std::vector<const SupplierInfo*> able;
        for (const SupplierInfo& s : m_suppliers) {
            for (int p : s.data->phases) {
                if (p == phase)
                    able.push_back(&s);
            }
        }
        if (able.empty()) // a sub-phase goes to whoever does its parent treatment
            return supplierFor(920);
        return *able[m_rng.below(int(able.size()))];
    }

    void articles(int company, int lines) {
        m_articles.clear();
        const char* raw[][3] = {{"MP-C40-TONDO", "Tondo acciaio C40 trafilato", "KG"},
                                {"MP-S235-LAM", "Lamiera S235JR sp. 3 mm", "KG"},
                                {"MP-CUSN12", "Barra bronzo CuSn12", "KG"},
                                {"MP-AL6082", "Piatto alluminio 6082 T6", "KG"}};
        for (const auto& r : raw) {
            m_mg66.insert({company, r[0], r[1], r[2], 2, Null{}, Null{}, Null{}, Null{}, Null{}, Null{},
                           Null{}, Null{}, 0});
            m_mg70.insert({company, r[0], "", "01", 1, 0, 1, Qty::units(m_rng.between(500, 5000))});
        }
        const int count = std::clamp(lines / 10, company == 1 ? 30 : 12, 1500);
        const auto kinds = articleKinds();
        for (int i = 0; i < count; ++i) {
            ArticleInfo a;
            a.kind = &kinds[i % kinds.size()];
            const int size = m_rng.between(2, 30) * 5;
            a.code =
                QStringLiteral("%1%2-%3").arg(QLatin1String(a.kind->prefix), pad(size, 3), pad(i + 1, 4));
            a.description = QString::asprintf(a.kind->description, size, m_rng.between(2, 40) * 10);
            bool hasExternal = false;
            for (const RoutingStep* s = a.kind->routing; s->phase != 0; ++s)
                hasExternal = hasExternal || findPhase(s->phase)->external;
            if (hasExternal && m_rng.percent(12))
                a.semiFinished = a.code + QStringLiteral("-SL");
            if (m_rng.percent(8))
                a.option = m_rng.percent(50) ? QStringLiteral("RAL5010") : QStringLiteral("RAL7035");
            m_articles.push_back(a);
            writeArticle(company, a, i);
        }
    }

    void writeArticle(int company, const ArticleInfo& a, int index) {
        const ArticleKind& k = *a.kind;
        const char* group = index % 3 == 0 ? "G2" : "G1";
        const char* subgroup =
            k.family[0] == 'C' ? "S1" : (index % 4 == 0 ? "S2" : (index % 5 == 0 ? "S3" : "S1"));
        const int state = m_rng.percent(3) ? 1 : 0;
        m_mg66.insert({company, a.code, a.description, k.unit, 0, k.family, k.subfamily, group, subgroup,
                       m_rng.percent(60) ? "A" : "C", m_rng.percent(70) ? "ITA" : "EXP",
                       m_rng.percent(80) ? "STD" : "CUS", m_rng.percent(50) ? "2025" : "2026", state});
        const QString cycle = QStringLiteral("CIC-%1").arg(QLatin1String(k.prefix));
        m_pd18.insert({company, a.code, "PF", "IN", cycle, Qty::units(m_rng.between(1, 20) * 10),
                       m_rng.between(5, 30)});
        // A few articles are reworked commercial parts with no production bill of materials:
        // their phases never get a quantity in work.
        if (!m_rng.percent(6))
            billOfMaterials(company, a.code, a.description, k.unit);
        if (!a.semiFinished.isEmpty()) {
            m_mg66.insert({company, a.semiFinished, QStringLiteral("Semilavorato ") + a.description, k.unit,
                           1, k.family, k.subfamily, group, subgroup, Null{}, Null{}, Null{}, Null{}, 0});
            m_pd18.insert({company, a.semiFinished, "SL", "IN", cycle, Null{}, Null{}});
            billOfMaterials(company, a.semiFinished, a.description, k.unit);
        }
        if (!m_rng.percent(15)) {
            m_mg70.insert(
                {company, a.code, "", kProductionStore, 1, 0, 1, Qty::units(m_rng.between(0, 400))});
            m_mg70.insert({company, a.code, "", "01", 1, 0, 1, Qty::units(m_rng.between(0, 150))});
        }
        if (!a.option.isEmpty()) {
            insert("MG5E_OPZIONI", {"MG5E_DITTA_CG18", "MG5E_CODART_MG66", "MG5E_OPZIONE", "MG5E_DESCR"},
                   {company, a.code, a.option,
                    a.option == QLatin1String("RAL5010") ? "Verniciato blu genziana" : "Verniciato grigio"});
            m_mg70.insert(
                {company, a.code, a.option, kProductionStore, 1, 0, 1, Qty::units(m_rng.between(0, 60))});
        }
    }

    void billOfMaterials(int company, const QString& article, const QString& description, const char* unit) {
        const QString id = QStringLiteral("DB%1-%2").arg(company).arg(article);
        m_pd95.insert({id, company, article, 0, article, QStringLiteral("Distinta ") + description});
        const char* raw =
            unit[0] == 'K' ? "MP-C40-TONDO" : (m_rng.percent(50) ? "MP-C40-TONDO" : "MP-S235-LAM");
        m_pd96.insert({id, 1, raw, Qty{m_rng.between(200, 9000)}});
        if (m_rng.percent(30))
            m_pd96.insert({id, 2, "MP-AL6082", Qty{m_rng.between(100, 2000)}});
    }

    // --- production orders -------------------------------------------------------------------

    Progress pickProgress() {
        const int r = m_rng.below(100);
        if (r < 17)
            return Progress::Future;
        if (r < 21)
            return Progress::EarlySend;
        if (r < 50)
            return Progress::Running;
        if (r < 60)
            return Progress::Stalled;
        if (r < 85)
            return Progress::Late;
        if (r < 94)
            return Progress::Completed;
        if (r < 97)
            return Progress::Unscheduled;
        return Progress::NegativeStock;
    }

    LinePlan planLine() {
        LinePlan p;
        p.article = &m_articles[m_rng.below(int(m_articles.size()))];
        const bool whole = p.article->kind->unit[0] != 'K';
        static const int quantities[] = {10, 20, 25, 40, 50, 60, 80, 100, 120, 150, 200, 250, 500};
        p.quantity = Qty::units(m_rng.pick(quantities)).milli;
        if (!whole)
            p.quantity += m_rng.between(1, 999);
        if (!p.article->option.isEmpty() && m_rng.percent(50))
            p.option = p.article->option;
        p.progress = pickProgress();
        p.cancelled = m_rng.percent(1);
        p.sendsSemiFinished = !p.article->semiFinished.isEmpty() && m_rng.percent(60);

        int sequence = 0;
        for (const RoutingStep* s = p.article->kind->routing; s->phase != 0; ++s) {
            sequence += 10;
            const Phase* main = findPhase(s->phase);
            const int supplier = main->external ? supplierFor(s->phase).clifor : 0;
            auto add = [&](int sub, int code) {
                Step st;
                st.sequence = sequence;
                st.subPhase = sub;
                st.phase = findPhase(code);
                st.supplier = supplier;
                st.days = st.phase->days + (p.quantity > Qty::units(100).milli ? 1 : 0) + m_rng.below(2);
                p.steps.push_back(st);
            };
            if (s->subPhases[0] == 0)
                add(0, s->phase);
            for (int i = 0; i < 3 && s->subPhases[i] != 0; ++i)
                add(i + 1, s->subPhases[i]);
        }
        const int front = planFlows(p, whole);
        planDates(p, front);
        return p;
    }

    // Material flows from phase to phase: what entered each phase, what was reported done
    // (and moved on), what was scrapped.
    int planFlows(LinePlan& p, bool whole) {
        const int count = int(p.steps.size());
        int front = -1;
        switch (p.progress) {
        case Progress::Future:
            break;
        case Progress::EarlySend:
            front = 0;
            break;
        case Progress::Completed:
            front = count;
            break;
        default:
            front = m_rng.below(count);
        }
        std::int64_t available = p.quantity;
        for (int i = 0; i < count; ++i) {
            Step& s = p.steps[i];
            if (i < front) {
                s.in = available;
                if (m_rng.percent(12) && available >= Qty::units(20).milli)
                    s.scrap = share(available, m_rng.between(1, 3), whole);
                s.done = s.in - s.scrap;
                available = s.done;
                s.state = m_rng.percent(85) ? 3 : 2;
            } else if (i == front) {
                if (p.progress == Progress::Stalled || (p.progress == Progress::Late && m_rng.percent(20))) {
                    s.in = 0;
                } else if (p.progress == Progress::EarlySend) {
                    s.in = share(available, m_rng.between(50, 100), whole);
                } else {
                    s.in = m_rng.percent(60) ? available : share(available, m_rng.between(50, 90), whole);
                    s.done = m_rng.percent(35) ? 0 : share(s.in, m_rng.between(10, 80), whole);
                    if (s.done >= s.in)
                        s.done = 0;
                    if (p.progress == Progress::NegativeStock) {
                        s.done = s.in;
                        s.extraReturn = Qty::units(m_rng.between(1, 5)).milli;
                    }
                }
                s.state = s.done > 0 ? 2 : (s.in > 0 ? (s.supplier ? 4 : 1) : (m_rng.percent(50) ? 1 : 0));
                available = s.done;
            } else if (i == front + 1 && available > 0 && m_rng.percent(45)) {
                s.in = m_rng.percent(50) ? available : share(available, m_rng.between(30, 90), whole);
                s.state = s.supplier ? 4 : 1;
                available = 0;
            } else {
                s.state = m_rng.percent(70) ? 0 : 1;
            }
            if (m_rng.percent(1))
                s.state = -1;
        }
        return front;
    }

    // Phase dates one after the other from the line's start, placed around today so that
    // the line's front phase is late, running or still to come as its progress says.
    void planDates(LinePlan& p, int frontStep) {
        std::vector<int> startOffset;
        int offset = 0;
        for (const Step& s : p.steps) {
            startOffset.push_back(offset);
            offset += s.days;
        }
        const int front = std::clamp(frontStep, 0, int(p.steps.size()) - 1);
        QDate start;
        switch (p.progress) {
        case Progress::Future:
        case Progress::EarlySend:
            start = m_today.addDays(m_rng.between(1, 25));
            break;
        case Progress::Running:
        case Progress::Stalled:
        case Progress::NegativeStock:
            start = m_today.addDays(-(startOffset[front] + m_rng.below(p.steps[front].days)));
            break;
        case Progress::Late:
            start = m_today.addDays(-(startOffset[front] + p.steps[front].days + m_rng.between(1, 25)));
            break;
        case Progress::Completed:
            start = m_today.addDays(-(offset + m_rng.between(1, 30)));
            break;
        case Progress::Unscheduled:
            p.docDate = m_today.addDays(-m_rng.between(5, 40));
            return;
        }
        for (std::size_t i = 0; i < p.steps.size(); ++i) {
            p.steps[i].start = start.addDays(startOffset[i]);
            p.steps[i].end = p.steps[i].start.addDays(p.steps[i].days);
        }
        // A few old orders fall before the default six-month window of the schedule.
        p.docDate = notAfterToday(start.addDays(-m_rng.between(1, m_rng.percent(3) ? 240 : 20)));
    }

    int lineState(const LinePlan& p) {
        if (m_rng.percent(1))
            return -1;
        switch (p.progress) {
        case Progress::Future:
            return m_rng.percent(40) ? 0 : 1;
        case Progress::EarlySend:
            return 2;
        case Progress::Completed:
            return m_rng.percent(50) ? 4 : 9;
        case Progress::Unscheduled:
            return 1;
        default:
            return m_rng.percent(30) ? 2 : 3;
        }
    }

    void productionOrder(int company, int lineCount) {
        std::vector<LinePlan> lines;
        QDate docDate;
        for (int i = 0; i < lineCount; ++i) {
            lines.push_back(planLine());
            lines.back().state = lineState(lines.back());
            if (!docDate.isValid() || lines.back().docDate < docDate)
                docDate = lines.back().docDate;
        }
        const char* docType = m_rng.percent(10) ? "OPRU" : "OPR";
        const QString numreg = registrationNumber(docDate);
        m_do11.insert({company, numreg, kProductionType, kProductionSubtype, docType, docDate,
                       documentNumber(company, docType, docDate), "00", Null{}, Null{}, Null{}, Null{}});
        ++m_summary.productionOrders;
        int lineNumber = 0;
        for (const LinePlan& p : lines)
            productionLine(company, numreg, ++lineNumber, p);
    }

    static SqlValue nullable(int v) { return v < 0 ? SqlValue(Null{}) : SqlValue(v); }

    void productionLine(int company, const QString& numreg, int line, const LinePlan& p) {
        const ArticleInfo& a = *p.article;
        const QDate first = p.steps.front().start, last = p.steps.back().end;
        std::int64_t delivered = 0;
        if (p.state == 4)
            delivered = share(p.quantity, 50, a.kind->unit[0] != 'K');
        m_do30.insert({company, numreg, line, line * 10, 0, a.code, p.option, a.description, kProductionStore,
                       a.kind->unit, Qty{p.quantity}, Qty{delivered}, p.state == 9 ? 1 : 0,
                       p.cancelled ? 1 : 0, Null{}});
        m_do31.insert({company, numreg, line, nullable(p.state), last, Null{}, first});
        const int cycleId = ++m_cycleId;
        m_pd48.insert({cycleId, company, QStringLiteral("CIC-%1").arg(QLatin1String(a.kind->prefix)), a.code,
                       numreg, line});
        // The order line's own bill of materials, found by order number and line.
        m_pd95.insert({numreg + QString::number(line), company, a.code, 1, a.code,
                       QStringLiteral("Distinta ordine %1/%2").arg(numreg).arg(line)});
        if (m_rng.percent(35))
            projectLink(company, numreg, line);
        ++m_summary.productionLines;

        for (const Step& s : p.steps) {
            const SqlValue note =
                m_rng.percent(8)
                    ? SqlValue(constructionNotes()[m_rng.below(int(constructionNotes().size()))].text)
                    : SqlValue(Null{});
            phaseRow(company, numreg, line, s, p.quantity, cycleId, note);
            ++m_summary.phases;
            movements(company, numreg, line, s, p);
        }
        subcontractOrders(company, numreg, line, p);
    }

    void phaseRow(int company, const QString& numreg, int line, const Step& s, std::int64_t quantity,
                  int cycleId, const SqlValue& note) {
        const bool external = s.supplier != 0;
        m_do46.insert({company, numreg, line, s.sequence, s.subPhase, s.phase->code, external ? 1 : 0,
                       external ? 1 : 0, s.supplier,
                       external ? SqlValue(Null{}) : SqlValue(s.phase->department), s.start, s.end,
                       nullable(s.state), Qty{quantity}, Qty{s.done}, Qty{s.scrap},
                       cycleId ? SqlValue(cycleId) : SqlValue(Null{}), note});
    }

    void projectLink(int company, const QString& numreg, int line) {
        const bool job = m_rng.percent(60);
        const bool project = !job || m_rng.percent(30);
        const CodeText& j = jobs()[m_rng.below(int(jobs().size()))];
        const CodeText& pr = detail::projects()[m_rng.below(int(projects().size()))];
        const int sub = m_rng.between(1, 2);
        m_do41.insert({company, numreg, line, job ? SqlValue(j.code) : SqlValue(Null{}),
                       job ? SqlValue(m_rng.percent(20) ? 1 : 0) : SqlValue(Null{}),
                       project ? SqlValue(pr.code) : SqlValue(Null{}),
                       project ? SqlValue(sub) : SqlValue(Null{}),
                       project ? SqlValue(QStringLiteral("N%1").arg(pad(sub, 2))) : SqlValue(Null{})});
    }

    // Positive movements bring material into a phase, negative ones take it out (returned by
    // the subcontractor, reported done, scrapped).
    void movements(int company, const QString& numreg, int line, const Step& s, const LinePlan& p) {
        if (s.in <= 0)
            return;
        const bool external = s.supplier != 0;
        const QString article = external && p.sendsSemiFinished ? p.article->semiFinished : p.article->code;
        const char* store = external ? kSubcontractStore : kProductionStore;
        QDate date = s.start.isValid() ? notAfterToday(s.start.addDays(-m_rng.between(0, 3)))
                                       : m_today.addDays(-m_rng.between(5, 20));
        const bool whole = p.article->kind->unit[0] != 'K';
        auto move = [&](std::int64_t qty, const char* reason) {
            m_pd5m.insert({++m_movementId, company, numreg, line, s.phase->code, s.supplier, article, store,
                           date, Qty{qty}, registrationNumber(date), reason});
            ++m_summary.movements;
        };
        std::int64_t left = s.in;
        if (left >= Qty::units(10).milli && m_rng.percent(40)) {
            const std::int64_t part = share(left, m_rng.between(30, 70), whole);
            move(part, external ? "Invio c/lavoro" : "Versamento in fase");
            left -= part;
            date = notAfterToday(date.addDays(m_rng.between(1, 3)));
        }
        move(left, external ? "Invio c/lavoro" : "Versamento in fase");
        if (s.done > 0) {
            date = notAfterToday(date.addDays(m_rng.between(1, 4)));
            std::int64_t back = s.done;
            if (back >= Qty::units(10).milli && m_rng.percent(30)) {
                const std::int64_t part = share(back, 50, whole);
                move(-part, external ? "Rientro c/lavoro" : "Avanzamento produzione");
                back -= part;
                date = notAfterToday(date.addDays(1));
            }
            move(-back, external ? "Rientro c/lavoro" : "Avanzamento produzione");
        }
        if (s.scrap > 0)
            move(-s.scrap, "Scarto di lavorazione");
        if (s.extraReturn > 0)
            move(-s.extraReturn, external ? "Rientro c/lavoro" : "Avanzamento produzione");
    }

    // One subcontract order per external phase that was sent or is about to be, referring to
    // the production order line; now and then a second one for a split delivery.
    void subcontractOrders(int company, const QString& odl, int odlLine, const LinePlan& p) {
        for (std::size_t i = 0; i < p.steps.size();) {
            std::size_t j = i;
            while (j < p.steps.size() && p.steps[j].sequence == p.steps[i].sequence)
                ++j;
            const Step& head = p.steps[i];
            if (head.supplier != 0) {
                bool sent = false, done = true;
                for (std::size_t k = i; k < j; ++k) {
                    sent = sent || p.steps[k].in > 0;
                    done = done && p.steps[k].in > 0 && p.steps[k].done >= p.steps[k].in;
                }
                if (sent || m_rng.percent(40)) {
                    subcontractOrder(company, odl, odlLine, p, i, j, p.quantity, sent, done);
                    if (sent && m_rng.percent(5))
                        subcontractOrder(company, odl, odlLine, p, i, j, share(p.quantity, 50, true), sent,
                                         false);
                }
            }
            i = j;
        }
    }

    void subcontractOrder(int company, const QString& odl, int odlLine, const LinePlan& p, std::size_t from,
                          std::size_t to, std::int64_t quantity, bool sent, bool done) {
        const Step& head = p.steps[from];
        const Step& tail = p.steps[to - 1];
        const QDate docDate = head.start.isValid() ? notAfterToday(head.start.addDays(-m_rng.between(1, 5)))
                                                   : m_today.addDays(-m_rng.between(1, 20));
        const char* docType = m_rng.percent(10) ? "OCLR" : "OCL";
        const QString numreg = registrationNumber(docDate);
        const int reason = m_rng.percent(6) ? kNoMovementReason : kSendReason;
        m_do11.insert({company, numreg, kSubcontractType, kSubcontractSubtype, docType, docDate,
                       documentNumber(company, docType, docDate), "00", 1, head.supplier, reason,
                       QStringLiteral("Rif. ODL %1/%2").arg(odl).arg(odlLine)});
        const QString article = p.sendsSemiFinished ? p.article->semiFinished : p.article->code;
        const int state = done ? (m_rng.percent(50) ? 4 : 9) : (sent ? 3 : 1);
        m_do30.insert({company, numreg, 1, 10, 0, article, p.option, p.article->description,
                       kSubcontractStore, p.article->kind->unit, Qty{quantity}, Qty{done ? quantity : 0},
                       state == 9 ? 1 : 0, 0, Qty{m_rng.between(50, 900) * 10}});
        m_do31.insert(
            {company, numreg, 1, state, tail.end,
             m_rng.percent(30) && tail.end.isValid() ? SqlValue(tail.end.addDays(2)) : SqlValue(Null{}),
             head.start});
        for (std::size_t k = from; k < to; ++k)
            phaseRow(company, numreg, 1, p.steps[k], quantity, 0, Null{});
        m_do33.insert({company, numreg, 1, odl, odlLine, Qty{quantity}});
        ++m_summary.subcontractOrders;
        ++m_summary.subcontractLines;
    }

    // --- customer orders ---------------------------------------------------------------------

    // Company 2 also sells a few of company 1's articles under the same codes, as companies of
    // one group sharing a catalogue do: the customer-commitment view, which looks at every
    // company, then lists lines of both for those articles.
    void sharedCatalogueOrders(int company, int productionLines) {
        std::vector<ArticleInfo> shared;
        const int wanted = std::min<int>(int(m_firstCompanyArticles.size()), 8);
        for (int i = 0; i < wanted; ++i) {
            const ArticleInfo& a =
                m_firstCompanyArticles[std::size_t(i) * m_firstCompanyArticles.size() / wanted];
            const bool own = std::any_of(m_articles.begin(), m_articles.end(),
                                         [&a](const ArticleInfo& b) { return b.code == a.code; });
            if (own)
                continue;
            const ArticleKind& k = *a.kind;
            m_mg66.insert({company, a.code, a.description, k.unit, 0, k.family, k.subfamily, "G1", "S1",
                           Null{}, Null{}, Null{}, Null{}, 0});
            shared.push_back(a);
        }
        if (!shared.empty())
            customerOrders(company, std::max(4, productionLines / 3), shared);
    }

    void customerOrders(int company, int orders, const std::vector<ArticleInfo>& articles) {
        for (int o = 0; o < orders; ++o) {
            const SupplierInfo& customer = m_customers[m_rng.below(int(m_customers.size()))];
            const QDate docDate = m_today.addDays(-m_rng.between(0, 120));
            const QString numreg = registrationNumber(docDate);
            m_do11.insert({company, numreg, kCustomerOrderType, kCustomerOrderSubtype, "OC", docDate,
                           documentNumber(company, "OC", docDate), "00", 0, customer.clifor, Null{},
                           QStringLiteral("Vs. ordine n. %1").arg(m_rng.between(100, 9999))});
            const int lines = m_rng.between(1, 3);
            for (int l = 1; l <= lines; ++l) {
                const ArticleInfo& a = articles[m_rng.below(int(articles.size()))];
                const std::int64_t qty = Qty::units(m_rng.between(1, 40) * 5).milli;
                const int r = m_rng.below(100);
                const std::int64_t fulfilled = r < 70 ? 0 : (r < 85 ? share(qty, 40, true) : qty);
                const bool closed = r >= 95;
                m_do30.insert({company, numreg, l, l * 10, 0, a.code, "", a.description, "01", a.kind->unit,
                               Qty{qty}, Qty{fulfilled}, closed ? 1 : 0, 0,
                               Qty{m_rng.between(500, 25000) * 10}});
                m_do31.insert({company, numreg, l, closed ? 9 : (fulfilled > 0 ? 4 : 1),
                               m_today.addDays(m_rng.between(-10, 60)), Null{}, Null{}});
                ++m_summary.customerOrderLines;
            }
        }
    }

    sqlite3* m_db;
    DemoOptions m_options;
    DemoRandom m_rng;
    QDate m_today;
    BulkInserter m_do11, m_do30, m_do31, m_do33, m_do41, m_do46, m_pd5m, m_pd48, m_pd95, m_pd96, m_mg66,
        m_pd18, m_mg70, m_cg16, m_cg44, m_co02, m_co03;
    std::vector<SupplierInfo> m_suppliers, m_customers;
    std::vector<ArticleInfo> m_articles;
    std::vector<ArticleInfo> m_firstCompanyArticles; // what company 2 also sells
    std::map<QString, int> m_documentNumbers;
    int m_registrationCounter = 0;
    int m_contactId = 0;
    int m_cycleId = 0;
    int m_movementId = 0;
    DemoSummary m_summary;
    QString m_error;
};

bool exec(sqlite3* db, const char* sql, QString* error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : "unknown error");
    sqlite3_free(message);
    return false;
}

} // namespace
} // namespace detail

bool generateDemoData(tsqlite::Connection& connection, const DemoOptions& options, DemoSummary* summary,
                      QString* error) {
    if (options.lines <= 0) {
        if (error)
            *error = QStringLiteral("the number of order lines must be greater than 0 (got %1)")
                         .arg(options.lines);
        return false;
    }
    if (!options.today.isValid()) {
        if (error)
            *error = QStringLiteral("the reference date is not a valid date");
        return false;
    }
    sqlite3* db = connection.handle();
    if (!detail::exec(db, "BEGIN", error))
        return false;
    bool ok = false;
    {
        detail::Generator generator(db, options);
        ok = generator.run(summary, error);
    } // the prepared statements are finalized before the transaction ends
    if (ok)
        ok = detail::exec(db, "COMMIT", error);
    if (!ok)
        detail::exec(db, "ROLLBACK", nullptr);
    return ok;
}

} // namespace erpdb
