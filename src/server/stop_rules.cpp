#include "server/stop_rules.hpp"

namespace bootsmith::server {

namespace {

// A clock set back makes differences negative; they count as no time at all.
std::int64_t since(std::int64_t now, std::int64_t then) {
    return now > then ? now - then : 0;
}

}  // namespace

StopReason stop_reason(const StopTimes& t) {
    if (t.bye != 0 && since(t.now, t.bye) >= 11 && t.last_ping <= t.bye) {
        return StopReason::said_goodbye;
    }
    if (t.opened) {
        return since(t.now, t.last_ping) > 600 ? StopReason::went_silent : StopReason::keep_running;
    }
    return since(t.now, t.start) >= 901 ? StopReason::never_opened : StopReason::keep_running;
}

}  // namespace bootsmith::server
