#include "platform/controls/DefaultLookupPresenter.h"

namespace erpctl {

namespace {
ILookupPresenter* g_presenter = nullptr;
}

void setDefaultLookupPresenter(ILookupPresenter* presenter) {
    g_presenter = presenter;
}

ILookupPresenter* defaultLookupPresenter() {
    return g_presenter;
}

} // namespace erpctl
