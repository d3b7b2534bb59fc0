#include "TestSupport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tsqlite::testing {

std::string cellText(const Cell& cell) {
    switch (cell.kind) {
    case Cell::Kind::Null:
        return "NULL";
    case Cell::Kind::Integer:
        return std::to_string(cell.i);
    case Cell::Kind::Real: {
        // printf's %.15g, in the C locale whatever the test's locale
        char buffer[64];
        return std::string(
            buffer,
            std::to_chars(buffer, buffer + sizeof buffer, cell.r, std::chars_format::general, 15).ptr);
    }
    case Cell::Kind::Text:
    case Cell::Kind::Blob:
        return std::string(cell.text);
    }
    return {};
}

void RecordingSink::beginResultSet(const std::vector<Column>& columns) {
    results.push_back(TextResult{columns, {}});
}

void RecordingSink::row(const Cell* cells, std::size_t count) {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(cellText(cells[i]));
    results.back().rows.push_back(std::move(values));
}

namespace {

std::string firstError(const std::vector<Error>& errors) {
    return errors.empty() ? std::string() : errors.front().description;
}

TextResult lastResult(Connection& db, std::string_view sql) {
    RecordingSink sink;
    std::vector<Error> errors;
    EXPECT_TRUE(db.execute(sql, &sink, errors)) << sql << "\n" << firstError(errors);
    return sink.results.empty() ? TextResult{} : std::move(sink.results.back());
}

} // namespace

void run(Connection& db, std::string_view sql) {
    std::vector<Error> errors;
    EXPECT_TRUE(db.execute(sql, nullptr, errors)) << sql << "\n" << firstError(errors);
}

std::vector<std::string> rows(Connection& db, std::string_view sql) {
    std::vector<std::string> out;
    for (const auto& row : lastResult(db, sql).rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i)
            line += (i ? "|" : "") + row[i];
        out.push_back(line);
    }
    return out;
}

std::string scalar(Connection& db, std::string_view sql) {
    const TextResult result = lastResult(db, sql);
    return result.rows.empty() || result.rows[0].empty() ? "<none>" : result.rows[0][0];
}

ScratchDatabase::ScratchDatabase() {
    std::random_device random;
    m_dir = std::filesystem::temp_directory_path() / ("tsqlite-test-" + std::to_string(random()));
    std::filesystem::create_directories(m_dir);
    m_path = (m_dir / "erp.db").string();
}

ScratchDatabase::~ScratchDatabase() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

std::unique_ptr<Connection> ScratchDatabase::open() const {
    std::vector<Error> errors;
    auto connection = Connection::open(m_path, errors, true);
    EXPECT_TRUE(connection) << (errors.empty() ? "" : errors.front().description);
    return connection;
}

Zombie::Zombie() {
    m_pid = ::fork();
    if (m_pid == 0)
        ::_exit(0);
    for (int wait = 0; m_pid > 0 && wait < 500 && m_startTicks < 0; ++wait) {
        std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
        const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string field;
        fields >> field;
        if (field == "Z")
            for (int index = 4; fields >> field; ++index)
                if (index == 22)
                    m_startTicks = std::stoll(field);
        if (m_startTicks < 0)
            ::usleep(10000);
    }
}

Zombie::~Zombie() {
    if (m_pid > 0)
        ::waitpid(m_pid, nullptr, 0);
}

} // namespace tsqlite::testing
