#pragma once

#include "module/services/INumericFormatter.h"

namespace erphost {

// Numbers as SQL reads them: plain decimal notation with '.', whatever the user's locale.
// A value that is no number gives Empty.
class NumericFormatter : public scadlav::INumericFormatter {
public:
    scadlav::Value format(const scadlav::Value& value) override {
        if (std::optional<scadlav::Decimal> d = value.toDecimal())
            return scadlav::Value(d->toString());
        return {};
    }
};

} // namespace erphost
