// Wiring of the controls' notifications to the handlers of the screen's concerns. Every
// handler is connected here, once, so that no concern connects another's control twice.
#include "schedule/FRMPD_KVB_SCADLAV.h"

#include "platform/controls/CodeCombo.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/MenuButton.h"

#include <QPushButton>

namespace scadlav {

void FRMPD_KVB_SCADLAV::connectConcernEvents() {
    connect(CMD_RICALCOLA, &QPushButton::clicked, this, [this] { CMD_RICALCOLA_ButtonClick(); });
    connect(CMD_ELABORA, &QPushButton::clicked, this, [this] { CMD_ELABORA_ButtonClick(); });
    connect(CBO_ORD, &erpctl::CodeCombo::codeChanged, this, [this] { CBO_ORD_Click(); });
    connect(CMD_FUNZ, &erpctl::MenuButton::itemClicked, this,
            [this](const QString& key) { CMD_FUNZ_ItemClick(key); });
    connect(EnhancedQuery, &erpctl::EnhancedQuery::StartDecode, this,
            [this](erpctl::DecodeRequest& request) { EnhancedQuery_StartDecode(request); });
    connect(EnhancedQuery, &erpctl::EnhancedQuery::StartLookup, this,
            [this](erpctl::LookupRequest& request) { EnhancedQuery_StartLookup(request); });
}

} // namespace scadlav
