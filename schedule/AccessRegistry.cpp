#include "schedule/AccessRegistry.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IMessageService.h"
#include "module/services/RuntimeError.h"
#include "module/sql/SqlText.h"

#include <QStringList>

namespace scadlav {

namespace {

// Every registry message is an information box; the modification question adds Yes and No.
constexpr std::int32_t kInfo = msgbox::Information;
constexpr std::int32_t kYesNoInfo = msgbox::YesNo | msgbox::Information;

constexpr std::int32_t kIdRicalcoloInCorso = 78507;
constexpr std::int32_t kIdModificaOccupata = 78508;
constexpr std::int32_t kIdUtentiPresenti = 78511;

const QString kTestoRicalcoloInCorso = QStringLiteral(
    "Impossibile accedere in visualizzazione, è in corso un ricalcolo dei dati da parte dell'utente ");
const QString kTestoModificaOccupata =
    QStringLiteral("Impossibile accedere in modifica. Accesso in modifica effettuato dall'utente ");
const QString kTestoAccessoVisualizzazione = QStringLiteral("Eseguire accesso in visualizzazione?");
const QString kTestoUtentiPresenti =
    QStringLiteral("Impossibile eseguire il ricalcolo, i seguenti utenti stanno utilizzando il programma:");
const QString kTestoAttendere =
    QStringLiteral("Attendere che tutti gli utenti abbiano terminato e rilanciare il ricalcolo.");

bool hasRows(const db::Recordset* rs) {
    return rs && rs->isOpen() && rs->recordCount() > 0;
}

QString utentiPresenti(const QString& names) {
    return kTestoUtentiPresenti + CRLF + names + CRLF + kTestoAttendere;
}

} // namespace

AccessRegistry::AccessRegistry(StatementRunner runner, std::int16_t userId, MessageFunction message)
    : m_run(std::move(runner)), m_userId(userId), m_message(std::move(message)) {}

AccessRegistry::StatementRunner AccessRegistry::runnerFor(db::Connection& connection) {
    return [&connection](const QString& text, int options) -> std::unique_ptr<db::Recordset> {
        std::unique_ptr<db::Recordset> rs = connection.execute(text, options);
        if (!rs) {
            RuntimeError error;
            error.number = RuntimeError::ApplicationDefined;
            error.description = connection.lastErrorText();
            error.source = QStringLiteral("AccessRegistry");
            throw RuntimeException(error);
        }
        return rs;
    };
}

void AccessRegistry::PulisciRegistro() {
    m_run(SqlPulizia + user(), db::kCmdTextNoRecords);
}

void AccessRegistry::RimuoviUtente() {
    m_run(SqlRimozione + user(), db::kCmdTextNoRecords);
}

bool AccessRegistry::ControlloVisualizzazione(QString& modifica) {
    std::unique_ptr<db::Recordset> rs = m_run(SqlControlloVisualizzazione, db::kExecUnspecified);
    if (hasRows(rs.get())) {
        // The statement has no ordering: whoever the server returns first decides.
        rs->moveFirst();
        const QString name = RTrimN(rs->value(QStringLiteral("FW07_DESCR")));
        if (NVL(rs->value(QStringLiteral("PD5D_FLGRIC")), Value(0)).toInt64().value_or(0) == 1) {
            m_message(kTestoRicalcoloInCorso + name, kIdRicalcoloInCorso, kInfo, Value(QList<Value>{name}));
            return false;
        }
        if (modifica == QStringLiteral("1")) {
            if (!rs->setFilter(QStringLiteral("PD5D_FLGVISU = 1")))
                throw RuntimeException({RuntimeError::ApplicationDefined,
                                        rs->lastErrorText(),
                                        QStringLiteral("AccessRegistry"),
                                        {}});
            if (rs->recordCount() > 0) {
                rs->moveFirst();
                const QString holder = RTrimN(rs->value(QStringLiteral("FW07_DESCR")));
                const std::int32_t answer =
                    m_message(kTestoModificaOccupata + holder + CRLF + kTestoAccessoVisualizzazione,
                              kIdModificaOccupata, kYesNoInfo, Value(QList<Value>{holder}));
                if (answer == msgbox::ResultNo)
                    return false;
                modifica = QStringLiteral("0");
            }
        }
    }
    const QString mode = modifica == QStringLiteral("1") ? QStringLiteral("1") : QStringLiteral("0");
    m_run(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(") + user() + QStringLiteral(",0,") + mode +
              QStringLiteral(")"),
          db::kCmdTextNoRecords);
    return true;
}

bool AccessRegistry::ControlloRicalcolo() {
    std::unique_ptr<db::Recordset> rs = m_run(SqlControlloRicalcolo, db::kExecUnspecified);
    if (hasRows(rs.get())) {
        QStringList names;
        for (rs->moveFirst(); !rs->eof(); rs->moveNext())
            names << RTrimN(rs->value(QStringLiteral("FW07_DESCR")));
        const QString list = names.join(QLatin1Char(','));
        m_message(utentiPresenti(list), kIdUtentiPresenti, kInfo, Value(QList<Value>{list}));
        return false;
    }
    rs.reset();

    m_run(QStringLiteral("INSERT INTO PD5D_ACCESSISCAD VALUES(") + user() + QStringLiteral(",1,0)"),
          db::kCmdTextNoRecords);

    // Somebody may have registered between the check and the insert: both back off.
    std::unique_ptr<db::Recordset> others = m_run(SqlControlloAltri + user(), db::kExecUnspecified);
    if (hasRows(others.get())) {
        others->moveFirst();
        const QString name = RTrimN(others->value(QStringLiteral("FW07_DESCR")));
        RimuoviUtente();
        m_message(utentiPresenti(name), kIdUtentiPresenti, kInfo, Value(QList<Value>{name}));
        return false;
    }
    return true;
}

} // namespace scadlav
