#include "foundation/clock.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <limits>
#include <string>

namespace {

using namespace bootsmith::util;

struct TimeCase {
    std::int64_t seconds;
    std::string text;
};

class FormatTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(FormatTime, WritesTheUtcDate) {
    EXPECT_EQ(format_time(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, FormatTime,
    ::testing::Values(
        TimeCase{0, "1970-01-01 00:00:00"}, TimeCase{951782400, "2000-02-29 00:00:00"},
        TimeCase{1791878709, "2026-10-13 08:05:09"},
        TimeCase{4107542399, "2100-02-28 23:59:59"},  // 2100 is no leap year
        TimeCase{4107542400, "2100-03-01 00:00:00"},
        TimeCase{13574606400, "2400-02-29 12:00:00"},  // but 2400 is
        TimeCase{253402300799, "9999-12-31 23:59:59"},
        TimeCase{253402300800, "10000-01-01 00:00:00"}, TimeCase{-1, "1969-12-31 23:59:59"},
        TimeCase{-86400, "1969-12-31 00:00:00"}, TimeCase{-86401, "1969-12-30 23:59:59"},
        TimeCase{-62135596800, "0001-01-01 00:00:00"},
        TimeCase{-62135596801, "0000-12-31 23:59:59"},
        TimeCase{-62198755200, "-0001-01-01 00:00:00"},
        TimeCase{std::numeric_limits<std::int64_t>::max(), "292277026596-12-04 15:30:07"},
        TimeCase{std::numeric_limits<std::int64_t>::min(), "-292277022657-01-27 08:29:52"}));

TEST(Clock, ReadsTheSystemClock) {
    const auto before = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t seconds = now_unix();
    const std::uint64_t millis = now_millis();
    const auto after = static_cast<std::int64_t>(std::time(nullptr));
    // time() may read a coarser clock that lags the precise one by a tick.
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after + 1);
    EXPECT_GE(static_cast<std::int64_t>(millis / 1000), before);
    EXPECT_LE(static_cast<std::int64_t>(millis / 1000), after + 1);
    EXPECT_THAT(now_text(), ::testing::MatchesRegex("[0-9]{4}-[0-9][0-9]-[0-9][0-9] "
                                                    "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]"));
}

}  // namespace
