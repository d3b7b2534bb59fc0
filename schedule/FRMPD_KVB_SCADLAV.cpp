// The schedule screen's lifecycle: load, activation and unload.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IConnectionFactory.h"
#include "module/services/IDecode.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IHostObject.h"
#include "module/services/ILookup.h"
#include "module/services/INavigator.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/Grid.h"
#include "platform/controls/MenuButton.h"
#include "platform/controls/SplitPane.h"
#include "schedule/AccessRegistry.h"

#include <QEvent>
#include <QPushButton>
#include <QTimer>

namespace scadlav {

FRMPD_KVB_SCADLAV::FRMPD_KVB_SCADLAV(QWidget* parent)
    : ModuleScreen(parent), m_messages([this] { return ClsModulo; }) {
    setObjectName(ScreenName);
    buildControls();
    connectEvents();
    // Load: top-left corner, design size.
    move(0, 0);
    resize(scaledX(DesignWidthTwips), scaledY(DesignHeightTwips));
}

FRMPD_KVB_SCADLAV::~FRMPD_KVB_SCADLAV() = default;

void FRMPD_KVB_SCADLAV::connectEvents() {
    connect(cmdStato, &QToolButton::clicked, this, [this] { cmdStato_Click(); });
    connect(CMD_CHIUDICLI, &QPushButton::clicked, this, [this] { CMD_CHIUDICLI_Click(); });
    connect(SPLITTER, &erpctl::SplitPane::splitChanged, this, [this] { SPLITTER_Changed(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connectConcernEvents();
}

void FRMPD_KVB_SCADLAV::changeEvent(QEvent* event) {
    ModuleScreen::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FRMPD_KVB_SCADLAV::Form_Activate() {
    if (m_initialized || isUnloaded())
        return;
    try {
        PrimaAttivazione();
    } catch (...) {
        // The flag stays false: the next activation starts the initialisation again.
        ScriviLogErrore(QStringLiteral("Form_Activate"),
                        RuntimeError::fromException(std::current_exception()));
    }
}

void FRMPD_KVB_SCADLAV::onUnload() {
    // Each step runs even when the one before it failed: the screen never refuses to close.
    auto step = [](auto&& action) {
        try {
            action();
        } catch (...) {
        }
    };

    step([this] {
        if (m_connection && m_connection->isOpen())
            accessRegistry().RimuoviUtente();
    });
    step([this] {
        EnhancedQuery->detach();
        Timer1->stop();
        GRID_ORD->unbind();
        GRID_DETT->unbind();
        GRID_CLI->unbind();
    });
    step([this] { RilasciaServiziHost(); });
    step([this] {
        // The host's references to the module are cleared.
        if (!ClsModulo)
            return;
        if (IGlobalContext* global = ClsModulo->Cinterface_ClsGlobal()) {
            if (global->currentModule() == ClsModulo)
                global->setCurrentModule(nullptr);
        }
        if (INavigator* navigator = ClsModulo->Cinterface_ActiveNavigator()) {
            if (navigator->currentModule() == ClsModulo)
                navigator->setCurrentModule(nullptr);
        }
    });
    step([this] {
        if (ClsModulo && ClsModulo->Cinterface_Connection() == m_connection.get())
            ClsModulo->Cinterface_SetConnection(nullptr);
        m_connectionFactory.reset();
        // Record sets opened on the connection go first; the connection closes with them.
        m_rsScadlav.reset();
        m_rsDettaglio.reset();
        m_rsDataRicalcolo.reset();
        if (m_connection)
            m_connection->close();
        m_accessRegistry.reset();
        m_connection.reset();
    });
    step([this] {
        m_errorLog.reset();
        ActiveDll = nullptr;
        ClsModulo = nullptr;
    });
}

void FRMPD_KVB_SCADLAV::RilasciaServiziHost() {
    for (std::unique_ptr<IHostObject>& service : m_hostServices) {
        if (auto* lookup = dynamic_cast<ILookup*>(service.get()))
            lookup->setModule(nullptr);
        else if (auto* decode = dynamic_cast<IDecode*>(service.get()))
            decode->setModule(nullptr);
        service.reset();
    }
}

} // namespace scadlav
