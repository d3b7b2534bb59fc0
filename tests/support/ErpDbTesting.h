#pragma once
// Shared by the ERP database tests: a fresh embedded database in a temporary folder and a
// way to read query results as text.

#include "erpdb.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace erpdb::testing {

// Rows of the last result set, every cell as text; std::nullopt for Null.
struct Result {
    std::vector<tsqlite::Column> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::vector<tsqlite::Error> errors;
    bool ok = false;

    std::string firstError() const { return errors.empty() ? std::string() : errors.front().description; }
    // The cell of the first row in the named column ("" when Null or absent).
    std::string value(const std::string& column, std::size_t row = 0) const;
};

class Collector : public tsqlite::ResultSink {
public:
    explicit Collector(Result& result) : m_result(result) {}
    void beginResultSet(const std::vector<tsqlite::Column>& columns) override {
        m_result.columns = columns;
        m_result.rows.clear();
    }
    void row(const tsqlite::Cell* cells, std::size_t count) override;
    void endResultSet() override {}

private:
    Result& m_result;
};

Result query(tsqlite::Connection& connection, const std::string& sql);

// The demo order book the process tests start from (300 lines, today 15 March 2026), generated
// once per test program; each test copies it. Empty when it could not be made (the test fails).
QString demoTemplate();

// An empty ERP database (the objects registered, the schema made) at `path`.
bool createEmptyErpDatabase(const QString& path);

// A database file in a temporary folder, with the objects registered and the schema made.
class ErpDatabase {
public:
    explicit ErpDatabase(bool withSchema = true);
    tsqlite::Connection& connection() { return *m_connection; }
    QString path() const { return m_dir.filePath(QStringLiteral("erp.db")); }
    QString folder() const { return m_dir.path(); }
    // Runs a statement that must succeed.
    void run(const std::string& sql);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<tsqlite::Connection> m_connection;
};

} // namespace erpdb::testing
