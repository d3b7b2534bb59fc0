#include "engine/DetailDateRules.h"

namespace scadlav::engine {

namespace {

const DateRefusal kStartAfterOwnEnd{
    78515, QStringLiteral("Selezionare una data inizio minore della data fine fase !!")};
const DateRefusal kStartBeforeLater{
    78516, QStringLiteral("Selezionare una data inizio minore delle date sulle fasi successive !!")};
const DateRefusal kStartAfterEarlier{
    78517, QStringLiteral("Selezionare una data inizio maggiore delle date sulle fasi precedenti !!")};
const DateRefusal kEndBeforeOwnStart{
    78518, QStringLiteral("Selezionare una data fine maggiore della data inizio fase !!")};
const DateRefusal kEndAfterLater{
    78519, QStringLiteral("Selezionare una data fine minore delle date sulle fasi successive !!")};
const DateRefusal kEndBeforeEarlier{
    78520, QStringLiteral("Selezionare una data fine maggiore delle date sulle fasi precedenti !!")};

bool later(const std::optional<QDate>& date, const QDate& than) {
    return date && *date > than;
}

bool earlier(const std::optional<QDate>& date, const QDate& than) {
    return date && *date < than;
}

} // namespace

std::optional<DateRefusal> checkDetailDate(const QList<DetailPhase>& line, const QString& edited,
                                           DetailDateColumn column, const QDate& date) {
    const DetailPhase* own = nullptr;
    for (const DetailPhase& phase : line) {
        if (phase.key == edited) {
            own = &phase;
            break;
        }
    }
    if (!own)
        return std::nullopt;
    const bool start = column == DetailDateColumn::Start;
    if (start && earlier(own->end, date))
        return kStartAfterOwnEnd;
    if (!start && later(own->start, date))
        return kEndBeforeOwnStart;

    for (const DetailPhase& other : line) {
        // Rows that share the edited key (two sub-phases can) are left out with it.
        if (other.key == edited)
            continue;
        if (other.sequence <= own->sequence) {
            if (later(other.end, date) || later(other.start, date))
                return start ? kStartAfterEarlier : kEndBeforeEarlier;
        } else if (earlier(other.end, date) || earlier(other.start, date)) {
            return start ? kStartBeforeLater : kEndAfterLater;
        }
    }
    return std::nullopt;
}

int nextDirection(int current) {
    switch (current) {
    case direction::None:
        return direction::Phase;
    case direction::Forward:
        return direction::Backward;
    case direction::Backward:
        return direction::Phase;
    case direction::Phase:
        return direction::Forward;
    default:
        return current;
    }
}

} // namespace scadlav::engine
