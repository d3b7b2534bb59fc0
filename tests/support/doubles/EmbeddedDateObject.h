#pragma once

#include "module/services/IDateObject.h"

#include <QDateTime>

namespace scadlav::doubles {

// The host's date object for the embedded database: reads dd/mm/yyyy and writes dates in the
// embedded database's own form.
class EmbeddedDateObject : public IDateObject {
public:
    void setConnectionString(const QString&) override {}
    void setText(const QString& text) override {
        m_value = QDateTime(QDate::fromString(text, QStringLiteral("dd/MM/yyyy")), QTime(0, 0));
    }
    int status() const override { return m_value.isValid() ? StatusValid : StatusInvalid; }
    QDateTime value() const override { return m_value; }
    QString sqlText() const override { return m_value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

private:
    QDateTime m_value;
};

} // namespace scadlav::doubles
