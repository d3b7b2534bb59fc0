// The filter panel of the schedule screen: its 31 rows, the descriptions of the codes the user
// types and the lists of values offered, through the host's lookup and decode objects.
#include "schedule/ParametersPanel.h"

#include "module/services/CodeKind.h"
#include "module/services/IDecode.h"
#include "module/services/IErrorLog.h"
#include "module/services/ILookup.h"
#include "module/services/IMessageService.h"
#include "module/sql/SqlText.h"
#include "platform/controls/EnhancedQuery.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <exception>

namespace scadlav {

namespace {

using erpctl::FilterKind;

const QString kFamiglia = QStringLiteral("MG66_FAM_MG53");
const QString kSottofamiglia = QStringLiteral("MG66_SFAM_MG54");
const QString kGruppo = QStringLiteral("MG66_GRUPPO_MG55");
const QString kCommessa = QStringLiteral("DO41_CODCOMMESSA");
const QString kSottocommessa = QStringLiteral("DO41_CODSCOMMESSA");
const QString kProgetto = QStringLiteral("DO41_CODPROGETTO");
const QString kDocumento = QStringLiteral("DO11_DOCUM_MG36");

// Module texts of the error log for the decode functions of their own.
const QString kModuloArticoli = QStringLiteral("MGUO_KVB_STATIND");
const QString kModuloProgetti = QStringLiteral("PDUO_STAVAPROD");

// One row of the panel and how its codes are described and listed: the host object (slot of
// the screen) and kind of code, a qualifier handed first among the parent codes (statistical
// group number, project class letter), and the rows whose values of the same side narrow it.
struct RigaFiltro {
    const char* caption;
    const char* field;
    FilterKind kind;
    bool lookup;
    bool panelFlag;
    int maxLength;
    int slot; // -1: no lookup and no decode
    CodeKind codeKind;
    const char* qualifier;
    QStringList parents;
};

using Slot = ParametersPanel::HostServiceSlot;
constexpr int kNone = -1;
constexpr int kArticoli = Slot::LookupArticoli;
constexpr int kDocumenti = Slot::LookupDocumenti;
constexpr int kProduzione = Slot::LookupProduzione;
constexpr int kProgetti = Slot::LookupProgetti;

const QList<RigaFiltro>& righeFiltro() {
    // clang-format off
    // caption, field, kind, lookup, panel flag, max length, host objects, kind of code,
    // qualifier, parent rows
    static const QList<RigaFiltro> rows = {
        {"Data inizio fase", "DO46_DATAINIZIO", FilterKind::Date, false, true, 0, kNone, CodeKind::Article, "", {}},
        {"Data fine fase", "DO46_DATAFINE", FilterKind::Date, false, true, 0, kNone, CodeKind::Article, "", {}},
        {"Codice articolo", "MG66_CODART", FilterKind::ArticleCode, true, true, 0, kArticoli, CodeKind::Article, "", {}},
        {"Famiglia", "MG66_FAM_MG53", FilterKind::Text, true, true, 4, kArticoli, CodeKind::Family, "", {}},
        {"Sottofamiglia", "MG66_SFAM_MG54", FilterKind::Text, true, true, 4, kArticoli, CodeKind::Subfamily, "", {kFamiglia}},
        {"Gruppo", "MG66_GRUPPO_MG55", FilterKind::Text, true, true, 4, kArticoli, CodeKind::Group, "", {kFamiglia, kSottofamiglia}},
        {"Sottogruppo", "MG66_SGRUPPO_MG56", FilterKind::Text, true, true, 4, kArticoli, CodeKind::Subgroup, "", {kFamiglia, kSottofamiglia, kGruppo}},
        {"Tipo prodotto", "PD18_TIPOPROD_PD20", FilterKind::Text, true, true, 2, kArticoli, CodeKind::ProductType, "", {}},
        {"Gruppo statistico 1", "MG66_GRUSTAT1_MG74", FilterKind::Text, true, true, 4, kArticoli, CodeKind::StatisticalGroup, "1", {}},
        {"Gruppo statistico 2", "MG66_GRUSTAT2_MG75", FilterKind::Text, true, true, 4, kArticoli, CodeKind::StatisticalGroup, "2", {}},
        {"Gruppo statistico 3", "MG66_GRUSTAT3_MG76", FilterKind::Text, true, true, 4, kArticoli, CodeKind::StatisticalGroup, "3", {}},
        {"Gruppo statistico 4", "MG66_GRUSTAT4_MG77", FilterKind::Text, true, true, 4, kArticoli, CodeKind::StatisticalGroup, "4", {}},
        {"Provenienza", "PD18_CODPROV_PD21", FilterKind::Text, true, true, 2, kArticoli, CodeKind::Origin, "", {}},
        {"Stato articolo", "MG66_INDSTATO_MG6W", FilterKind::Number, true, true, 2, kArticoli, CodeKind::ArticleState, "", {}},
        {"Codice Documento", "DO11_DOCUM_MG36", FilterKind::Text, true, true, 7, kDocumenti, CodeKind::Document, "", {}},
        {"Numero Documento", "DO11_NUMDOC", FilterKind::Number, false, true, 7, kNone, CodeKind::Article, "", {}},
        {"Sezionale", "DO11_SEZDOC", FilterKind::Text, false, true, 2, kNone, CodeKind::Article, "", {}},
        {"Data Documento", "DO11_DATADOC", FilterKind::Date, false, true, 0, kNone, CodeKind::Article, "", {}},
        {"Fornitore fase", "DO46_CLIFOR_CG44", FilterKind::Number, true, true, 0, kDocumenti, CodeKind::Supplier, "", {}},
        {"Reparto", "DO46_CODREPARTO", FilterKind::Text, true, true, 5, kProduzione, CodeKind::Department, "", {}},
        {"Fase", "DO46_CODFASE", FilterKind::Number, true, true, 5, kProduzione, CodeKind::Phase, "", {}},
        {"Progetto", "DO41_CODPROGETTO", FilterKind::Text, true, true, 25, kProgetti, CodeKind::Project, "", {}},
        {"Sottoprogetto", "DO41_CODSPROGETTO", FilterKind::Number, true, true, 0, kProgetti, CodeKind::SubProject, "", {kProgetto}},
        {"Nodo", "DO41_NODORIF_PD0C", FilterKind::Text, true, false, 25, kProgetti, CodeKind::Node, "", {kProgetto}},
        {"Commessa", "DO41_CODCOMMESSA", FilterKind::Text, true, true, 25, kProgetti, CodeKind::Job, "", {}},
        {"Sottocommessa", "DO41_CODSCOMMESSA", FilterKind::Number, true, true, 0, kProgetti, CodeKind::Job, "", {kCommessa}},
        {"Tipo progetto", "PD68_TIPO_PD1D", FilterKind::Text, true, false, 10, kProgetti, CodeKind::ProjectType, "", {}},
        {"Stato progetto", "PD68_STATO_PD1E", FilterKind::Text, true, false, 10, kProgetti, CodeKind::ProjectState, "", {}},
        {"Classe A progetto", "PD68_CLASSEA_PD1F", FilterKind::Text, true, false, 10, kProgetti, CodeKind::ProjectClass, "A", {}},
        {"Classe B progetto", "PD68_CLASSEB_PD1G", FilterKind::Text, true, false, 10, kProgetti, CodeKind::ProjectClass, "B", {}},
        {"Classe C progetto", "PD68_CLASSEC_PD1H", FilterKind::Text, true, false, 10, kProgetti, CodeKind::ProjectClass, "C", {}},
    };
    // clang-format on
    return rows;
}

const RigaFiltro* rigaDelCampo(const QString& field) {
    for (const RigaFiltro& row : righeFiltro()) {
        if (field.compare(QLatin1String(row.field), Qt::CaseInsensitive) == 0)
            return &row;
    }
    return nullptr;
}

// The error text of the two events: "Error in EnhancedQuery.<event> #<n> !!! <text> !!!".
QString testoErroreEvento(const QString& event, const RuntimeError& error) {
    return QStringLiteral("Error in EnhancedQuery.") + event + QStringLiteral(" #") +
           QString::number(error.number) + QStringLiteral(" !!! ") + error.description +
           QStringLiteral(" !!!");
}

} // namespace

template <class T> T* ParametersPanel::servizio(int slot) const {
    if (slot < 0 || slot > DecodeProgetti)
        return nullptr;
    return dynamic_cast<T*>(hostService(static_cast<HostServiceSlot>(slot)));
}

void ParametersPanel::ImpostaRigheEnhQuery() {
    int number = 0;
    for (const RigaFiltro& row : righeFiltro()) {
        ++number;
        // A row that cannot be added is skipped; the following rows are still added.
        try {
            erpctl::FilterRowDefinition definition;
            definition.group = QStringLiteral("Default");
            definition.caption = QString::fromUtf8(row.caption);
            definition.field = QLatin1String(row.field);
            definition.panelFlag = row.panelFlag;
            definition.rowNumber = number;
            definition.lookup = row.lookup;
            definition.kind = row.kind;
            definition.maxLength = row.maxLength;
            definition.parentFields = row.parents;
            m_screen.controls().EnhancedQuery->addRow(definition);
        } catch (...) {
        }
    }
}

QString ParametersPanel::ValoreFiltro(const QString& field, int side) const {
    return side == 2 ? m_screen.controls().EnhancedQuery->toValue(field)
                     : m_screen.controls().EnhancedQuery->fromValue(field);
}

QString ParametersPanel::DecodificaCodice(int slot, CodeKind kind, const QString& code,
                                          const QStringList& parentCodes) {
    const QString codice = RTrimN(Value(code));
    if (codice.isEmpty())
        return {};
    IDecode* decode = servizio<IDecode>(slot + 1);
    if (!decode)
        return {};
    // A code that does not exist is no error: its description stays empty.
    return decode->describe(kind, codice, parentCodes).value_or(QString());
}

QString ParametersPanel::DecodificaFamiglia(const QString& famiglia) {
    try {
        return DecodificaCodice(LookupArticoli, CodeKind::Family, famiglia);
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloArticoli, QStringLiteral("DecodificaFamiglia"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

QString ParametersPanel::DecodificaSottoFamiglia(const QString& famiglia, const QString& sottofamiglia) {
    try {
        return DecodificaCodice(LookupArticoli, CodeKind::Subfamily, sottofamiglia,
                                {RTrimN(Value(famiglia))});
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloArticoli, QStringLiteral("DecodificaSottoFamiglia"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

QString ParametersPanel::DecodificaGruppo(const QString& famiglia, const QString& sottofamiglia,
                                          const QString& gruppo) {
    try {
        return DecodificaCodice(LookupArticoli, CodeKind::Group, gruppo,
                                {RTrimN(Value(famiglia)), RTrimN(Value(sottofamiglia))});
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloArticoli, QStringLiteral("DecodificaGruppo"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

QString ParametersPanel::DecodificaSottoGruppo(const QString& famiglia, const QString& sottofamiglia,
                                               const QString& gruppo, const QString& sottogruppo) {
    try {
        return DecodificaCodice(
            LookupArticoli, CodeKind::Subgroup, sottogruppo,
            {RTrimN(Value(famiglia)), RTrimN(Value(sottofamiglia)), RTrimN(Value(gruppo))});
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloArticoli, QStringLiteral("DecodificaSottoGruppo"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

QString ParametersPanel::DecodificaTipoProdotto(const QString& tipo) {
    try {
        return DecodificaCodice(LookupArticoli, CodeKind::ProductType, tipo);
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloArticoli, QStringLiteral("DecodificaTipoProdotto"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

QString ParametersPanel::DecodificaProgetto(const QString& progetto) {
    try {
        return DecodificaCodice(LookupProgetti, CodeKind::Project, progetto);
    } catch (...) {
        m_screen.session().ScriviErroreLog(kModuloProgetti, QStringLiteral("DecodificaProgetto"),
                                           RuntimeError::fromException(std::current_exception()));
        return {};
    }
}

void ParametersPanel::EnhancedQuery_StartDecode(erpctl::DecodeRequest& request) {
    try {
        const RigaFiltro* row = rigaDelCampo(request.field);
        if (!row || row->slot == kNone)
            return; // rows without a lookup have no decode
        const QString field = QLatin1String(row->field);

        // The from value, then the to value; an empty value leaves its description as it is.
        for (int side = 1; side <= 2; ++side) {
            const QString value = side == 1 ? request.fromValue : request.toValue;
            if (RTrimN(Value(value)).isEmpty())
                continue;
            const auto parent = [&](const QString& parentField) { return ValoreFiltro(parentField, side); };
            QString description;
            if (field == kFamiglia) {
                description = DecodificaFamiglia(value);
            } else if (field == kSottofamiglia) {
                description = DecodificaSottoFamiglia(parent(kFamiglia), value);
            } else if (field == kGruppo) {
                description = DecodificaGruppo(parent(kFamiglia), parent(kSottofamiglia), value);
            } else if (row->codeKind == CodeKind::Subgroup) {
                description =
                    DecodificaSottoGruppo(parent(kFamiglia), parent(kSottofamiglia), parent(kGruppo), value);
            } else if (row->codeKind == CodeKind::ProductType) {
                description = DecodificaTipoProdotto(value);
            } else if (field == kProgetto) {
                description = DecodificaProgetto(value);
            } else if (field == kCommessa) {
                // The job itself is sub-job 0.
                description = DecodificaCodice(row->slot, CodeKind::Job, value, {QStringLiteral("0")});
            } else if (field == kSottocommessa) {
                // A sub-job number means something only within its job: it is described within the
                // job of the same side, and has no description without one.
                description =
                    DecodificaCodice(row->slot, CodeKind::Job, parent(kCommessa), {RTrimN(Value(value))});
            } else {
                QStringList parents;
                if (*row->qualifier)
                    parents << QLatin1String(row->qualifier);
                for (const QString& parentField : row->parents)
                    parents << RTrimN(Value(parent(parentField)));
                description = DecodificaCodice(row->slot, row->codeKind, value, parents);
            }
            (side == 1 ? request.fromDescription : request.toDescription) = description;
        }
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        m_screen.session().QRX_MSGBOX(testoErroreEvento(QStringLiteral("StartDecode"), error), 0,
                                      msgbox::Critical, m_screen.windowTitle());
    }
}

void ParametersPanel::EnhancedQuery_StartLookup(erpctl::LookupRequest& request) {
    try {
        const RigaFiltro* row = rigaDelCampo(request.field);
        if (!row || row->slot == kNone)
            return;
        const QString field = QLatin1String(row->field);
        const int side = request.side == 2 ? 2 : 1;

        if (field == kDocumento) {
            // The screen's own list: production and subcontract order types, described for the
            // screen's company.
            request.standardList = false;
            request.columns = {
                {m_screen.session().TraduzioneTesto(QStringLiteral("Codice Documento"), 12654), QString()},
                {m_screen.session().TraduzioneTesto(QStringLiteral("Descrizione"), 21091), QString()},
            };
            request.sql = QStringLiteral("SELECT TAB1.MG36_CODDOCUM, TAB2.MG36_DESCDOCUM ") +
                          QStringLiteral(" FROM MG36_DOCUMENTI As TAB1 WITH (NOLOCK) ") +
                          QStringLiteral("   Outer Apply dbo.FNMG36_DOCUMENTI(TAB1.MG36_CODDOCUM, ") +
                          QString::number(m_screen.session().companyCode()) +
                          QStringLiteral(", TAB1.MG36_INDSTAPER) As TAB2 ") +
                          QStringLiteral(" WHERE (TAB1.MG36_TIPODOC = 24 And TAB1.MG36_STIPODOC = 20) Or ") +
                          QStringLiteral(" (TAB1.MG36_TIPODOC = 25 and TAB1.MG36_STIPODOC = 1)");
            request.title =
                m_screen.session().TraduzioneTesto(QStringLiteral("Elenco Codici Documento"), 68746);
            request.connectionString = m_screen.session().connectionString();
            request.lookupName = QStringLiteral("SCADLAV_CODDOC");
            m_screen.controls().EnhancedQuery->setLookupName(request.lookupName);
            return;
        }

        // The host's list of the row's kind, narrowed by the parent values of the same side.
        QStringList parents;
        if (*row->qualifier)
            parents << QLatin1String(row->qualifier);
        for (const QString& parentField : row->parents)
            parents << RTrimN(Value(ValoreFiltro(parentField, side)));

        request.connectionString = m_screen.session().connectionString();
        if (ILookup* lookup = servizio<ILookup>(row->slot)) {
            if (const std::optional<LookupList> list = lookup->list(row->codeKind, parents)) {
                request.sql = list->sql;
                request.columns.clear();
                for (const LookupColumn& column : list->columns)
                    request.columns.append({column.caption, column.setting});
                request.title = list->title;
                request.lookupName = list->lookupName;
            }
        }
        m_screen.controls().EnhancedQuery->setLookupName(request.lookupName);
    } catch (...) {
        // No list is offered after a failure.
        request.sql.clear();
        request.pickedCode.clear();
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        m_screen.session().QRX_MSGBOX(testoErroreEvento(QStringLiteral("StartLookup"), error), 0,
                                      msgbox::Critical, m_screen.windowTitle());
    }
}

} // namespace scadlav
