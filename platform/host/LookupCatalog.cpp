#include "platform/host/LookupCatalog.h"

#include "module/db/SqlLiteral.h"
#include "module/sql/SqlText.h"

#include <QRegularExpression>

namespace erphost {

namespace {

using scadlav::CodeKind;

struct ParentColumn {
    QString column;
    QString caption;
    bool numeric = false;
};

// Where the codes of one kind live. `from` may hold %1, replaced by the company code (for the
// ERP's description functions that take it).
struct Source {
    QString from;
    QString code;
    QString description;
    QString company; // company column; "" when the table is common to every company
    QString fixedCondition;
    bool numericCode = false;
    QList<ParentColumn> parents;
    QString title;
    QString lookupName;
    QString codeCaption;
};

Source simple(const QString& table, const QString& prefix, const QString& title, const QString& lookupName,
              const QString& codeCaption, bool perCompany = true) {
    Source s;
    s.from = table + QStringLiteral(" WITH (NOLOCK)");
    s.code = prefix + QStringLiteral("_CODICE");
    s.description = prefix + QStringLiteral("_DESCR");
    s.company = perCompany ? prefix + QStringLiteral("_DITTA_CG18") : QString();
    s.title = title;
    s.lookupName = lookupName;
    s.codeCaption = codeCaption;
    return s;
}

Source customersOrSuppliers(int type) {
    Source s;
    s.from = QStringLiteral("CG44_CLIFOR WITH (NOLOCK) LEFT OUTER JOIN CG16_ANAGGEN WITH (NOLOCK) ON "
                            "CG16_ANAGGEN.CG16_CODICE = CG44_CLIFOR.CG44_CODICE_CG16");
    s.code = QStringLiteral("CG44_CLIFOR.CG44_CLIFOR");
    s.description = QStringLiteral("CG16_ANAGGEN.CG16_RAGSOANAG");
    s.company = QStringLiteral("CG44_CLIFOR.CG44_DITTA_CG18");
    s.fixedCondition = QStringLiteral("CG44_CLIFOR.CG44_TIPOCF = ") + QString::number(type);
    s.numericCode = true;
    if (type == 1) {
        s.title = QStringLiteral("Elenco fornitori");
        s.lookupName = QStringLiteral("ERPHOST_FORNITORI");
        s.codeCaption = QStringLiteral("Fornitore");
    } else {
        s.title = QStringLiteral("Elenco clienti");
        s.lookupName = QStringLiteral("ERPHOST_CLIENTI");
        s.codeCaption = QStringLiteral("Cliente");
    }
    return s;
}

const ParentColumn kFamilyOf(const QString& prefix) {
    return {prefix + QStringLiteral("_FAM_MG53"), QStringLiteral("Famiglia")};
}

// The source of a kind; `qualifier` picks the statistical group or project class, `subJobs`
// the job's sub-jobs instead of the jobs.
std::optional<Source> sourceOf(CodeKind kind, const QString& qualifier, bool subJobs) {
    switch (kind) {
    case CodeKind::Article: {
        Source s;
        s.from = QStringLiteral("MG66_ANAGRART WITH (NOLOCK)");
        s.code = QStringLiteral("MG66_CODART");
        s.description = QStringLiteral("MG66_DESCART");
        s.company = QStringLiteral("MG66_DITTA_CG18");
        s.title = QStringLiteral("Elenco articoli");
        s.lookupName = QStringLiteral("ERPHOST_ARTICOLI");
        s.codeCaption = QStringLiteral("Codice articolo");
        return s;
    }
    case CodeKind::Family:
        return simple(QStringLiteral("MG53_FAMIGLIE"), QStringLiteral("MG53"),
                      QStringLiteral("Elenco famiglie"), QStringLiteral("ERPHOST_FAMIGLIE"),
                      QStringLiteral("Famiglia"));
    case CodeKind::Subfamily: {
        Source s = simple(QStringLiteral("MG54_SOTTOFAMIGLIE"), QStringLiteral("MG54"),
                          QStringLiteral("Elenco sottofamiglie"), QStringLiteral("ERPHOST_SOTTOFAMIGLIE"),
                          QStringLiteral("Sottofamiglia"));
        s.parents = {kFamilyOf(QStringLiteral("MG54"))};
        return s;
    }
    case CodeKind::Group: {
        Source s =
            simple(QStringLiteral("MG55_GRUPPI"), QStringLiteral("MG55"), QStringLiteral("Elenco gruppi"),
                   QStringLiteral("ERPHOST_GRUPPI"), QStringLiteral("Gruppo"));
        s.parents = {kFamilyOf(QStringLiteral("MG55")),
                     {QStringLiteral("MG55_SFAM_MG54"), QStringLiteral("Sottofamiglia")}};
        return s;
    }
    case CodeKind::Subgroup: {
        Source s = simple(QStringLiteral("MG56_SOTTOGRUPPI"), QStringLiteral("MG56"),
                          QStringLiteral("Elenco sottogruppi"), QStringLiteral("ERPHOST_SOTTOGRUPPI"),
                          QStringLiteral("Sottogruppo"));
        s.parents = {kFamilyOf(QStringLiteral("MG56")),
                     {QStringLiteral("MG56_SFAM_MG54"), QStringLiteral("Sottofamiglia")},
                     {QStringLiteral("MG56_GRUPPO_MG55"), QStringLiteral("Gruppo")}};
        return s;
    }
    case CodeKind::ProductType:
        return simple(QStringLiteral("PD20_TIPIPROD"), QStringLiteral("PD20"),
                      QStringLiteral("Elenco tipi prodotto"), QStringLiteral("ERPHOST_TIPIPROD"),
                      QStringLiteral("Tipo prodotto"));
    case CodeKind::StatisticalGroup: {
        static const QStringList tables = {QStringLiteral("MG74_GRUSTAT1"), QStringLiteral("MG75_GRUSTAT2"),
                                           QStringLiteral("MG76_GRUSTAT3"), QStringLiteral("MG77_GRUSTAT4")};
        bool ok = false;
        const int number = qualifier.trimmed().toInt(&ok);
        if (!ok || number < 1 || number > 4)
            return std::nullopt;
        const QString table = tables[number - 1];
        const QString n = QString::number(number);
        return simple(table, table.left(4), QStringLiteral("Elenco gruppi statistici ") + n,
                      QStringLiteral("ERPHOST_GRUSTAT") + n, QStringLiteral("Gruppo statistico ") + n);
    }
    case CodeKind::Origin:
        return simple(QStringLiteral("PD21_PROVENIENZE"), QStringLiteral("PD21"),
                      QStringLiteral("Elenco provenienze"), QStringLiteral("ERPHOST_PROVENIENZE"),
                      QStringLiteral("Provenienza"));
    case CodeKind::ArticleState: {
        Source s = simple(QStringLiteral("MG6W_STATIART"), QStringLiteral("MG6W"),
                          QStringLiteral("Elenco stati articolo"), QStringLiteral("ERPHOST_STATIART"),
                          QStringLiteral("Stato articolo"), false);
        s.numericCode = true;
        return s;
    }
    case CodeKind::Customer:
        return customersOrSuppliers(0);
    case CodeKind::Supplier:
        return customersOrSuppliers(1);
    case CodeKind::Document: {
        Source s;
        s.from = QStringLiteral("MG36_DOCUMENTI As TAB1 WITH (NOLOCK) Outer Apply "
                                "dbo.FNMG36_DOCUMENTI(TAB1.MG36_CODDOCUM, %1, TAB1.MG36_INDSTAPER) As TAB2");
        s.code = QStringLiteral("TAB1.MG36_CODDOCUM");
        s.description = QStringLiteral("TAB2.MG36_DESCDOCUM");
        s.title = QStringLiteral("Elenco documenti");
        s.lookupName = QStringLiteral("ERPHOST_DOCUMENTI");
        s.codeCaption = QStringLiteral("Codice documento");
        return s;
    }
    case CodeKind::Department: {
        Source s;
        s.from = QStringLiteral("VPD07_REPARTO WITH (NOLOCK)");
        s.code = QStringLiteral("PD07_CODREP");
        s.description = QStringLiteral("PD07_DESCR");
        s.company = QStringLiteral("PD07_DITTA_CG18");
        s.title = QStringLiteral("Elenco reparti");
        s.lookupName = QStringLiteral("ERPHOST_REPARTI");
        s.codeCaption = QStringLiteral("Reparto");
        return s;
    }
    case CodeKind::Phase: {
        Source s;
        s.from = QStringLiteral("VPD12_FASILAVORO WITH (NOLOCK)");
        s.code = QStringLiteral("PD12_CODFASE");
        s.description = QStringLiteral("PD12_DESCR");
        s.company = QStringLiteral("PD12_DITTA_CG18");
        s.numericCode = true;
        s.title = QStringLiteral("Elenco fasi di lavorazione");
        s.lookupName = QStringLiteral("ERPHOST_FASI");
        s.codeCaption = QStringLiteral("Fase");
        return s;
    }
    case CodeKind::Job: {
        Source s;
        s.from = QStringLiteral("PD25_COMMESSA WITH (NOLOCK)");
        s.description = QStringLiteral("PD25_DESCR");
        s.company = QStringLiteral("PD25_DITTA_CG18");
        if (subJobs) {
            s.code = QStringLiteral("PD25_CODSOTCOMM");
            s.numericCode = true;
            s.fixedCondition = QStringLiteral("PD25_CODSOTCOMM <> 0");
            s.parents = {{QStringLiteral("PD25_CODCOMMESSA"), QStringLiteral("Commessa")}};
            s.title = QStringLiteral("Elenco sottocommesse");
            s.lookupName = QStringLiteral("ERPHOST_SOTTOCOMMESSE");
            s.codeCaption = QStringLiteral("Sottocommessa");
        } else {
            s.code = QStringLiteral("PD25_CODCOMMESSA");
            s.fixedCondition = QStringLiteral("PD25_CODSOTCOMM = 0");
            s.title = QStringLiteral("Elenco commesse");
            s.lookupName = QStringLiteral("ERPHOST_COMMESSE");
            s.codeCaption = QStringLiteral("Commessa");
        }
        return s;
    }
    case CodeKind::Project: {
        Source s;
        s.from = QStringLiteral("PD68_PROGETTI WITH (NOLOCK)");
        s.code = QStringLiteral("PD68_CODPROG");
        s.description = QStringLiteral("PD68_DESCRPROG");
        s.company = QStringLiteral("PD68_DITTA_CG18");
        s.title = QStringLiteral("Elenco progetti");
        s.lookupName = QStringLiteral("ERPHOST_PROGETTI");
        s.codeCaption = QStringLiteral("Progetto");
        return s;
    }
    case CodeKind::SubProject: {
        Source s;
        s.from = QStringLiteral("PD69_SOTTOPROGETTI WITH (NOLOCK)");
        s.code = QStringLiteral("PD69_SOTPROG");
        s.description = QStringLiteral("PD69_DESCRSOTPROG");
        s.company = QStringLiteral("PD69_DITTA_CG18");
        s.numericCode = true;
        s.parents = {{QStringLiteral("PD69_CODPROG_PD68"), QStringLiteral("Progetto")}};
        s.title = QStringLiteral("Elenco sottoprogetti");
        s.lookupName = QStringLiteral("ERPHOST_SOTTOPROGETTI");
        s.codeCaption = QStringLiteral("Sottoprogetto");
        return s;
    }
    case CodeKind::Node: {
        Source s;
        s.from = QStringLiteral("PD0C_NODO WITH (NOLOCK)");
        s.code = QStringLiteral("PD0C_CODNODO");
        s.description = QStringLiteral("PD0C_DESCR");
        s.company = QStringLiteral("PD0C_DITTA_CG18");
        s.parents = {{QStringLiteral("PD0C_CODPROG_PD68"), QStringLiteral("Progetto")}};
        s.title = QStringLiteral("Elenco nodi");
        s.lookupName = QStringLiteral("ERPHOST_NODI");
        s.codeCaption = QStringLiteral("Nodo");
        return s;
    }
    case CodeKind::ProjectType:
        return simple(QStringLiteral("PD1D_TIPIPROGETTI"), QStringLiteral("PD1D"),
                      QStringLiteral("Elenco tipi progetto"), QStringLiteral("ERPHOST_TIPIPROGETTO"),
                      QStringLiteral("Tipo progetto"));
    case CodeKind::ProjectState:
        return simple(QStringLiteral("PD1E_STATIPROGETTI"), QStringLiteral("PD1E"),
                      QStringLiteral("Elenco stati progetto"), QStringLiteral("ERPHOST_STATIPROGETTO"),
                      QStringLiteral("Stato progetto"));
    case CodeKind::ProjectClass: {
        const QString letter = qualifier.trimmed().toUpper();
        QString table;
        if (letter == QLatin1String("A"))
            table = QStringLiteral("PD1F_CLASSEAPROG");
        else if (letter == QLatin1String("B"))
            table = QStringLiteral("PD1G_CLASSEBPROG");
        else if (letter == QLatin1String("C"))
            table = QStringLiteral("PD1H_CLASSECPROG");
        else
            return std::nullopt;
        return simple(table, table.left(4),
                      QStringLiteral("Elenco classi ") + letter + QStringLiteral(" progetto"),
                      QStringLiteral("ERPHOST_CLASSE") + letter + QStringLiteral("PROG"),
                      QStringLiteral("Classe ") + letter);
    }
    case CodeKind::FixedText: {
        Source s;
        s.from = QStringLiteral("MG62_TESTIFIS As TAB1 WITH (NOLOCK) Outer Apply "
                                "dbo.FNMG62_TESTIFIS(TAB1.MG62_CODICE, %1) As TAB2");
        s.code = QStringLiteral("TAB1.MG62_CODICE");
        s.description = QStringLiteral("TAB2.MG62_DESCR");
        s.title = QStringLiteral("Elenco testi fissi");
        s.lookupName = QStringLiteral("ERPHOST_TESTIFISSI");
        s.codeCaption = QStringLiteral("Testo fisso");
        return s;
    }
    case CodeKind::ContactType:
        return simple(QStringLiteral("CO01_TIPICONTATTO"), QStringLiteral("CO01"),
                      QStringLiteral("Elenco tipi contatto"), QStringLiteral("ERPHOST_TIPICONTATTO"),
                      QStringLiteral("Tipo contatto"), false);
    }
    return std::nullopt;
}

bool hasQualifier(CodeKind kind) {
    return kind == CodeKind::StatisticalGroup || kind == CodeKind::ProjectClass;
}

// A whole number as the user may type it ("12", " +7 ", "-3"), in plain SQL form.
std::optional<QString> wholeNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*([+-]?)0*(\d+)\s*$)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch() || m.captured(2).size() > 18)
        return std::nullopt;
    const QString digits = m.captured(2);
    return (m.captured(1) == QLatin1String("-") && digits != QLatin1String("0") ? QStringLiteral("-")
                                                                                : QString()) +
           digits;
}

