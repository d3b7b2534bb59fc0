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
    // The rows of the schedule grid as shown, every column of the record set.
    virtual const QAbstractItemModel* shownRows() const = 0;
    // Writes the schedule grid as shown to an Excel workbook, as the screen's own export does.
    // False with the reason when nothing is shown or the file cannot be written.
    virtual bool exportWorkbook(const QString& path, QString& error) = 0;
};

} // namespace scadlav
