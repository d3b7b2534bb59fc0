#pragma once
// Shows a lookup list to the user and returns the code picked. The host implements it (it
// runs the list's SQL on its connection); the filter panel only describes the list.

#include "platform/controls/FilterRow.h"

#include <QString>

class QWidget;

namespace erpctl {

class ILookupPresenter {
public:
    virtual ~ILookupPresenter() = default;
    // True with the code in `picked` when the user chose one; false when cancelled.
    virtual bool present(const LookupRequest& request, QWidget* parent, QString& picked) = 0;
};

} // namespace erpctl
