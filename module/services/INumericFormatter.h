#pragma once

#include "module/services/IHostObject.h"
#include "module/value/Value.h"

namespace scadlav {

// The host's numeric formatter: the text that stands for a number in an SQL statement.
class INumericFormatter : public IHostObject {
public:
    ~INumericFormatter() override;
    virtual Value format(const Value& value) = 0;
};

} // namespace scadlav
