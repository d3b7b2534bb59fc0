#include "module/services/RuntimeError.h"
#include "module/services/SystemClock.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace scadlav;

namespace {

// Sets ERP_FIXED_NOW for one test and restores what was there.
struct FixedNowVariable {
    explicit FixedNowVariable(const char* value) { qputenv(SystemClock::FixedNowVariable, value); }
    ~FixedNowVariable() {
        if (had)
            qputenv(SystemClock::FixedNowVariable, old);
        else
            qunsetenv(SystemClock::FixedNowVariable);
    }
    const bool had = qEnvironmentVariableIsSet(SystemClock::FixedNowVariable);
    const QByteArray old = qgetenv(SystemClock::FixedNowVariable);
};

} // namespace

TEST(SystemClock, HonoursAFixedNowAndIgnoresAnUnreadableOne) {
    {
        FixedNowVariable fixed("2026-08-31 23:59:58");
        SystemClock clock;
        EXPECT_TRUE(clock.isFixed());
        EXPECT_EQ(clock.now(), QDateTime(QDate(2026, 8, 31), QTime(23, 59, 58)));
    }
    {
        FixedNowVariable fixed("2026-02-30 10:00:00");
        EXPECT_FALSE(SystemClock::fixedNowFromEnvironment().has_value());
    }
    {
        FixedNowVariable fixed("31/08/2026");
        SystemClock clock;
        EXPECT_FALSE(clock.isFixed());
        EXPECT_LE(qAbs(clock.now().secsTo(QDateTime::currentDateTime())), 5);
    }
}

TEST(RuntimeError, ExceptionsBecomeRuntimeErrors) {
    RuntimeError own{RuntimeError::Overflow, QStringLiteral("Overflow"), QStringLiteral("CMD_RICALCOLA"), {}};
    const RuntimeError fromOwn = RuntimeError::fromException(std::make_exception_ptr(RuntimeException(own)));
    EXPECT_EQ(fromOwn.number, RuntimeError::Overflow);
    EXPECT_EQ(fromOwn.source, QStringLiteral("CMD_RICALCOLA"));

    const RuntimeError fromStd =
        RuntimeError::fromException(std::make_exception_ptr(std::logic_error("rotto")));
    EXPECT_EQ(fromStd.number, RuntimeError::ApplicationDefined);
    EXPECT_EQ(fromStd.description, QStringLiteral("rotto"));

    EXPECT_FALSE(RuntimeError::fromException(nullptr).isSet());
}
