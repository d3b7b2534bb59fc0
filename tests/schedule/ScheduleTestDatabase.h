#pragma once
// An embedded ERP database with the schema and a few users, in a temporary folder, for the
// tests of the schedule screen and its access registry.

#include "erpdb.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "tests/support/ErpDbTesting.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace scadlav::testing {

// The access registry as "user/rebuild/modification" texts, in the table's order.
inline QStringList registryRows(db::Connection& connection) {
    QStringList rows;
    auto rs = connection.execute(
        "SELECT PD5D_ID_FW07, PD5D_FLGRIC, PD5D_FLGVISU FROM PD5D_ACCESSISCAD ORDER BY PD5D_ID_FW07, "
        "PD5D_FLGRIC, PD5D_FLGVISU");
    if (!rs || !rs->isOpen())
        return rows;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext())
        rows << rs->value(0).toText() + QLatin1Char('/') + rs->value(1).toText() + QLatin1Char('/') +
                    rs->value(2).toText();
    return rows;
}

class ScheduleTestDatabase {
public:
    ScheduleTestDatabase() {
        m_path = m_dir.filePath("erp.db");
        erpdb::testing::createEmptyErpDatabase(m_path);
        m_connection = std::make_unique<db::Connection>();
        if (!m_connection->open(connectionString()))
            ADD_FAILURE() << "open: " << m_connection->lastErrorText().toStdString();
        exec("INSERT INTO FW07_APPUSER (FW07_ID, FW07_LOGIN, FW07_DESCR) VALUES (2, 'mrossi', "
             "'Mario Rossi   '), (3, 'gbianchi', 'Giulia Bianchi'), (7, 'lferrari', 'Luca Ferrari')");
    }

    QString path() const { return m_path; }
    QString connectionString() const { return QStringLiteral("Provider=tsqlite;Data Source=") + m_path; }
    db::Connection& connection() { return *m_connection; }

    void exec(const QString& sql) {
        if (!m_connection->execute(sql, db::kCmdTextNoRecords))
            ADD_FAILURE() << sql.toStdString() << ": " << m_connection->lastErrorText().toStdString();
    }

    QStringList registry() { return registryRows(*m_connection); }

    // True when a global temporary table of that name exists for any connection.
    bool tempTableExists(const QString& name) {
        auto rs = m_connection->execute(QStringLiteral("SELECT OBJECT_ID('tempdb..") + name + "') AS ID");
        return rs && rs->isOpen() && rs->recordCount() > 0 && !rs->value(0).isEmptyOrNull();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<db::Connection> m_connection;
};

} // namespace scadlav::testing
