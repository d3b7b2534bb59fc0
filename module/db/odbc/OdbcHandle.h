#pragma once

#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace scadlav::db::odbc {

// Owns one ODBC handle (environment, connection or statement) and frees it on destruction.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : m_type(type), m_handle(handle) {}
    ~OdbcHandle() { reset(); }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept
        : m_type(other.m_type), m_handle(std::exchange(other.m_handle, SQLHANDLE{})) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            reset();
            m_type = other.m_type;
            m_handle = std::exchange(other.m_handle, SQLHANDLE{});
        }
        return *this;
    }

    // Allocates a handle of `type` under `parent`; false when the driver manager refuses.
    bool allocate(SQLSMALLINT type, SQLHANDLE parent) {
        reset();
        SQLHANDLE handle = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle)))
            return false;
        m_type = type;
        m_handle = handle;
        return true;
    }

    void reset() {
        if (m_handle != SQL_NULL_HANDLE)
            SQLFreeHandle(m_type, m_handle);
        m_handle = SQL_NULL_HANDLE;
    }

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT m_type = SQL_HANDLE_STMT;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

} // namespace scadlav::db::odbc
