#include "tests/support/ErpDbTesting.h"

namespace erpdb::testing {

std::string Result::value(const std::string& column, std::size_t row) const {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].name == column && row < rows.size())
            return rows[row][c].value_or(std::string());
    }
    return {};
}

void Collector::row(const tsqlite::Cell* cells, std::size_t count) {
    std::vector<std::optional<std::string>> out;
    for (std::size_t i = 0; i < count; ++i) {
        const tsqlite::Cell& c = cells[i];
        switch (c.kind) {
        case tsqlite::Cell::Kind::Null:
            out.emplace_back(std::nullopt);
            break;
        case tsqlite::Cell::Kind::Integer:
            out.emplace_back(std::to_string(c.i));
            break;
        case tsqlite::Cell::Kind::Real:
            out.emplace_back(QString::number(c.r, 'g', 15).toStdString());
            break;
        default:
            out.emplace_back(std::string(c.text));
        }
    }
    m_result.rows.push_back(std::move(out));
}

Result query(tsqlite::Connection& connection, const std::string& sql) {
    Result result;
    Collector sink(result);
    result.ok = connection.execute(sql, &sink, result.errors);
    return result;
}

ErpDatabase::ErpDatabase(bool withSchema) {
    registerDatabaseObjects();
    std::vector<tsqlite::Error> errors;
    m_connection = tsqlite::Connection::open(path().toStdString(), errors, true);
    if (!m_connection)
        throw std::runtime_error("cannot open the test database: " +
                                 (errors.empty() ? std::string() : errors.front().description));
    if (withSchema && !createSchema(*m_connection, errors))
        throw std::runtime_error("cannot create the schema: " + errors.front().description);
}

void ErpDatabase::run(const std::string& sql) {
    std::vector<tsqlite::Error> errors;
    ASSERT_TRUE(m_connection->execute(sql, nullptr, errors))
        << sql << "\n-> " << (errors.empty() ? std::string() : errors.front().description);
}

QString demoTemplate() {
    static QTemporaryDir dir;
    static const QString path = [] {
        registerDatabaseObjects();
        DemoOptions options;
        options.lines = 300;
        options.today = QDate(2026, 3, 15);
        QString error;
        const QString file = dir.filePath(QStringLiteral("template.db"));
        if (!createDemoDatabase(file, options, false, nullptr, &error)) {
            ADD_FAILURE() << "demo database: " << error.toStdString();
            return QString();
        }
        return file;
    }();
    return path;
}

bool createEmptyErpDatabase(const QString& path) {
    registerDatabaseObjects();
    std::vector<tsqlite::Error> errors;
    auto raw = tsqlite::Connection::open(path.toStdString(), errors, true);
    if (!raw || !createSchema(*raw, errors)) {
        ADD_FAILURE() << "schema: " << (errors.empty() ? std::string() : errors.front().description);
        return false;
    }
    return true;
}

} // namespace erpdb::testing
