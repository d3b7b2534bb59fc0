#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostObject.h"
#include "module/services/INavigator.h"
#include "schedule/AccessRegistry.h"

namespace scadlav {

FRMPD_KVB_SCADLAV::FRMPD_KVB_SCADLAV(QWidget* parent)
    : ModuleScreen(parent), m_messages([this] { return ClsModulo; }) {
    setObjectName(QStringLiteral("FRMPD_KVB_SCADLAV"));
    resize(982, 613); // 14730 x 9200 twips at 15 twips per pixel
}

FRMPD_KVB_SCADLAV::~FRMPD_KVB_SCADLAV() = default;

void FRMPD_KVB_SCADLAV::changeEvent(QEvent* event) {
    ModuleScreen::changeEvent(event);
}

void FRMPD_KVB_SCADLAV::onUnload() {
    // The host's references to the module are cleared, then the screen lets go of the module.
    if (ClsModulo) {
        if (IGlobalContext* global = ClsModulo->Cinterface_ClsGlobal()) {
            if (global->currentModule() == ClsModulo)
                global->setCurrentModule(nullptr);
        }
        if (INavigator* navigator = ClsModulo->Cinterface_ActiveNavigator()) {
            if (navigator->currentModule() == ClsModulo)
                navigator->setCurrentModule(nullptr);
        }
    }
    ActiveDll = nullptr;
    ClsModulo = nullptr;
}

} // namespace scadlav
