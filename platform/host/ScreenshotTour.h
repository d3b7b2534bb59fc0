#pragma once
// The pictures of the user guide: the schedule screen in the host's window, driven as a planner
// would use it, grabbed after each step. Run by `erp-host --screenshots DIR` (see
// scripts/user-guide-screenshots.sh), so the guide's pictures always show the current program.

#include <QString>
#include <QStringList>

namespace erphost {

class HostWindow;

// Writes into `folder`: schedule-parameters.png (the parameter view), schedule-lookup.png (the
// list of a filter row), schedule-results.png (the result view after "Visualizza"),
// schedule-scrolled.png (the same scrolled right, key columns held at the left edge),
// schedule-detail.png (the order detail), schedule-legend.png (the icons' legend), and from the
// function menu schedule-commitment.png ("Impegnato cliente" on the row whose article, among
// the first forty, customers wait for most), stock-console.png ("Situazione giacenze" on that
// row) and proposals.png ("Proposte C/Lav."); what those three showed is printed as
// "shown: ..." lines. Returns the files written; a step that cannot be done, or a view that
// shows no row of the order book, is reported in `problem` and ends the tour.
QStringList takeScreenshots(HostWindow& window, const QString& folder, QString* problem);

} // namespace erphost
