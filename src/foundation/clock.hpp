#pragma once

#include <cstdint>
#include <string>

namespace bootsmith::util {

/// Seconds since 1970-01-01 00:00:00 UTC (0 if the clock is earlier).
[[nodiscard]] std::int64_t now_unix();
/// Milliseconds since 1970-01-01 00:00:00 UTC (0 if the clock is earlier).
[[nodiscard]] std::uint64_t now_millis();
/// "YYYY-MM-DD HH:MM:SS" in UTC, proleptic Gregorian, year of at least 4 digits.
[[nodiscard]] std::string format_time(std::int64_t seconds);
/// format_time(now_unix()).
[[nodiscard]] std::string now_text();

}  // namespace bootsmith::util
