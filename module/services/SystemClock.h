#pragma once

#include "module/services/IClock.h"

#include <optional>

namespace scadlav {

// The machine's clock, unless the environment variable ERP_FIXED_NOW holds a time
// ("YYYY-MM-DD HH:MM:SS"): then that time, for demonstrations and reproducible runs.
class SystemClock : public IClock {
public:
    static constexpr const char* FixedNowVariable = "ERP_FIXED_NOW";

    SystemClock();
    QDateTime now() const override;
    bool isFixed() const { return m_fixed.has_value(); }

    // The time ERP_FIXED_NOW stands for; std::nullopt when unset or unreadable.
    static std::optional<QDateTime> fixedNowFromEnvironment();

private:
    std::optional<QDateTime> m_fixed;
};

} // namespace scadlav
