#pragma once

#include "module/services/IDateObject.h"
#include "module/value/Value.h"

#include <QDateTime>

namespace scadlav::doubles {

// The host's date object for the embedded database: reads the dates a user or a database writes
// and writes them in the embedded database's own form.
class EmbeddedDateObject : public IDateObject {
public:
    void setConnectionString(const QString&) override {}
    void setText(const QString& text) override { m_value = parseDateTimeText(text).value_or(QDateTime()); }
    int status() const override { return m_value.isValid() ? StatusValid : StatusInvalid; }
    QDateTime value() const override { return m_value; }
    QString sqlText() const override { return m_value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

private:
    QDateTime m_value;
};

} // namespace scadlav::doubles
