#pragma once
// The access registry PD5D_ACCESSISCAD: planners coordinate through it so that nobody
// rebuilds the schedule while somebody else is in it or rebuilding it, nobody opens the
// schedule during a rebuild, and at most one planner works in modification mode.
//
// It is an advisory protocol made of plain statements: a row (user, rebuild flag, modification
// flag) says that the user is in the schedule and how. Rows are removed only by their owner.

#include "module/value/Value.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace scadlav {

namespace db {
class Connection;
class Recordset;
} // namespace db

class AccessRegistry {
public:
    // Runs one statement (options -1 or 129) and returns its result set, nullptr for 129; a
    // failing statement throws, so that the caller's error handling applies.
    using StatementRunner = std::function<std::unique_ptr<db::Recordset>(const QString& text, int options)>;
    // Shows a message (Italian text, text ID, style flags, parameter list) with the screen's
    // caption as title and returns the button pressed.
    using MessageFunction = std::function<std::int32_t(const QString& text, std::int32_t id,
                                                       std::int32_t buttons, const Value& parameters)>;

    AccessRegistry(StatementRunner runner, std::int16_t userId, MessageFunction message);

    // A runner over `connection` that throws a RuntimeException with the provider's error text.
    static StatementRunner runnerFor(db::Connection& connection);

    // Removes the rows a previous screen of the same user left behind (first activation).
    void PulisciRegistro();
    // Removes the user's rows ("Parametri", end of a rebuild, closing).
    void RimuoviUtente();

    // Before the schedule is shown. `modifica` is the text of the mode check box, "1" for
    // modification mode or "0" for view mode; it becomes "0" when the user accepts view mode
    // because somebody else is in modification mode. On success the user's row is inserted
    // with that mode and true is returned; on refusal nothing is written.
    bool ControlloVisualizzazione(QString& modifica);
    // Before a rebuild. Refused when anybody (this user included) is registered; otherwise
    // the rebuild row is inserted and kept, unless another user registered meanwhile.
    bool ControlloRicalcolo();

    std::int16_t userId() const { return m_userId; }

    // Statements, with the user ID appended in plain decimal where it ends with "= " or "<> ".
    static inline const QString SqlPulizia =
        QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE [PD5D_ID_FW07] = ");
    static inline const QString SqlRimozione =
        QStringLiteral("DELETE FROM PD5D_ACCESSISCAD WHERE PD5D_ID_FW07 = ");
    static inline const QString SqlControlloVisualizzazione =
        QStringLiteral("SELECT FW07_DESCR,PD5D_FLGRIC,PD5D_FLGVISU FROM PD5D_ACCESSISCAD INNER JOIN "
                       "FW07_APPUSER ON FW07_ID = "
                       "PD5D_ID_FW07");
    static inline const QString SqlControlloRicalcolo = QStringLiteral(
        "SELECT FW07_DESCR FROM PD5D_ACCESSISCAD INNER JOIN FW07_APPUSER ON FW07_ID = PD5D_ID_FW07");
    static inline const QString SqlControlloAltri =
        QStringLiteral("SELECT FW07_DESCR FROM PD5D_ACCESSISCAD INNER JOIN FW07_APPUSER ON FW07_ID = "
                       "PD5D_ID_FW07 WHERE PD5D_ID_FW07 <> ");

private:
    QString user() const { return QString::number(m_userId); }

    StatementRunner m_run;
    std::int16_t m_userId;
    MessageFunction m_message;
};

} // namespace scadlav
