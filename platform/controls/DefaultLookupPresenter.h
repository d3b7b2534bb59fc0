#pragma once
// The process-wide lookup presenter. The host registers its presenter once at start-up (it
// runs the lists' SQL); every filter panel and code field without a presenter of its own
// shows its lists through it, although the screens that create them know nothing of it.

namespace erpctl {

class ILookupPresenter;

// nullptr removes it. The presenter must outlive its registration.
void setDefaultLookupPresenter(ILookupPresenter* presenter);
ILookupPresenter* defaultLookupPresenter();

} // namespace erpctl
