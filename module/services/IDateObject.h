#pragma once

#include "module/services/IHostObject.h"

#include <QDateTime>
#include <QString>

namespace scadlav {

// The host's date object: given a date as text, it tells whether it is a date (status 0) and
// writes it in the literal form the connected server reads without ambiguity.
class IDateObject : public IHostObject {
public:
    ~IDateObject() override;
    static constexpr int StatusValid = 0;
    static constexpr int StatusInvalid = 1;

    // Picks the literal form from the kind of server the connection string names.
    virtual void setConnectionString(const QString& connectionString) = 0;
    virtual void setText(const QString& text) = 0;
    virtual int status() const = 0;
    virtual QDateTime value() const = 0;
    // The date as the server's SQL literal text, without the quotes.
    virtual QString sqlText() const = 0;
};

} // namespace scadlav
