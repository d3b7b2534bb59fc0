#pragma once
// Helpers shared by the embedded database's tests: a scratch database file and a sink that
// keeps result sets as text.

#include <tsqlite/tsqlite.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace tsqlite::testing {

// A result set as text: NULL cells read "NULL", numbers in their shortest form.
struct TextResult {
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

class RecordingSink : public ResultSink {
public:
    void beginResultSet(const std::vector<Column>& columns) override;
    void row(const Cell* cells, std::size_t count) override;
    void endResultSet() override {}
    std::vector<TextResult> results;
};

std::string cellText(const Cell& cell);

// Runs a batch that must succeed.
void run(Connection& db, std::string_view sql);
// The rows of the last result set of a batch that must succeed, each as its cells joined by "|".
std::vector<std::string> rows(Connection& db, std::string_view sql);
// The first cell of that result set; "<none>" when it has no row.
std::string scalar(Connection& db, std::string_view sql);

// A fresh database file in a temporary folder, removed with the object.
class ScratchDatabase {
public:
    ScratchDatabase();
    ~ScratchDatabase();
    const std::string& path() const { return m_path; }
    std::unique_ptr<Connection> open() const;

private:
    std::filesystem::path m_dir;
    std::string m_path;
};

// A child process that has ended but that this process has not collected: a zombie, as a killed
// process stays until its parent waits for it. Collected when the object goes.
class Zombie {
public:
    Zombie();
    ~Zombie();
    pid_t pid() const { return m_pid; }
    // Its start time in clock ticks since boot (field 22 of /proc/<pid>/stat); -1 if it never
    // showed as a zombie.
    std::int64_t startTicks() const { return m_startTicks; }

private:
    pid_t m_pid = -1;
    std::int64_t m_startTicks = -1;
};

} // namespace tsqlite::testing
