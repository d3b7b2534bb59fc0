#pragma once
// The T-SQL text of the schedule rebuild, built from the screen's inputs. Every function
// returns the exact statement the rebuild sends, so the text can be checked without a screen.
// Fragments end with a carriage return and line feed unless the statement says otherwise.

#include "module/sql/SqlText.h"
#include "module/value/Value.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace scadlav::engine {

// The seven per-user global temporary tables of the rebuild and the schedule query. Each name
// is a fixed prefix followed by what makes it the session's own (the user's identity and a
// time), already made safe for a table name.
struct WorkTables {
    QString TempDati;       // "##TempDati_": quantity in work, filled by the stored procedure
    QString TempDatiGRP;    // "##TempDatiGRP_": the same quantities, one row per phase key
    QString TestateODLOCL;  // "##Testate_ODL_OCL": the procedure's own tables
    QString DocumCambioCod; // "##Docum_CambioCod"
    QString DocumFase;      // "##Docum_Fase"
    QString TabElab;        // "##TabElab_": the schedule query's table, dropped so it starts afresh
    QString TabODL;         // "##TabODL_": order lines chosen by the filter panel

    // Each table named by `name(prefix)`, called once per table in the order above.
    static WorkTables named(const std::function<QString(const QString& prefix)>& name);
    // Every prefix followed by `suffix` (tests and benchmarks).
    static WorkTables withSuffix(const QString& suffix);
    // The six tables the rebuild drops before it starts (all but the schedule query's table).
    QList<const QString*> rebuildTables() const;
};

// What the user chose on the parameter view.
struct RebuildInputs {
    std::int16_t company = 0;
    // The minimum document date as an SQL literal (quotes included).
    QString minDateLiteral;
    // Text of the phase-type combo: "1" internal, "2" external, anything else all.
    QString phaseType;
    // The filter panel's condition text, as the panel gives it.
    QString filterCondition;
    // Keys ("K0".."K4") of the ticked order states in list order; unset when the state
    // button is disabled, so that no state condition is added.
    std::optional<QStringList> checkedStates;
};

// "if exists (...) drop table T" for one working table.
QString dropTempTableSql(const QString& table);

// One blank, the condition and one blank; "" when the condition is empty.
QString filterText(const QString& condition);
// True when the filter text holds more than blanks, so the filter table is built.
bool hasFilter(const QString& filterText);

// The phase-type line: "AND DO46_INDFASEINTEST = 0 " + CRLF for "1", "= 1" for "2", else "".
QString phaseTypeLine(const QString& phaseType);
// " AND DO31_INDSTATOCONS IN(0,3)" from the ticked keys; nullopt when none is ticked.
std::optional<QString> stateListCondition(const QStringList& checkedKeys);
// The lines appended after the date and document-type conditions of both the filter table and
// the insert: phase type, filter text, state list. nullopt when the state list is empty.
std::optional<QString> commonConditions(const RebuildInputs& inputs);

// The left joins to the project tables, so that the filter panel's condition can name them.
QString projectJoins();

// SELECT ... INTO the filter table, over the order lines the rebuild may take.
QString filterTableSql(const RebuildInputs& inputs, const QString& tabOdl, const QString& common);

// The named parameters of SPPD_SITCLAVORO; the filter table only when it was built.
struct ProcedureArgument {
    QString name;
    Value value;
    bool smallInt = false;
};
inline const QString SitcLavoroProcedure = QStringLiteral("SPPD_SITCLAVORO");
std::vector<ProcedureArgument> sitcLavoroArguments(std::int16_t company, const QString& subcontractWarehouse,
                                                   const WorkTables& tables, bool withFilterTable);

// The grouped quantity-in-work table: one row per phase key whose article has a bill of
// materials of type 0, then the positive quantities copied in.
QString groupedSelectSql(const QString& grouped, const QString& data);
QString groupedUpdateSql(const QString& grouped, const QString& data);
// An index on the phase key of the grouped table. The insert and the per-row pass join the
// table on that key for every phase; without the index the embedded database scans the whole
// table for each phase, which grows with the square of the order book.
QString groupedIndexSql(const QString& grouped);

inline const QString DeleteScheduleSql = QStringLiteral("DELETE FROM PD5C_SCADLAV");
// INSERT ... SELECT of every phase of the open order lines into the schedule table.
QString insertScheduleSql(const RebuildInputs& inputs, const QString& grouped, const QString& common);
// Second match of the quantity in work, without the article.
QString quantityInWorkUpdateSql(const QString& grouped);
inline const QString PreviousPhaseMarkSql =
    QStringLiteral("UPDATE PD5C_SCADLAV SET PD5C_FASEPREC = '0' WHERE PD5C_QTADAINV > 0");
inline const QString ScheduleSelectSql = QStringLiteral(
    "SELECT * FROM PD5C_SCADLAV ORDER BY PD5C_NUMREG_CO99,PD5C_PROGRIGA_DO30,PD5C_SEQUENZA ASC");
inline const QString LastRebuildSql = QStringLiteral("SELECT TOP 1 PD5C_DATAELAB FROM PD5C_SCADLAV");

// Provider code of an integrity violation: order lines holding two phases with one key.
inline constexpr std::int64_t IntegrityViolation = static_cast<std::int32_t>(0x80040E2F);

} // namespace scadlav::engine
