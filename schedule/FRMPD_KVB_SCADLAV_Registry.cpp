// How the screen takes part in the access registry: its registry unit, bound to the screen's
// connection, user and caption, and the mode check box that the query check reads and sets.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/db/Recordset.h"
#include "platform/controls/FlagCheckBox.h"
#include "schedule/AccessRegistry.h"

namespace scadlav {

AccessRegistry& FRMPD_KVB_SCADLAV::accessRegistry() {
    if (!m_accessRegistry) {
        m_accessRegistry = std::make_unique<AccessRegistry>(
            [this](const QString& text, int options) { return EseguiSQL(text, options); }, m_userId,
            [this](const QString& text, std::int32_t id, std::int32_t buttons, const Value& parameters) {
                return QRX_MSGBOX(text, id, buttons, windowTitle(), parameters);
            });
    }
    return *m_accessRegistry;
}

bool FRMPD_KVB_SCADLAV::RegistraVisualizzazione() {
    QString mode = CHK_MODIFICA->valueText();
    const bool granted = accessRegistry().ControlloVisualizzazione(mode);
    // The user accepted view mode because somebody else works in modification mode.
    if (mode != CHK_MODIFICA->valueText())
        CHK_MODIFICA->setValueText(mode);
    return granted;
}

bool FRMPD_KVB_SCADLAV::RegistraRicalcolo() {
    return accessRegistry().ControlloRicalcolo();
}

void FRMPD_KVB_SCADLAV::RimuoviRegistrazione() {
    accessRegistry().RimuoviUtente();
}

} // namespace scadlav
