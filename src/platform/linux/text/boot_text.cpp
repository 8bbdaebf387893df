#include "platform/linux/text/boot_text.hpp"

#include <charconv>
#include <string>

#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

namespace {

// A time stamp in microseconds; 0 (not happened) for anything that is not a
// plain decimal number.
std::uint64_t stamp(const ShowRecord& record, const std::string& key) {
    std::string text(util::trim(show_value(record, key)));
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return 0;
    }
    return value;
}

std::uint64_t to_ms(std::uint64_t us) {
    return (us + 500) / 1000;
}

// Targets that are reached only when the computer stops, sleeps or is
// rescued: being ordered before them says nothing about the start-up.
bool boot_target(std::string_view unit) {
    static constexpr std::string_view not_at_boot[] = {
        "shutdown.target",   "final.target",        "umount.target",
        "halt.target",       "poweroff.target",     "reboot.target",
        "kexec.target",      "exit.target",         "emergency.target",
        "rescue.target",     "sleep.target",        "suspend.target",
        "hibernate.target",  "hybrid-sleep.target", "suspend-then-hibernate.target",
        "soft-reboot.target"};
    if (!unit.ends_with(".target")) {
        return false;
    }
    for (std::string_view name : not_at_boot) {
        if (unit == name) {
            return false;
        }
    }
    return true;
}

}  // namespace

UnitTiming unit_timing(const ShowRecord& record) {
    UnitTiming timing;
    for (const auto& other : white_space_fields(show_value(record, "Before"))) {
        timing.target_after = timing.target_after || boot_target(other);
    }
    const std::string result = show_value(record, "Result");
    if (!result.empty() && result != "success") {
        return timing;
    }
    const std::uint64_t started = stamp(record, "InactiveExitTimestampMonotonic");
    const std::uint64_t active = stamp(record, "ActiveEnterTimestampMonotonic");
    const std::uint64_t ended = stamp(record, "InactiveEnterTimestampMonotonic");
    if (started == 0) {
        return timing;
    }
    if (active >= started) {
        timing.ms = to_ms(active - started);
        timing.done_us = active;
    } else if (ended >= started) {
        timing.ms = to_ms(ended - started);
        timing.done_us = ended;
    }
    return timing;
}

platform::BootPhases boot_phases_of(const ShowRecord& manager) {
    platform::BootPhases phases;
    const std::uint64_t firmware = stamp(manager, "FirmwareTimestampMonotonic");
    const std::uint64_t loader = stamp(manager, "LoaderTimestampMonotonic");
    const std::uint64_t initrd = stamp(manager, "InitRDTimestampMonotonic");
    const std::uint64_t userspace = stamp(manager, "UserspaceTimestampMonotonic");
    const std::uint64_t finish = stamp(manager, "FinishTimestampMonotonic");
    const bool own_kernel = stamp(manager, "SecurityStartTimestampMonotonic") > 0;
    if (finish == 0 || finish < userspace) {
        return phases;  // still starting
    }
    phases.finished_us = finish;
    phases.userspace_ms = to_ms(finish - userspace);
    if (!own_kernel) {
        phases.total_ms = phases.userspace_ms;
        return phases;
    }
    // Firmware and loader stamps count back from the kernel's start.
    if (firmware > 0 && firmware >= loader) {
        phases.firmware_ms = to_ms(firmware - loader);
    }
    if (loader > 0) {
        phases.loader_ms = to_ms(loader);
    }
    const std::uint64_t kernel_done = initrd > 0 ? initrd : userspace;
    if (kernel_done > 0) {
        phases.kernel_ms = to_ms(kernel_done);
    }
    if (initrd > 0 && userspace >= initrd) {
        phases.initrd_ms = to_ms(userspace - initrd);
    }
    phases.total_ms = to_ms(firmware + finish);
    return phases;
}

}  // namespace bootsmith::linux_backend
