#pragma once
// The ordering rules a new phase date typed in the order detail must respect against the other
// phases of its order line, and the cycle of the "Mod." direction. No screen and no database:
// the screen hands the line's rows in, the rules say which message refuses the date.

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

namespace scadlav::engine {

// One phase of the order line as the detail shows it: key, sequence and the dates typed so far.
struct DetailPhase {
    QString key;
    qint64 sequence = 0;
    std::optional<QDate> start;
    std::optional<QDate> end;
};

enum class DetailDateColumn { Start, End };

// The refusal of a date: the message's text ID and its Italian text; none when accepted.
struct DateRefusal {
    int textId = 0;
    QString text;
};

// Checks `date` typed in `column` of the phase `edited` of `line` (all phases of the order line,
// the edited one included, with its dates before the edit). Against its own other date first,
// then against every other phase: a phase with a sequence not greater than the edited one's
// counts as earlier (sub-phases of one sequence are earlier for each other), a greater one as
// later; the end date is tested before the start date, and the first failing phase decides.
// Equal dates pass.
std::optional<DateRefusal> checkDetailDate(const QList<DetailPhase>& line, const QString& edited,
                                           DetailDateColumn column, const QDate& date);

// Directions of the recalculation anchored on a phase (the detail's IND_DIR).
namespace direction {
inline constexpr int None = 0;
inline constexpr int Forward = 1;  // "Avanti"
inline constexpr int Backward = 2; // "Indietro"
inline constexpr int Phase = 3;    // "Fase corr."
} // namespace direction

// A click on "Mod.": none becomes "Fase corr.", forward becomes backward, backward becomes
// "Fase corr.", "Fase corr." becomes forward; any other value stays.
int nextDirection(int current);

} // namespace scadlav::engine
