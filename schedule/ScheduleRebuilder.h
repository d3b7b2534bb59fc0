#pragma once
// The rebuild of the schedule from the screen: the minimum date and the question before it, the
// order states checked before anything changes, the access registry, the button and the
// pointer, the status texts of each step and the messages that tell the outcome. The work itself
// is the engine's rebuild operation.

#include "module/services/IScheduleJobs.h"

#include <memory>

namespace scadlav {

class FRMPD_KVB_SCADLAV;
namespace db {
class Recordset;
} // namespace db

class ScheduleRebuilder {
public:
    explicit ScheduleRebuilder(FRMPD_KVB_SCADLAV& screen);
    ~ScheduleRebuilder();

    void CMD_RICALCOLA_ButtonClick();
    // The access registry for a rebuild; false when somebody else is in the schedule.
    bool RegistraRicalcolo();
    // The day of the last rebuild into TXT_DATARIC at the first activation; without a schedule
    // "Visualizza" stays disabled until a rebuild. Throws when the time cannot be read.
    void LeggiDataRicalcolo();
    // How the last press of the button ended.
    const ActionOutcome& lastOutcome() const { return m_outcome; }
    void release();

private:
    FRMPD_KVB_SCADLAV& m_screen;
    std::unique_ptr<db::Recordset> m_rsDataRicalcolo;
    ActionOutcome m_outcome;
};

} // namespace scadlav
