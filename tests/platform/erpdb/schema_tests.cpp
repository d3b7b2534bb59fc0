// The ERP schema as created through the embedded database's T-SQL.

#include "tests/support/ErpDbTesting.h"

#include <QString>
#include <QStringList>

using erpdb::testing::ErpDatabase;
using erpdb::testing::query;

namespace {

std::string typeOf(tsqlite::Connection& c, const std::string& table, const std::string& column) {
    auto r = query(c, "SELECT " + column + " FROM " + table + " WHERE 1 = 0");
    return r.ok && !r.columns.empty() ? r.columns.front().declType : "<" + r.firstError() + ">";
}

} // namespace

TEST(ErpSchema, DeclaresErpTypesAndTextRules) {
    ErpDatabase db;
    auto& c = db.connection();
    EXPECT_EQ(typeOf(c, "PD5C_SCADLAV", "PD5C_QTADAINV"), "decimal(14,3)");
    EXPECT_EQ(typeOf(c, "PD5C_SCADLAV", "PD5C_DATAFINEFASE"), "datetime");
    EXPECT_EQ(typeOf(c, "DO46_DOCCORORDDET", "DO46_CODSEQFASE"), "decimal(5,0)");
    EXPECT_EQ(typeOf(c, "DO11_DOCTESTATA", "DO11_NUMREG_CO99"), "varchar(12)");
    EXPECT_EQ(typeOf(c, "PD5D_ACCESSISCAD", "PD5D_ID_FW07"), "smallint");

    // Codes compare as the ERP's collation does: case and trailing blanks do not count.
    db.run("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_DESCART) VALUES (1, 'alb040-0001', "
           "'x')");
    auto r = query(c, "SELECT MG66_DESCART FROM MG66_ANAGRART WHERE MG66_CODART = 'ALB040-0001  '");
    ASSERT_TRUE(r.ok) << r.firstError();
    EXPECT_EQ(r.rows.size(), 1u);

    // A quantity keeps three decimals.
    db.run("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_QTA1ORD) VALUES ('K1', 10.12345)");
    EXPECT_EQ(query(c, "SELECT PD5C_QTA1ORD FROM PD5C_SCADLAV").value("PD5C_QTA1ORD"), "10.123");
}

TEST(ErpSchema, ScheduleKeyIsUniqueButMayRepeatAsNull) {
    ErpDatabase db;
    auto& c = db.connection();
    db.run("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES ('2026000000010000010001000000000070007')");
    db.run("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES (NULL)");
    db.run("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES (NULL)");
    std::vector<tsqlite::Error> errors;
    EXPECT_FALSE(
        c.execute("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID) VALUES ('2026000000010000010001000000000070007')",
                  nullptr, errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().number, tsqlite::kErrIntegrityViolation);
}

TEST(ErpSchema, AccessRegistryTakesPositionalRowsAndJoinsUsers) {
    ErpDatabase db;
    db.run("INSERT INTO FW07_APPUSER (FW07_ID, FW07_DESCR, FW07_IDENTITA) VALUES (2, 'Mario Rossi   ', "
           "'MROSSI')");
    db.run("INSERT INTO PD5D_ACCESSISCAD VALUES(2,1,0)");
    auto r =
        query(db.connection(), "SELECT FW07_DESCR,PD5D_FLGRIC,PD5D_FLGVISU FROM PD5D_ACCESSISCAD INNER JOIN "
                               "FW07_APPUSER ON FW07_ID = PD5D_ID_FW07");
    ASSERT_TRUE(r.ok) << r.firstError();
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.value("PD5D_FLGRIC"), "1");
    EXPECT_EQ(r.value("PD5D_FLGVISU"), "0");
}

TEST(ErpSchema, DocumentSelectionViewTellsOpenAndFulfilledLines) {
    ErpDatabase db;
    // line: ordered, fulfilled, closed by hand, cancelled, line kind (1 = description only)
    db.run("INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, DO30_QTA1, "
           "DO30_QTA1EVASA, DO30_FLGEVASA, DO30_FLGANNULLATA, DO30_INDTIPORIGA) VALUES (1, 'R1', 1, 10, 0, "
           "0, 0, 0), (1, 'R1', 2, 10, 4, 0, 0, 0), (1, 'R1', 3, 10, 10, 0, 0, 0), "
           "(1, 'R1', 4, 10, 2, 1, 0, 0), (1, 'R1', 5, 10, 0, 0, 1, 0), (1, 'R1', 6, NULL, NULL, NULL, "
           "NULL, 1)");
    auto r = query(db.connection(), "SELECT VFW_FLGDAEVADERE, VFW_FLGEVASO, VFW_QTA1RES FROM VFW_SELDOC WITH "
                                    "(NOLOCK) ORDER BY VFW_PROGRIGA_DO30");
    ASSERT_TRUE(r.ok) << r.firstError();
    // To fulfil, fulfilled, residual quantity.
    std::vector<std::string> lines;
    for (const auto& row : r.rows)
        lines.push_back(*row[0] + "," + *row[1] + "," + *row[2]);
    EXPECT_EQ(lines, (std::vector<std::string>{"1,0,10", "1,0,6", "1,1,0", "1,1,0", "0,0,10", "0,1,0"}));
}

TEST(ErpSchema, SecondCreationFailsWithAMessage) {
    ErpDatabase db;
    EXPECT_TRUE(erpdb::hasSchema(db.connection()));
    std::vector<tsqlite::Error> errors;
    EXPECT_FALSE(erpdb::createSchema(db.connection(), errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.front().description.find("CG07_TABSTATIEST"), std::string::npos)
        << errors.front().description;

    ErpDatabase empty(false);
    EXPECT_FALSE(erpdb::hasSchema(empty.connection()));
}
