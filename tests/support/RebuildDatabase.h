#pragma once
// An embedded ERP database for the rebuild's tests, reached through the module's own
// connection, with the steps of the rebuild operation the screen runs.

#include "engine/RebuildStatements.h"
#include "engine/ScheduleRebuild.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "tests/support/ErpDbTesting.h"

#include <memory>

namespace scadlav::testing {

class RebuildDatabase {
public:
    RebuildDatabase();

    erpdb::testing::ErpDatabase& erp() { return m_erp; }
    db::Connection& connection() { return m_connection; }
    const engine::WorkTables& tables() const { return m_tables; }

    // Runs a statement that must succeed.
    void exec(const QString& sql);
    // The first row of a query; fails the test when it does not run.
    std::unique_ptr<db::Recordset> query(const QString& sql);
    // One value of the schedule row with `key`.
    Value scheduleValue(const QString& key, const char* column);
    int scheduleCount(const QString& condition = QString());

    // The rebuild operation's steps up to the insert. Returns false when the server refused
    // the insert (its first error in insertError()).
    bool rebuild(const engine::RebuildInputs& inputs);
    const db::DbError& insertError() const { return m_insertError; }
    engine::ScheduleRebuild& operation() { return *m_rebuild; }
    // The second quantity pass and the mark of rows with a quantity to send.
    void completeQuantities();
    // The schedule as the per-row pass reads it, standing on its first row.
    std::unique_ptr<db::Recordset> openSchedule();

    // A small order book of company 1: production order P1 with an internal cut, a
    // subcontracted weld (worked through subcontract order C1) and an internal paint phase on
    // line 12, a fully reported line 13 and a closed line 14; P2 with a subcontractor code of
    // nine digits; P0 older than the rebuild's dates; C9 a subcontract order of reason 9999;
    // the same P1 in company 2. Users 7 and 8 exist.
    void fillSmallOrderBook();

    static engine::RebuildInputs defaultInputs(std::int16_t company = 1);

private:
    erpdb::testing::ErpDatabase m_erp;
    db::Connection m_connection;
    engine::WorkTables m_tables;
    std::unique_ptr<engine::ScheduleRebuild> m_rebuild;
    db::DbError m_insertError;
};

} // namespace scadlav::testing
