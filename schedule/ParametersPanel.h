#pragma once
// The parameter view of the schedule screen: the minimum date, the phase type, the order states
// and the filter panel with its 31 rows, whose codes are described and listed through the
// host's lookup and decode objects. It checks the parameters and reads them for the statements.

#include "engine/RebuildStatements.h"
#include "engine/ScheduleStatement.h"
#include "module/services/RuntimeError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

namespace erpctl {
struct DecodeRequest;
struct ListItem;
struct LookupRequest;
} // namespace erpctl

namespace scadlav {

enum class CodeKind;
class FRMPD_KVB_SCADLAV;
class IHostObject;

class ParametersPanel {
public:
    explicit ParametersPanel(FRMPD_KVB_SCADLAV& screen);
    ~ParametersPanel();

    // Index of each host service object: a lookup and a decode each for articles and their
    // classes, for documents and suppliers, for departments and phases, and for jobs and
    // projects.
    enum HostServiceSlot {
        LookupArticoli = 0,
        DecodeArticoli,
        LookupDocumenti,
        DecodeDocumenti,
        LookupProduzione,
        DecodeProduzione,
        LookupProgetti,
        DecodeProgetti,
    };
    IHostObject* hostService(HostServiceSlot slot) const { return m_hostServices[slot].get(); }
    void CreaServiziHost();
    void RilasciaServiziHost();

    // The phase-type and sort combos, the order-state list (all ticked) and the minimum date of
    // six months back.
    void CaricaCombo();
    void CaricaStati();
    QString DataMinimaIniziale() const;
    void cmdStato_Click();

    // ---- Filter panel --------------------------------------------------------------------------
    void ImpostaRigheEnhQuery();
    void EnhancedQuery_StartDecode(erpctl::DecodeRequest& request);
    void EnhancedQuery_StartLookup(erpctl::LookupRequest& request);
    // Descriptions of a family, subfamily, group, subgroup, product type or project code;
    // "" for an empty or unknown code. A failure is logged and gives "".
    QString DecodificaFamiglia(const QString& famiglia);
    QString DecodificaSottoFamiglia(const QString& famiglia, const QString& sottofamiglia);
    QString DecodificaGruppo(const QString& famiglia, const QString& sottofamiglia, const QString& gruppo);
    QString DecodificaSottoGruppo(const QString& famiglia, const QString& sottofamiglia,
                                  const QString& gruppo, const QString& sottogruppo);
    QString DecodificaTipoProdotto(const QString& tipo);
    QString DecodificaProgetto(const QString& progetto);

    // ---- What the statements are built from -----------------------------------------------------
    // States ticked, a real minimum date, usable filter values; false after telling the user,
    // with the text shown in `refusal`.
    bool ControllaParametri(QString* refusal = nullptr);
    // The parameters of the schedule query.
    ScheduleParameters LeggiParametri() const;
    // The parameters of the rebuild; `minDateLiteral` is the date already written for the server.
    engine::RebuildInputs LeggiParametriRicalcolo(const QString& minDateLiteral) const;

private:
    // The description the host's decode of a group of kinds gives for `code` ("" when empty,
    // unknown or when the host offers no decode); `slot` is the group's lookup slot, its decode
    // is the slot after it. A failing decode throws.
    QString DecodificaCodice(int slot, CodeKind kind, const QString& code,
                             const QStringList& parentCodes = {});
    // The value of the row on `field` on one side (1 from, 2 to).
    QString ValoreFiltro(const QString& field, int side) const;
    template <class T> T* servizio(int slot) const;

    FRMPD_KVB_SCADLAV& m_screen;
    std::array<std::unique_ptr<IHostObject>, 8> m_hostServices;
};

} // namespace scadlav
