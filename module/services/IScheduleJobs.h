#pragma once
// What the host's batch jobs ask of the schedule screen, and how the screen tells what came of
// the action a job pressed. A batch job drives the real screen as a planner would (the same
// parameters, the same buttons, the same messages answered), but reads the outcome from here
// rather than guessing it from the messages shown.

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class QAbstractItemModel;

namespace scadlav {

struct ActionOutcome {
    enum class Status {
        NotRun,    // the action has not been pressed yet
        Done,      // it did its work
        NoData,    // it ran and found nothing within the limits
        Refused,   // the access registry kept it out
        Cancelled, // the user (or the batch's answers) said no, or the parameters were refused
        Failed,    // a step failed; `description` says why
    };
    Status status = Status::NotRun;
    QString description;
};

// One row of the filter panel as a job gives it: field name, from and to values.
struct JobFilter {
    QString field;
    QString from;
    QString to;
};

// The parameter view as a job sets it; what is unset stays as the screen has it.
struct JobParameters {
    QDate minDate;
    QString phaseType;                // "0" all, "1" internal, "2" external
    std::optional<QList<int>> states; // order states 0..4 ticked
    QString sortCode;                 // "0".."3"
    std::optional<bool> modify;       // modification mode
    QList<JobFilter> filters;
};

// A new date for one phase of an order line, typed in the order detail as a planner would, and
// the direction of the recalculation when it is not the one the edit gives.
struct RescheduleRequest {
    QString order;                // DO46_NUMREG_CO99
    qint64 line = 0;              // DO46_PROGRIGA
    qint64 sequence = 0;          // DO46_CODSEQFASE
    std::optional<QDate> start;   // typed first when both are given
    std::optional<QDate> end;
    std::optional<int> direction; // 1 forward, 2 backward, 3 this phase only
};

// What the reminder job fills on the reminder screen, and the button it presses there.
struct ReminderJob {
    enum class Channel { Print, Fax, Mail };
    Channel channel = Channel::Print;
    int source = 0; // recipients from 0 the contacts of `contactType`, 1 the general registry
    QString contactType;
    QString opening; // fixed-text codes; empty leaves the text empty
    QString closing;
    QString title;
    int logo = 0; // 0..5
};

class IScheduleJobs {
public:
    virtual ~IScheduleJobs();

    // True once the screen's first activation succeeded.
    virtual bool isReady() const = 0;
    // Sets the parameter view. Returns what was refused ("" when everything was taken), in the
    // session's language where the text comes from the screen.
    virtual QString applyParameters(const JobParameters& parameters) = 0;
    // Presses "Ricalcola" and returns how the rebuild ended.
    virtual ActionOutcome runRebuild() = 0;
    // Presses "Visualizza" and returns how it ended; Done leaves the rows in shownRows().
    virtual ActionOutcome runShow() = 0;
    // After a "Visualizza" in modification mode: presses "Solleciti", marks every reminder row,
    // fills the reminder parameters and presses the channel's button. NoData when there is no
    // row to remind.
    virtual ActionOutcome runReminders(const ReminderJob& job) = 0;
    // The rows of the schedule grid as shown, every column of the record set.
    virtual const QAbstractItemModel* shownRows() const = 0;
    // After a Done runShow(): takes the rows "Proposte C/Lav." hands the proposals screen, in
    // that screen's order; Done leaves them in proposalRows() (every column), NoData when none.
    virtual ActionOutcome runProposals() = 0;
    virtual const QAbstractItemModel* proposalRows() const = 0;
    // The customer-commitment view on `article`, as "Impegnato cliente" shows it; Done leaves
    // its rows in commitmentRows(), Failed says why the statement failed.
    virtual ActionOutcome runCommitment(const QString& article) = 0;
    virtual const QAbstractItemModel* commitmentRows() const = 0;
    // In the result view of modification mode: opens the detail of the order line, types the
    // dates of the request on the phase, sets the direction and presses "&Calc. Date".
    // Cancelled when the detail refused the date (nothing written), NoData when the schedule
    // shows no such phase.
    virtual ActionOutcome runReschedule(const RescheduleRequest& request) = 0;
    // The function menu's "Annulla ultimo ricalcolo date"; NoData when there is nothing to undo.
    virtual ActionOutcome runUndoReschedule() = 0;
    // Writes the schedule grid as shown to an Excel workbook, as the screen's own export does.
    // False with the reason when nothing is shown or the file cannot be written.
    virtual bool exportWorkbook(const QString& path, QString& error) = 0;
};

} // namespace scadlav
