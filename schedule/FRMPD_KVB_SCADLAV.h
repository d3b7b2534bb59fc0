#pragma once

#include "module/contract/ModuleScreen.h"

namespace scadlav {

// The schedule screen "Situazione fasi di lavorazione". The module class creates it, hands it
// ClsModulo and ActiveDll, sets its caption and shows it, modal or modeless.
class FRMPD_KVB_SCADLAV : public ModuleScreen {
    Q_OBJECT
public:
    explicit FRMPD_KVB_SCADLAV(QWidget* parent = nullptr);

protected:
    void onUnload() override;
};

} // namespace scadlav
