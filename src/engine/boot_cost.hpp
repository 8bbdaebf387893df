#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "model/assessment.hpp"
#include "model/item.hpp"
#include "platform/platform.hpp"

namespace bootsmith::engine {

/// How many entries the boot ranking shows at most.
inline constexpr std::size_t boot_ranking_size = 15;
/// From this many milliseconds on an entry counts as slow to start.
inline constexpr std::uint64_t slow_start_ms = 1000;

/// One entry of the boot ranking.
struct BootEntry {
    std::string id;
    std::string name;
    std::uint64_t ms = 0;
    model::Level level = model::Level::unknown;
    bool waited = false;  ///< the boot could not finish before it had started
};

/// What this boot cost, and what could be saved.
struct BootReport {
    platform::BootPhases phases;
    std::vector<BootEntry> entries;  ///< the longest first, at most `boot_ranking_size`
    std::size_t measured = 0;        ///< entries with a time at all
    std::string advice;              ///< one sentence about the slow entries
    std::vector<std::string> notes;  ///< why the phases are not known
};

/// The boot waited for an item when a target the boot reaches is ordered
/// after it and its start ended before the boot finished (or the boot is
/// still going on). An entry that came up later, or that nothing the boot
/// reaches waits for, started beside it.
[[nodiscard]] bool boot_waited_for(const model::Item& item, const platform::BootPhases& phases);

/// Ranks the assessed items that have a start-up time, longest first (ties by
/// name), and advises on the slow ones that are switched on, have a switch,
/// and are judged safe or low to switch off.
[[nodiscard]] BootReport rank_boot_costs(const std::vector<model::Item>& assessed,
                                         const platform::BootPhases& phases);

/// Scans and assesses anew, asks the platform for the phases of the boot and
/// ranks. A platform that cannot say leaves the phases empty, with a note.
[[nodiscard]] BootReport boot_report(Engine& engine);

/// Milliseconds as seconds with one decimal: "2.1 s".
[[nodiscard]] std::string seconds_text(std::uint64_t ms);
/// "This start-up took 19.4 s (firmware 4.1 s + ... + userspace 11.8 s)." or
/// why that is not known.
[[nodiscard]] std::string boot_total_line(const platform::BootPhases& phases);
/// "At the last start-up it took 2.1 s." for an item with a time.
[[nodiscard]] std::optional<std::string> boot_time_line(const model::Item& item);

}  // namespace bootsmith::engine
