#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/linux/text/listing_text.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

// Pure rules that turn systemd's monotonic time stamps (microseconds since the
// kernel started; 0 when an event has not happened) into boot costs. Bad or
// missing values give "not measured", never a made-up time.

/// The unit properties the timing of one unit is read from; asked in the same
/// `systemctl show` calls that describe the units.
inline constexpr std::array<std::string_view, 5> unit_timing_properties = {
    "InactiveExitTimestampMonotonic", "ActiveEnterTimestampMonotonic",
    "InactiveEnterTimestampMonotonic", "Result", "Before"};

/// The manager properties the phases of the boot are read from.
inline constexpr std::array<std::string_view, 7> boot_phase_properties = {
    "FirmwareTimestampMonotonic",     "LoaderTimestampMonotonic",    "KernelTimestampMonotonic",
    "InitRDTimestampMonotonic",       "UserspaceTimestampMonotonic", "FinishTimestampMonotonic",
    "SecurityStartTimestampMonotonic"};

/// How long one unit took to start, as its `systemctl show` block says.
struct UnitTiming {
    std::optional<std::uint64_t> ms;  ///< nothing: not measured
    std::uint64_t done_us = 0;        ///< when the start ended (0 with no time)
    bool target_after = false;        ///< a target the boot reaches is ordered after it
};

/// The start of a unit lasts from leaving "inactive" to becoming active; a
/// task that runs and ends (a oneshot service) lasts until it is inactive
/// again, when it ended well. A unit whose last run failed, that is still
/// starting, or whose stamps are missing, zero, not numbers or out of order
/// has no time.
[[nodiscard]] UnitTiming unit_timing(const ShowRecord& record);

/// The phases of the boot as `systemd-analyze time` reports them. A manager
/// without a security set-up stamp runs in a container (or is a user's own):
/// only its userspace phase is its own, and that is its whole start-up.
[[nodiscard]] platform::BootPhases boot_phases_of(const ShowRecord& manager);

}  // namespace bootsmith::linux_backend
