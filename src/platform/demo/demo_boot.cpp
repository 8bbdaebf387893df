#include "platform/demo/demo_boot.hpp"

#include <cstdint>
#include <string_view>

namespace bootsmith::demo {

namespace {

// Microseconds since the kernel started, as a real computer counts them.
constexpr std::uint64_t loader_us = 900'000;       // loader ran 0.9 s before the kernel
constexpr std::uint64_t firmware_us = 5'000'000;   // firmware started 4.1 s before that
constexpr std::uint64_t userspace_us = 2'600'000;  // the kernel handed over after 2.6 s
constexpr std::uint64_t finished_us = 14'400'000;  // everything was up 11.8 s later

struct BootFigure {
    std::string_view name;
    std::uint64_t ms;
    bool waited;  ///< the boot waited for it (automatic services, not delayed ones)
};

// Services start before anyone signs in and the boot waits for them; the Run
// entries, tasks and the shortcut start beside the desktop. Items missing
// here did not start in this boot.
constexpr BootFigure figures[] = {
    {"RpcSs", 120, true},
    {"Dnscache", 180, true},
    {"Spooler", 640, true},
    {"WinDefend", 2350, true},
    {"DiagTrack", 890, true},
    {"SysMain", 1240, true},
    {"WSearch", 3100, false},
    {"AcmeSync", 1870, true},
    {"OemPanelHost", 430, true},
    {"AcmeDevDb", 2760, true},
    {"AcmeDevServer", 1420, true},
    {"OneDrive", 2900, false},
    {"Spotify", 1650, false},
    {"Discord", 2200, false},
    {"Acme Notes", 760, false},
    {"SecurityHealth", 210, false},
    {"RtkAudUService", 380, false},
    {"GoogleUpdateTaskMachineCore", 540, false},
    {"Acme Backup Nightly", 310, false},
    {"Acme Screenshot", 470, false},
};

}  // namespace

platform::BootPhases demo_boot_phases() {
    platform::BootPhases phases;
    phases.firmware_ms = (firmware_us - loader_us) / 1000;
    phases.loader_ms = loader_us / 1000;
    phases.kernel_ms = userspace_us / 1000;
    phases.userspace_ms = (finished_us - userspace_us) / 1000;
    phases.total_ms = (firmware_us + finished_us) / 1000;
    phases.finished_us = finished_us;
    return phases;
}

void add_boot_figures(std::vector<model::Item>& items) {
    for (auto& item : items) {
        for (const auto& figure : figures) {
            if (item.name != figure.name) {
                continue;
            }
            item.boot_ms = figure.ms;
            item.boot_target_after = figure.waited;
            // What the boot waited for was ready before it finished; the rest
            // came up beside the desktop, after it.
            item.boot_done_us = figure.waited ? finished_us - 400'000 : finished_us + 3'000'000;
        }
    }
}

}  // namespace bootsmith::demo
