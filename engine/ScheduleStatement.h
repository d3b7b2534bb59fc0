#pragma once
// The statements that read the schedule for the screen: the one run by "Visualizza" and the
// one run when the user picks another sort order. Both select every schedule column, the three
// classification codes computed by the server and the descriptive columns of the order line,
// its job and its project; they differ in layout and in their ORDER BY lists.

#include "module/sql/SqlText.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace scadlav {

// What the statements are built from, as read from the screen's parameter controls.
struct ScheduleParameters {
    std::int16_t companyCode = 0;
    // The minimum document date already written as an SQL literal ("null" when empty).
    QString minDateLiteral;
    // Phase type: "0" all, "1" internal only, "2" subcontracted only.
    QString phaseType = QStringLiteral("0");
    // The filter panel's condition, on the panel's field names; "" when nothing is filled.
    QString filterCondition;
    // Keys of the ticked order states ("K0" ... "K4"), in list order.
    QStringList stateKeys;
    // Sort order: "0" supplier/department, "1" order, "2" end date, "3" start date.
    QString sortCode = QStringLiteral("0");
};

namespace schedule_sql {

// The classification codes, each on one line.
inline const QString CtrlDate =
    QStringLiteral("CASE WHEN PD5C_DATAFINEFASE < dbo.QRX_GETDATE() THEN 3 WHEN ((dbo.QRX_GETDATE() BETWEEN "
                   "PD5C_DATAINIFASE AND PD5C_DATAFINEFASE) AND ISNULL(PD5C_QTA1CONSOLID,0) = 0 AND "
                   "ISNULL(PD5C_QTAINLAV,0) = 0) THEN 2 ELSE 1 END AS CTRL_DATE");
inline const QString CtrlQta = QStringLiteral(
    "CASE WHEN ([PD5C_QTADAINV] > 0 and PD5C_GIACPREC >= PD5C_QTADAINV) THEN 1 WHEN "
    "([PD5C_QTADAINV] > 0 and PD5C_GIACPREC < PD5C_QTADAINV and PD5C_GIACPREC > 0) THEN 2 ELSE 4 "
    "END AS CTRL_QTA");
inline const QString Soll = QStringLiteral(
    "CASE WHEN ISNULL([PD5C_QTAINLAV],0) = 0 THEN 4 ELSE (CASE WHEN PD5C_DATAINIFASE > "
    "dbo.QRX_GETDATE() THEN 1 WHEN PD5C_DATAFINEFASE < dbo.QRX_GETDATE() THEN 3 WHEN "
    "dbo.QRX_GETDATE() BETWEEN PD5C_DATAINIFASE AND PD5C_DATAFINEFASE THEN 2 END) END AS SOLL");

// The filter panel writes its conditions on the order tables' fields; the schedule holds
// copies of them under its own names.
struct FieldRename {
    QString panelField;
    QString scheduleColumn;
};
const QList<FieldRename>& filterRenames();

// " " + condition + " " with every panel field renamed, in the table's order; "" for "".
QString renameFilterFields(const QString& condition);

// The state codes of the ticked keys ("K2" -> "2"), comma-separated; "" when none is ticked.
QString stateCodes(const QStringList& stateKeys);

// ORDER BY fragments of the two statements; "" for an unknown sort code.
QString showOrderBy(const QString& sortCode);
QString resortOrderBy(const QString& sortCode);

// The tables both statements read, so that whoever keeps their rows can tell when they changed.
const QStringList& tablesRead();

// The statements; nullopt when no order state is ticked (there is nothing to show).
std::optional<QString> showStatement(const ScheduleParameters& parameters);
std::optional<QString> resortStatement(const ScheduleParameters& parameters);

} // namespace schedule_sql
} // namespace scadlav
