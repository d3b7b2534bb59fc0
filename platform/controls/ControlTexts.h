#pragma once
// The texts the control kit shows by itself (headings, hints, buttons, messages). Each has an
// Italian default and a text ID; the host hands the kit its text catalog, so the kit speaks
// the session's language like the screens do.

#include <QString>
#include <functional>

namespace erpctl {

// Gives the text of an ID in the session's language, or the Italian default it is handed when
// the catalog has no such ID.
using TextSource = std::function<QString(int id, const QString& italian)>;

// Installs the host's catalog; an empty function goes back to the Italian defaults.
void setTextSource(TextSource source);

// The text of an ID, through the installed catalog.
QString controlText(int id, const QString& italian);

} // namespace erpctl