QString textLiteral(const QString& text) {
    return scadlav::db::sqlLiteral(scadlav::Value(text), scadlav::db::Dialect::SqlServer);
}

// The literal of a value for a column; std::nullopt when a numeric column is given no number.
std::optional<QString> literalFor(const QString& value, bool numeric) {
    if (numeric)
        return wholeNumber(value);
    return textLiteral(value);
}

// The conditions that every statement of the source carries: company, fixed condition and the
// parent codes that are given. std::nullopt when a parent code cannot match anything.
std::optional<QStringList> commonConditions(const Source& source, const QStringList& parentCodes,
                                            std::int16_t company) {
    QStringList conditions;
    if (!source.company.isEmpty())
        conditions << source.company + QStringLiteral(" = ") + QString::number(company);
    if (!source.fixedCondition.isEmpty())
        conditions << source.fixedCondition;
    for (int i = 0; i < source.parents.size() && i < parentCodes.size(); ++i) {
        const QString value = parentCodes[i].trimmed();
        // An empty parent does not narrow: the user has not chosen it yet.
        if (value.isEmpty())
            continue;
        const std::optional<QString> literal = literalFor(value, source.parents[i].numeric);
        if (!literal)
            return std::nullopt;
        conditions << source.parents[i].column + QStringLiteral(" = ") + *literal;
    }
    return conditions;
}

