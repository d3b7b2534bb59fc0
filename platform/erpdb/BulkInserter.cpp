#include "BulkInserter.h"

#include <sqlite3.h>

namespace erpdb::detail {

SqlValue::SqlValue(Qty q) {
    // Whole quantities are stored as integers, as a decimal column holds them.
    if (q.milli % 1000 == 0) {
        m_kind = Kind::Integer;
        m_integer = q.milli / 1000;
    } else {
        m_kind = Kind::Real;
        m_real = static_cast<double>(q.milli) / 1000.0;
    }
}

SqlValue::SqlValue(const QDate& date) {
    if (!date.isValid())
        return;
    m_kind = Kind::Text;
    m_text = date.toString(QStringLiteral("yyyy-MM-dd 00:00:00.000")).toStdString();
}

int SqlValue::bind(sqlite3_stmt* stmt, int index) const {
    switch (m_kind) {
    case Kind::Null:
        return sqlite3_bind_null(stmt, index);
    case Kind::Integer:
        return sqlite3_bind_int64(stmt, index, m_integer);
    case Kind::Real:
        return sqlite3_bind_double(stmt, index, m_real);
    case Kind::Text:
        return sqlite3_bind_text(stmt, index, m_text.data(), static_cast<int>(m_text.size()),
                                 SQLITE_TRANSIENT);
    }
    return SQLITE_MISUSE;
}

BulkInserter::BulkInserter(sqlite3* db, const char* table, std::initializer_list<const char*> columns)
    : m_db(db), m_table(QString::fromLatin1(table)), m_columns(static_cast<int>(columns.size())) {
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    std::string marks;
    for (const char* c : columns) {
        if (!marks.empty()) {
            sql += ",";
            marks += ",";
        }
        sql += c;
        marks += "?";
    }
    sql += ") VALUES (" + marks + ")";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        m_error = QStringLiteral("cannot prepare the insert into %1: %2")
                      .arg(m_table, QString::fromUtf8(sqlite3_errmsg(db)));
}

BulkInserter::~BulkInserter() {
    sqlite3_finalize(m_stmt);
}

void BulkInserter::insert(std::initializer_list<SqlValue> values) {
    if (!ok())
        return;
    if (static_cast<int>(values.size()) != m_columns) {
        m_error = QStringLiteral("insert into %1: %2 values for %3 columns")
                      .arg(m_table)
                      .arg(values.size())
                      .arg(m_columns);
        return;
    }
    int index = 1;
    for (const SqlValue& v : values)
        v.bind(m_stmt, index++);
    if (sqlite3_step(m_stmt) != SQLITE_DONE)
        m_error =
            QStringLiteral("insert into %1 failed: %2").arg(m_table, QString::fromUtf8(sqlite3_errmsg(m_db)));
    else
        ++m_rows;
    sqlite3_reset(m_stmt);
}

} // namespace erpdb::detail
