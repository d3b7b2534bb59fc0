#pragma once
// Fast inserts for the demo generator: one prepared statement per table on the raw SQLite
// handle, values written in the forms the embedded database stores (dates as
// "YYYY-MM-DD HH:MM:SS.mmm", decimals already rounded to their scale).

#include <QDate>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace erpdb::detail {

// A quantity in thousandths, so that the generator's arithmetic is exact.
struct Qty {
    std::int64_t milli = 0;
    static Qty units(std::int64_t n) { return {n * 1000}; }
};

struct Null {};

// One value of a row.
class SqlValue {
public:
    SqlValue(Null) {}
    SqlValue(int v) : m_kind(Kind::Integer), m_integer(v) {}
    SqlValue(std::int64_t v) : m_kind(Kind::Integer), m_integer(v) {}
    SqlValue(Qty q);
    SqlValue(const char* text) : m_kind(Kind::Text), m_text(text) {}
    SqlValue(std::string text) : m_kind(Kind::Text), m_text(std::move(text)) {}
    SqlValue(const QString& text) : m_kind(Kind::Text), m_text(text.toStdString()) {}
    // A date at midnight; an invalid date is Null.
    SqlValue(const QDate& date);

    int bind(sqlite3_stmt* stmt, int index) const;

private:
    enum class Kind { Null, Integer, Real, Text };
    Kind m_kind = Kind::Null;
    std::int64_t m_integer = 0;
    double m_real = 0;
    std::string m_text;
};

class BulkInserter {
public:
    BulkInserter(sqlite3* db, const char* table, std::initializer_list<const char*> columns);
    ~BulkInserter();
    BulkInserter(const BulkInserter&) = delete;
    BulkInserter& operator=(const BulkInserter&) = delete;

    // Inserts one row; the values follow the column order. A failure is kept in error().
    void insert(std::initializer_list<SqlValue> values);

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    int rows() const { return m_rows; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_table;
    int m_columns = 0;
    int m_rows = 0;
    QString m_error;
};

} // namespace erpdb::detail
