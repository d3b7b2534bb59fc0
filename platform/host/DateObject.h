#pragma once

#include "module/services/IDateObject.h"

namespace erphost {

// The host's date object. SQL Server gets 'YYYYMMDD HH:MM:SS', which it reads the same way
// whatever the login's language (an Italian login reads 'YYYY-MM-DD' as year-day-month); the
// embedded database gets its own canonical 'YYYY-MM-DD HH:MM:SS'.
class DateObject : public scadlav::IDateObject {
public:
    explicit DateObject(QString connectionString = {}) : m_connectionString(std::move(connectionString)) {}

    void setConnectionString(const QString& connectionString) override;
    void setText(const QString& text) override;
    int status() const override { return m_value.isValid() ? StatusValid : StatusInvalid; }
    QDateTime value() const override { return m_value; }
    QString sqlText() const override;

private:
    QString m_connectionString;
    QDateTime m_value;
};

} // namespace erphost
