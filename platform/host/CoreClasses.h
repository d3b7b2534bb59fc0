#pragma once

namespace erphost {

class HostSettings;
class IMessageBoxPresenter;
class ObjectFactory;

// Registers the host classes every session offers the module, interactive or batch: the
// fallback message box, the error log, the connection factory, the numeric formatter, the
// date object and the phase scheduler. The settings and the presenter must outlive the
// factory's objects. With `echoErrors` the error log also prints each record on standard
// error (batch jobs).
void registerCoreClasses(ObjectFactory& factory, const HostSettings& settings,
                         IMessageBoxPresenter& presenter, bool echoErrors = false);

} // namespace erphost
