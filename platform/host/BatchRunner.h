#pragma once
// erp-host's batch mode: a planner's job run without anybody at the screen. The host loads
// the module and opens its schedule screen as usual, but off screen; the job then fills the
// screen's parameters and presses its buttons, and every message box the module shows is
// printed on standard output and answered on its own (Yes to questions, OK otherwise).
//
//   erp-host --batch rebuild [--min-date YYYY-MM-DD] [--phase-type 0|1|2] [--states 0,1,2,3,4]
//   erp-host --batch export --out FILE [the options of rebuild] [--sort 0|1|2|3]
//            [--filter FIELD=FROM..TO ...] [--view schedule|proposals]
//   erp-host --batch export --out FILE --view commitment --article CODE
//   erp-host --batch reschedule --order NUMREG --line N --phase SEQ [--start YYYY-MM-DD]
//            [--end YYYY-MM-DD] [--direction forward|backward|phase]
//   erp-host --batch undo-reschedule
//   erp-host --batch reminders --channel print|pdf|fax|mail [--out FILE] [--source contacts|registry]
//            [--contact-type CODE] [--opening CODE] [--closing CODE] [--title TEXT] [--logo 0..5]
//            [the options of export]
//
// Exit codes: 0 the job ended well, 1 a failure (bad arguments included), 2 the access
// registry refused the job because somebody else is in the schedule, 3 the order detail
// refused the date (nothing written), 4 some reminders were skipped or failed, 5 there was no
// recalculation to undo.

#include "module/services/IScheduleJobs.h"
#include "platform/host/CommandLine.h"
#include "platform/host/HostSettings.h"

#include <QAbstractItemModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace erphost {

class BatchSession;

inline constexpr int kBatchOk = 0;
inline constexpr int kBatchFailed = 1;
inline constexpr int kBatchRefused = 2;
inline constexpr int kBatchEditRefused = 3;
inline constexpr int kBatchIncomplete = 4;
inline constexpr int kBatchNothing = 5;

// Texts more than one job prints.
inline constexpr int kTextScreenNotOpen = 92120;
inline constexpr int kTextNotShown = 92137;
inline constexpr int kTextNotShownBecause = 92138;

// A count in a line for people: grouped as the session's language writes it (62.776 in
// Italian); English lines keep the plain digits they have always had, which scripts read.
QString batchCount(qint64 count, Language language);

// One --filter FIELD=FROM..TO of the export: a filter panel field and its two values, either
// of which may be empty.
using BatchFilter = scadlav::JobFilter;

// What a batch job is given: the job's name and the values of the batch options, checked.
struct BatchRequest {
    QString job;
    QDate minDate;                         // --min-date; invalid: the screen's default
    QString phaseType;                     // --phase-type "0", "1" or "2"; empty: the screen's default
    std::optional<QList<int>> states;      // --states; unset: the screen's default (all)
    QString outputPath;                    // --out: the file the export writes
    QString sortCode;                      // --sort "0".."3" (export); empty: the screen's default
    QList<BatchFilter> filters;            // --filter, any number (export)
    QString view;                          // --view (export): "schedule" (default), "proposals", "commitment"
    QString article;                       // --article (export of the commitment view)
    scadlav::RescheduleRequest reschedule; // --order, --line, --phase, --start, --end, --direction
    scadlav::ReminderJob reminders;        // --channel and the letter's options (reminders)
    QString channel;                       // --channel as given: print, pdf, fax or mail
};

class BatchRunner {
public:
    // A job drives the open schedule screen through the session and returns the exit code.
    using Job = std::function<int(BatchSession& session, const BatchRequest& request)>;

    BatchRunner();

    // Adds --batch and the job options to the host's command line; their values are kept in
    // the request's batch options and checked by check().
    static void addOptions(CommandLine& commandLine);
    // True when the command line asks for a batch job (before the QApplication exists: the
    // batch mode runs off screen unless QT_QPA_PLATFORM says otherwise).
    static bool requested(int argc, char** argv);

    // Reads and checks the batch options; the problems found, each naming its option, in
    // `language`.
    QStringList check(const CommandLineRequest& commandLine, BatchRequest& request,
                      Language language = Language::Italian) const;
    QStringList jobNames() const;

    // Runs the job on the module with the given settings; returns the exit code.
    int run(const HostSettings& settings, const BatchRequest& request);

private:
    static int rebuild(BatchSession& session, const BatchRequest& request);
    static int exportSchedule(BatchSession& session, const BatchRequest& request);
    // Writes every column of the rows as CSV and tells how many in `language`; the exit code.
    static int writeRows(const QAbstractItemModel& model, const QString& path, Language language);
    static int reschedule(BatchSession& session, const BatchRequest& request);
    static int undoReschedule(BatchSession& session, const BatchRequest& request);
    // The options of the reschedule job, checked into the request.
    static void checkReschedule(const QHash<QString, QString>& options, BatchRequest& request,
                                QStringList& problems, Language language);
    static int reminders(BatchSession& session, const BatchRequest& request);
    // The reminder options of the command line, checked.
    static QStringList checkReminders(const QHash<QString, QString>& options, BatchRequest& request,
                                      Language language);
    // The screen's parameters from the request; the refusal printed, false, when one is refused.
    // `forExport` adds the sort order and the filters in view mode; `modify` sets the mode;
    // `narrowing` adds filter rows of the job's own.
    static bool applyParameters(scadlav::IScheduleJobs& jobs, const BatchRequest& request, bool forExport,
                                std::optional<bool> modify = std::nullopt,
                                const QList<scadlav::JobFilter>& narrowing = {});

    std::map<QString, Job> m_jobs;
};

} // namespace erphost
