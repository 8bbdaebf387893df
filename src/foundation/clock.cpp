// The wall clock and its UTC text form, without time zones or the C library's
// calendar functions (which cannot be trusted for far-away years).
#include "foundation/clock.hpp"

#include <chrono>

namespace bootsmith::util {
namespace {

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// Howard Hinnant's civil_from_days: the proleptic Gregorian date of a day
// count since 1970-01-01, exact for the whole range of a 64-bit second count.
CivilDate civil_from_days(std::int64_t days) {
    days += 719468;  // shift the epoch to 0000-03-01
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<std::uint64_t>(days - era * 146097);
    const std::uint64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::uint64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::uint64_t shifted_month = (5 * day_of_year + 2) / 153;  // March is 0
    const auto day = static_cast<unsigned>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    const auto month =
        static_cast<unsigned>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    const std::int64_t year =
        static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

// The decimal digits of `value`, zero-padded on the left to `width`.
std::string padded(std::uint64_t value, std::size_t width) {
    const std::string digits = std::to_string(value);
    std::string out(digits.size() < width ? width - digits.size() : 0, '0');
    out += digits;
    return out;
}

std::string year_text(std::int64_t year) {
    if (year >= 0) {
        return padded(static_cast<std::uint64_t>(year), 4);
    }
    // Written as a magnitude so that the most negative value cannot overflow.
    std::string text = "-";
    text += padded(0 - static_cast<std::uint64_t>(year), 4);
    return text;
}

}  // namespace

std::int64_t now_unix() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    return seconds < 0 ? 0 : static_cast<std::int64_t>(seconds);
}

std::uint64_t now_millis() {
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return millis < 0 ? 0 : static_cast<std::uint64_t>(millis);
}

std::string format_time(std::int64_t seconds) {
    // Truncate, then step back one day for a negative remainder; unlike
    // subtracting days * 86400 this cannot overflow at the extremes.
    std::int64_t days = seconds / 86400;
    std::int64_t remainder = seconds % 86400;
    if (remainder < 0) {
        remainder += 86400;
        days -= 1;
    }
    const auto second_of_day = static_cast<std::uint64_t>(remainder);
    const CivilDate date = civil_from_days(days);
    return year_text(date.year) + "-" + padded(date.month, 2) + "-" + padded(date.day, 2) + " " +
           padded(second_of_day / 3600, 2) + ":" + padded(second_of_day / 60 % 60, 2) + ":" +
           padded(second_of_day % 60, 2);
}

std::string now_text() {
    return format_time(now_unix());
}

}  // namespace bootsmith::util
