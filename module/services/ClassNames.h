#pragma once

#include <QString>

namespace scadlav::classnames {

// Class names and identifiers under which the module asks the host's object factory for
// its services.
inline const QString FallbackTranslation = QStringLiteral("XLNBO_TRADUCI.CLSXLN_TRADUCI");
inline const QString StockConsole = QStringLiteral("{17C3FA16-58A6-11D4-A8E4-00400519B149}");
inline const QString ErrorLog = QStringLiteral("ERPHOST.ErrorLog");
inline const QString Lookup = QStringLiteral("ERPHOST.Lookup");
inline const QString Decode = QStringLiteral("ERPHOST.Decode");
inline const QString Report = QStringLiteral("ERPHOST.Report");
inline const QString PhaseScheduler = QStringLiteral("ERPHOST.PhaseScheduler");
inline const QString ConnectionFactory = QStringLiteral("ERPHOST.ConnectionFactory");
inline const QString NumericFormatter = QStringLiteral("ERPHOST.NumericFormatter");
inline const QString DateObject = QStringLiteral("ERPHOST.DateObject");

} // namespace scadlav::classnames
