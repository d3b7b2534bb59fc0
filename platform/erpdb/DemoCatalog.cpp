#include "DemoCatalog.h"

namespace erpdb::detail {
namespace {

constexpr Place kPlaces[] = {
    {"Milano", "20121", "MI", "2"},
    {"Bergamo", "24121", "BG", "35"},
    {"Brescia", "25121", "BS", "30"},
    {"Monza", "20900", "MB", "39"},
    {"Lecco", "23900", "LC", "341"},
    {"Como", "22100", "CO", "31"},
    {"Varese", "21100", "VA", "332"},
    {"Torino", "10121", "TO", "11"},
    {"Modena", "41121", "MO", "59"},
    {"Reggio Emilia", "42121", "RE", "522"},
    {"Bologna", "40121", "BO", "51"},
    {"Padova", "35121", "PD", "49"},
    {"Vicenza", "36100", "VI", "444"},
    {"Verona", "37121", "VR", "45"},
    {"Treviso", "31100", "TV", "422"},
    {"Firenze", "50121", "FI", "55"},
    {"Ancona", "60121", "AN", "71"},
    {"Parma", "43121", "PR", "521"},
    {"Piacenza", "29121", "PC", "523"},
    {"Cremona", "26100", "CR", "372"},
    {"Lumezzane", "25065", "BS", "30"},
    {"Sassuolo", "41049", "MO", "536"},
    {"Castelfranco Veneto", "31033", "TV", "423"},
    {"Sesto San Giovanni", "20099", "MI", "2"},
};

constexpr const char* kStreets[] = {
    "Via dell'Industria",
    "Via dell'Artigianato",
    "Via Galileo Galilei",
    "Via Enrico Fermi",
    "Via Alessandro Volta",
    "Via Guglielmo Marconi",
    "Via Roma",
    "Viale Europa",
    "Via dei Mestieri",
    "Via Antonio Meucci",
    "Via Leonardo da Vinci",
    "Via Nazionale",
    "Via del Lavoro",
    "Via Primo Maggio",
    "Via delle Fabbriche",
    "Via Giuseppe Di Vittorio",
};

constexpr Department kDepartments[] = {
    {"TAG", "Taglio e preparazione", "Franco Colombo"},
    {"TOR", "Torneria CNC", "Giorgio Brambilla"},
    {"FRE", "Fresatura CNC", "Sergio Galli"},
    {"RET", "Rettifica", "Paolo Moretti"},
    {"SAL", "Saldatura", "Roberto Fontana"},
    {"CAR", "Carpenteria e piegatura", "Stefano Villa"},
    {"MON", "Montaggio", "Claudio Longhi"},
    {"CQ", "Controllo qualità", "Anna Caprioli"},
    {"IMB", "Imballaggio e spedizioni", "Walter Sala"},
};

constexpr Phase kPhases[] = {
    {100, "Taglio barra", false, "TAG", 1},
    {110, "Taglio laser lamiera", false, "TAG", 1},
    {200, "Tornitura CNC", false, "TOR", 3},
    {210, "Foratura e maschiatura", false, "TOR", 2},
    {300, "Fresatura CNC", false, "FRE", 3},
    {400, "Rettifica cilindrica", false, "RET", 2},
    {500, "Saldatura MIG", false, "SAL", 3},
    {510, "Piegatura lamiera", false, "CAR", 2},
    {600, "Montaggio", false, "MON", 3},
    {700, "Collaudo dimensionale", false, "CQ", 1},
    {800, "Imballaggio", false, "IMB", 1},
    {900, "Zincatura elettrolitica", true, nullptr, 6},
    {910, "Verniciatura a polvere", true, nullptr, 7},
    {920, "Trattamento termico", true, nullptr, 8},
    {921, "Tempra a induzione", true, nullptr, 4},
    {922, "Rinvenimento", true, nullptr, 3},
    {930, "Nichelatura chimica", true, nullptr, 7},
    {940, "Ossidazione anodica", true, nullptr, 6},
    {950, "Sabbiatura", true, nullptr, 3},
    {960, "Cromatura a spessore", true, nullptr, 9},
    {970, "Rettifica conto terzi", true, nullptr, 5},
};

constexpr ArticleKind kArticleKinds[] = {
    {"ALB",
     "Albero di trasmissione D.%d x %d",
     "TRA",
     "ALB",
     "NR",
     {{100, {}}, {200, {}}, {920, {921, 922}}, {400, {}}, {700, {}}}},
    {"PER",
     "Perno temprato D.%d x %d",
     "MEC",
     "TOR",
     "NR",
     {{100, {}}, {200, {}}, {920, {921, 922}}, {400, {}}, {700, {}}, {800, {}}}},
    {"BOC", "Boccola in bronzo D.%d/%d", "MEC", "TOR", "NR", {{100, {}}, {200, {}}, {210, {}}, {700, {}}}},
    {"FLA", "Flangia DN%d PN%d", "OLE", "RAC", "NR", {{100, {}}, {200, {}}, {210, {}}, {900, {}}, {700, {}}}},
    {"ING",
     "Ingranaggio cilindrico z=%d m=%d",
     "TRA",
     "ING",
     "NR",
     {{100, {}}, {200, {}}, {300, {}}, {920, {921, 922}}, {400, {}}, {700, {}}}},
    {"PIA",
     "Piastra di base %d x %d",
     "CAR",
     "LAM",
     "NR",
     {{110, {}}, {300, {}}, {210, {}}, {910, {}}, {700, {}}}},
    {"STA",
     "Staffa di supporto %d x %d zincata",
     "CAR",
     "LAM",
     "NR",
     {{110, {}}, {510, {}}, {500, {}}, {900, {}}, {800, {}}}},
    {"TEL",
     "Telaio saldato %d x %d",
     "CAR",
     "SAL",
     "NR",
     {{110, {}}, {510, {}}, {500, {}}, {950, {}}, {910, {}}, {600, {}}, {700, {}}}},
    {"COR",
     "Corpo valvola DN%d serie %d",
     "OLE",
     "COR",
     "NR",
     {{100, {}}, {300, {}}, {210, {}}, {930, {}}, {700, {}}, {800, {}}}},
    {"SUP",
     "Supporto motore %d x %d in alluminio",
     "MEC",
     "FRE",
     "NR",
     {{110, {}}, {300, {}}, {940, {}}, {600, {}}, {700, {}}}},
    {"CRT",
     "Carter di protezione %d x %d",
     "CAR",
     "LAM",
     "NR",
     {{110, {}}, {510, {}}, {500, {}}, {910, {}}, {800, {}}}},
    {"MOZ",
     "Mozzo calettato D.%d L.%d",
     "TRA",
     "ALB",
     "NR",
     {{100, {}}, {200, {}}, {960, {}}, {970, {}}, {700, {}}}},
    {"TON",
     "Tondo calibrato cromato D.%d L.%d",
     "OLE",
     "COR",
     "KG",
     {{100, {}}, {960, {}}, {970, {}}, {700, {}}}},
};

constexpr Subcontractor kSubcontractors[] = {
    {"Zincatura Padana S.r.l.", "zincaturapadana.it", {900}},
    {"Galvanica Brianzola S.p.A.", "galvanicabrianzola.it", {900, 930, 960}},
    {"Trattamenti Termici Bergamaschi S.r.l.", "ttbergamaschi.it", {920, 921, 922}},
    {"Termotrattamenti Emiliani S.n.c.", "termoemiliani.it", {920, 921, 922}},
    {"Verniciature Industriali Venete S.r.l.", "vernivenete.it", {910}},
    {"Polveri e Colori di Ferrari & C. S.a.s.", "polvericolori.it", {910, 950}},
    {"Anodica Lombarda S.r.l.", "anodicalombarda.it", {940}},
    {"Sabbiatura Bresciana di Gatti Luigi", "sabbiaturagatti.it", {950}},
    {"Cromoduro Modenese S.r.l.", "cromoduro.it", {960, 930}},
    {"Rettifiche Conto Terzi Torinesi S.r.l.", "rettifichetorinesi.it", {970}},
    {"Officina Rettifiche Marchigiane S.n.c.", "rettifichemarche.it", {970}},
    {"Nichelatura Fiorentina S.r.l.", "nichelaturafi.it", {930}},
    {"Zincheria Veronese S.p.A.", "zincheriaveronese.it", {900}},
    {"Ossidazione Anodica Cremonese S.r.l.", "anodicacremonese.it", {940}},
    {"Verniciatura Parmense S.r.l.", "verniciaturaparmense.it", {910}},
    {"Trattamenti Superficiali Comaschi S.r.l.", "tscomaschi.it", {900, 930, 940}},
};

constexpr Company kCustomers[] = {
    {"Macchine Agricole Lombarde S.p.A.", "malombarde.it"},
    {"Oleodinamica Bianchi S.r.l.", "oleobianchi.it"},
    {"Automazioni Industriali Rossi S.r.l.", "autorossi.it"},
    {"Impianti Alimentari Emiliani S.p.A.", "impiantiemiliani.it"},
    {"Costruzioni Meccaniche Greco S.r.l.", "cmgreco.it"},
    {"Confezionatrici Italia S.r.l.", "confezionatrici.it"},
    {"Trasmissioni Venete S.p.A.", "trasmissionivenete.it"},
    {"Gru e Sollevamenti Conti S.r.l.", "gruconti.it"},
    {"Pompe Industriali Marino S.p.A.", "pompemarino.it"},
    {"Robotica Piemontese S.r.l.", "roboticapiemontese.it"},
};

constexpr const char* kFirstNames[] = {
    "Mario",    "Giulia", "Luca",    "Francesca", "Marco",  "Chiara",   "Alessandro", "Sara",
    "Andrea",   "Elena",  "Davide",  "Valentina", "Matteo", "Federica", "Simone",     "Martina",
    "Giovanni", "Laura",  "Stefano", "Paola",     "Nicola", "Silvia",   "Roberto",    "Marta",
};

constexpr const char* kLastNames[] = {
    "Rossi",    "Russo", "Ferrari",  "Esposito", "Bianchi",  "Romano",  "Colombo", "Ricci",
    "Marino",   "Greco", "Bruno",    "Gallo",    "Conti",    "De Luca", "Mancini", "Costa",
    "Giordano", "Rizzo", "Lombardi", "Moretti",  "Barbieri", "Fontana", "Santoro", "Mariani",
};

constexpr CodeText kContactTypes[] = {
    {"PROD", "Responsabile produzione"}, {"ACQ", "Ufficio acquisti"},
    {"AMM", "Amministrazione"},          {"QUAL", "Qualità"},
    {"LOG", "Logistica e spedizioni"},
};

constexpr CodeText kFamilies[] = {
    {"MEC", "Meccanica di precisione"},
    {"CAR", "Carpenteria"},
    {"OLE", "Oleodinamica"},
    {"TRA", "Organi di trasmissione"},
};

constexpr CodeText kNotes[] = {
    {"", "Tolleranza h7 sul diametro principale, verificare al 100%"},
    {"", "Materiale fornito dal cliente: non sostituire"},
    {"", "Consegna parziale ammessa previo accordo"},
    {"", "Durezza richiesta 58-60 HRC, allegare certificato"},
    {"", "Spessore riporto minimo 20 micron"},
    {"", "Colore RAL 5010 opaco, proteggere i fori filettati"},
};

constexpr FixedText kFixedTexts[] = {
    {"SOLL01", "Sollecito consegna",
     "Con la presente vi sollecitiamo la riconsegna del materiale in conto lavoro indicato di seguito, "
     "la cui data prevista risulta superata."},
    {"SOLL02", "Sollecito urgente",
     "Vi segnaliamo che i materiali sotto elencati sono necessari con urgenza per il completamento di "
     "ordini cliente in ritardo. Vi preghiamo di darci conferma della data di riconsegna."},
    {"SOLLREP", "Sollecito reparto",
     "Si richiede l'avanzamento delle fasi di lavorazione sotto elencate, in ritardo rispetto al piano."},
    {"FINE01", "Chiusura cortese", "Restiamo in attesa di un vostro cortese riscontro. Distinti saluti."},
    {"FINE02", "Chiusura con riferimenti",
     "Per qualsiasi chiarimento potete contattare l'ufficio programmazione della produzione. Cordiali "
     "saluti."},
};

constexpr CodeText kJobs[] = {
    {"C26-001", "Linea di imbottigliamento Cantine Riunite"},
    {"C26-002", "Revamping presse linea 3"},
    {"C26-003", "Impianto di dosaggio mangimi"},
    {"C26-004", "Macchina confezionatrice MK4"},
    {"C26-005", "Ricambi programmati clienti esteri"},
    {"C26-006", "Prototipo riduttore epicicloidale"},
};

constexpr CodeText kProjects[] = {
    {"PRJ-2026-001", "Nuova gamma riduttori compatti"},
    {"PRJ-2026-002", "Industrializzazione telai serie T"},
    {"PRJ-2026-003", "Riduzione costi carpenteria"},
    {"PRJ-2026-004", "Linea valvole DN alta pressione"},
};

} // namespace

std::span<const Place> places() {
    return kPlaces;
}
std::span<const char* const> streets() {
    return kStreets;
}
std::span<const Department> departments() {
    return kDepartments;
}
std::span<const Phase> phases() {
    return kPhases;
}
std::span<const ArticleKind> articleKinds() {
    return kArticleKinds;
}
std::span<const Subcontractor> subcontractors() {
    return kSubcontractors;
}
std::span<const Company> customers() {
    return kCustomers;
}
std::span<const char* const> firstNames() {
    return kFirstNames;
}
std::span<const char* const> lastNames() {
    return kLastNames;
}
std::span<const CodeText> contactTypes() {
    return kContactTypes;
}
std::span<const CodeText> families() {
    return kFamilies;
}
std::span<const CodeText> constructionNotes() {
    return kNotes;
}
std::span<const FixedText> fixedTexts() {
    return kFixedTexts;
}
std::span<const CodeText> jobs() {
    return kJobs;
}
std::span<const CodeText> projects() {
    return kProjects;
}

const Phase* findPhase(int code) {
    for (const Phase& p : kPhases) {
        if (p.code == code)
            return &p;
    }
    return nullptr;
}

} // namespace erpdb::detail
