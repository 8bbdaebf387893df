#include "server/stop_rules.hpp"

#include <gtest/gtest.h>

namespace bootsmith::server {
namespace {

TEST(StopRules, DecideFromTheTimesAlone) {
    constexpr std::int64_t t0 = 1'700'000'000;
    using enum StopReason;
    struct Case {
        std::string_view what;
        StopTimes times;
        StopReason reason;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"just started", {t0, t0, 0, 0, false}, keep_running},
             {"900 s without a window", {t0 + 900, t0, 0, 0, false}, keep_running},
             {"901 s without a window", {t0 + 901, t0, 0, 0, false}, never_opened},
             {"clock set back before the start", {t0 - 5000, t0, 0, 0, false}, keep_running},
             {"opened, pinged 600 s ago", {t0 + 700, t0, t0 + 100, 0, true}, keep_running},
             {"opened, pinged 601 s ago", {t0 + 701, t0, t0 + 100, 0, true}, went_silent},
             {"opened long ago but pinging", {t0 + 5000, t0, t0 + 4990, 0, true}, keep_running},
             {"bye 10 s ago", {t0 + 60, t0, t0 + 40, t0 + 50, true}, keep_running},
             {"bye 11 s ago", {t0 + 61, t0, t0 + 40, t0 + 50, true}, said_goodbye},
             {"bye and ping in the same second",
              {t0 + 61, t0, t0 + 50, t0 + 50, true},
              said_goodbye},
             {"ping after bye", {t0 + 61, t0, t0 + 51, t0 + 50, true}, keep_running},
             {"ping after bye, then silent", {t0 + 652, t0, t0 + 51, t0 + 50, true}, went_silent},
             {"bye without any ping", {t0 + 61, t0, 0, t0 + 50, false}, said_goodbye},
             {"bye in the future", {t0 + 61, t0, 0, t0 + 500, false}, keep_running},
         }) {
        EXPECT_EQ(stop_reason(c.times), c.reason) << c.what;
    }
}

}  // namespace
}  // namespace bootsmith::server
