#pragma once
// Everything that follows the session's language rather than the machine's: the locale of
// dates and numbers, Qt's own texts (Yes/No, Cancel, the file dialog) and the texts the control
// kit shows by itself.

#include "platform/host/HostSettings.h"

#include <QLocale>
#include <QString>

namespace erphost {

class TextCatalog;

// Italian: 04/11/2026 and 1.234,56. English: the same day-first dates, 1,234.56.
QLocale sessionLocale(Language language);

// Makes the session's locale the default of every widget created from now on, loads Qt's
// translation of its own widgets for the language and hands the control kit the catalog. The
// catalog must outlive the session. Returns "" or, when Qt's translation is not installed,
// a line saying so (the screens still work, with Qt's own texts in English).
QString applySessionLanguage(Language language, const TextCatalog& catalog);

} // namespace erphost