QString fromClause(const Source& source, std::int16_t company) {
    QString from = source.from;
    return from.replace(QStringLiteral("%1"), QString::number(company));
}

} // namespace

std::optional<scadlav::LookupList> LookupCatalog::list(CodeKind kind, const QStringList& parentCodes,
                                                       std::int16_t company) {
    QStringList parents = parentCodes;
    const QString qualifier = hasQualifier(kind) && !parents.isEmpty() ? parents.takeFirst() : QString();
    const std::optional<Source> source =
        sourceOf(kind, qualifier, kind == CodeKind::Job && !parents.isEmpty());
    if (!source)
        return std::nullopt;

    scadlav::LookupList list;
    list.title = source->title;
    list.lookupName = source->lookupName;
    list.columns = {{source->codeCaption, QString()}, {QStringLiteral("Descrizione"), QString()}};
    QString columns = source->code + QStringLiteral(", ") + source->description;
    for (const ParentColumn& parent : source->parents) {
        columns += QStringLiteral(", ") + parent.column;
        list.columns.append({parent.caption, QString()});
    }
    QString sql = QStringLiteral("SELECT ") + columns + scadlav::CRLF + QStringLiteral(" FROM ") +
                  fromClause(*source, company) + scadlav::CRLF;
    const std::optional<QStringList> conditions = commonConditions(*source, parents, company);
    if (!conditions)
        sql += QStringLiteral(" WHERE 1 = 0") + scadlav::CRLF;
    else if (!conditions->isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions->join(QStringLiteral(" AND ")) + scadlav::CRLF;
    QStringList order;
    for (const ParentColumn& parent : source->parents)
        order << parent.column;
    order << source->code;
    sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    list.sql = sql;
    return list;
}

std::optional<DecodeStatement> LookupCatalog::decode(CodeKind kind, const QString& code,
                                                     const QStringList& parentCodes, std::int16_t company) {
    if (code.trimmed().isEmpty())
        return std::nullopt;
    QStringList parents = parentCodes;
    const QString qualifier = hasQualifier(kind) && !parents.isEmpty() ? parents.takeFirst() : QString();

    if (kind == CodeKind::Job) {
        // A job and one of its sub-jobs (0, the job itself, when none is given).
        const QString subJob =
            parents.isEmpty() || parents.first().trimmed().isEmpty() ? QStringLiteral("0") : parents.first();
        const std::optional<QString> number = wholeNumber(subJob);
        if (!number)
            return std::nullopt;
        DecodeStatement statement;
        statement.sql = QStringLiteral("SELECT TOP 1 PD25_DESCR") + scadlav::CRLF +
                        QStringLiteral(" FROM PD25_COMMESSA WITH (NOLOCK)") + scadlav::CRLF +
                        QStringLiteral(" WHERE PD25_DITTA_CG18 = ") + QString::number(company) +
                        QStringLiteral(" AND PD25_CODCOMMESSA = ") + textLiteral(code.trimmed()) +
                        QStringLiteral(" AND PD25_CODSOTCOMM = ") + *number;
        return statement;
    }

    const std::optional<Source> source = sourceOf(kind, qualifier, false);
    if (!source)
        return std::nullopt;
    const std::optional<QString> codeLiteral = literalFor(code.trimmed(), source->numericCode);
    if (!codeLiteral)
        return std::nullopt;
    std::optional<QStringList> conditions = commonConditions(*source, parents, company);
    if (!conditions)
        return std::nullopt;
    *conditions << source->code + QStringLiteral(" = ") + *codeLiteral;

    DecodeStatement statement;
    statement.sql = QStringLiteral("SELECT TOP 1 ") + source->description + scadlav::CRLF +
                    QStringLiteral(" FROM ") + fromClause(*source, company) + scadlav::CRLF +
                    QStringLiteral(" WHERE ") + conditions->join(QStringLiteral(" AND "));
    if (!source->parents.isEmpty()) {
        // With a parent left empty several codes may match: the first in the parents' order.
        QStringList order;
        for (const ParentColumn& parent : source->parents)
            order << parent.column;
        statement.sql += scadlav::CRLF + QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    return statement;
}

} // namespace erphost
