#include "platform/host/LookupTexts.h"

#include <QHash>

namespace erphost {

namespace {

// The text IDs of the titles and column captions of the host's lists, by their Italian text.
const QHash<QString, int>& lookupTextIds() {
    static const QHash<QString, int> ids = {
        {QStringLiteral("Elenco articoli"), 90601},
        {QStringLiteral("Elenco famiglie"), 90602},
        {QStringLiteral("Elenco sottofamiglie"), 90603},
        {QStringLiteral("Elenco gruppi"), 90604},
        {QStringLiteral("Elenco sottogruppi"), 90605},
        {QStringLiteral("Elenco tipi prodotto"), 90606},
        {QStringLiteral("Elenco gruppi statistici 1"), 90607},
        {QStringLiteral("Elenco gruppi statistici 2"), 90608},
        {QStringLiteral("Elenco gruppi statistici 3"), 90609},
        {QStringLiteral("Elenco gruppi statistici 4"), 90610},
        {QStringLiteral("Elenco provenienze"), 90611},
        {QStringLiteral("Elenco stati articolo"), 90612},
        {QStringLiteral("Elenco clienti"), 90613},
        {QStringLiteral("Elenco fornitori"), 90614},
        {QStringLiteral("Elenco documenti"), 90615},
        {QStringLiteral("Elenco reparti"), 90616},
        {QStringLiteral("Elenco fasi di lavorazione"), 90617},
        {QStringLiteral("Elenco commesse"), 90618},
        {QStringLiteral("Elenco sottocommesse"), 90619},
        {QStringLiteral("Elenco progetti"), 90620},
        {QStringLiteral("Elenco sottoprogetti"), 90621},
        {QStringLiteral("Elenco nodi"), 90622},
        {QStringLiteral("Elenco tipi progetto"), 90623},
        {QStringLiteral("Elenco stati progetto"), 90624},
        {QStringLiteral("Elenco classi A progetto"), 90625},
        {QStringLiteral("Elenco classi B progetto"), 90626},
        {QStringLiteral("Elenco classi C progetto"), 90627},
        {QStringLiteral("Elenco testi fissi"), 90628},
        {QStringLiteral("Elenco tipi contatto"), 90629},
        {QStringLiteral("Codice articolo"), 90630},
        {QStringLiteral("Famiglia"), 90631},
        {QStringLiteral("Sottofamiglia"), 90632},
        {QStringLiteral("Gruppo"), 90633},
        {QStringLiteral("Sottogruppo"), 90634},
        {QStringLiteral("Tipo prodotto"), 90635},
        {QStringLiteral("Gruppo statistico 1"), 90636},
        {QStringLiteral("Gruppo statistico 2"), 90637},
        {QStringLiteral("Gruppo statistico 3"), 90638},
        {QStringLiteral("Gruppo statistico 4"), 90639},
        {QStringLiteral("Provenienza"), 90640},
        {QStringLiteral("Stato articolo"), 90641},
        {QStringLiteral("Cliente"), 90642},
        {QStringLiteral("Fornitore"), 90643},
        {QStringLiteral("Codice documento"), 90644},
        {QStringLiteral("Reparto"), 90645},
        {QStringLiteral("Commessa"), 90646},
        {QStringLiteral("Sottocommessa"), 90647},
        {QStringLiteral("Progetto"), 90648},
        {QStringLiteral("Sottoprogetto"), 90649},
        {QStringLiteral("Nodo"), 90650},
        {QStringLiteral("Tipo progetto"), 90651},
        {QStringLiteral("Stato progetto"), 90652},
        {QStringLiteral("Classe A"), 90653},
        {QStringLiteral("Classe B"), 90654},
        {QStringLiteral("Classe C"), 90655},
        {QStringLiteral("Testo fisso"), 90656},
        {QStringLiteral("Tipo contatto"), 90657},
        {QStringLiteral("Fase"), 26484},
        {QStringLiteral("Descrizione"), 21091},
    };
    return ids;
}

} // namespace

int lookupTextId(const QString& italian) {
    return lookupTextIds().value(italian, 0);
}

} // namespace erphost
