#pragma once

#include <cstdint>

namespace bootsmith::server {

/// The server's times in whole Unix seconds (0: not yet).
struct StopTimes {
    std::int64_t now = 0;
    std::int64_t start = 0;
    std::int64_t last_ping = 0;
    std::int64_t bye = 0;
    bool opened = false;  ///< a ping has arrived
};

enum class StopReason {
    keep_running,
    said_goodbye,  ///< the page said bye 11 seconds ago and did not ping again
    went_silent,   ///< the opened window has not pinged for more than 10 minutes
    never_opened,  ///< no window came in 15 minutes
};

/// Whether the window should stop now; a pure function of the times.
[[nodiscard]] StopReason stop_reason(const StopTimes& times);

}  // namespace bootsmith::server
