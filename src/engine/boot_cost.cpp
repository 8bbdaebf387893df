#include "engine/boot_cost.hpp"

#include <algorithm>
#include <utility>

#include "engine/assess.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

// How many slow entries the advice names.
constexpr std::size_t advice_names = 3;

bool little_to_lose(const model::Item& item) {
    return item.enabled && item.toggle != "locked" &&
           (item.risk.level == model::Level::safe || item.risk.level == model::Level::low);
}

std::string advice_for(const std::vector<const model::Item*>& slow_and_safe, std::size_t any_slow) {
    if (slow_and_safe.empty()) {
        return any_slow == 0 ? "Nothing took " + seconds_text(slow_start_ms) +
                                   " or more to start, so there is nothing to gain here."
                             : "The slow entries are all needed or cannot be switched here; "
                               "switching them off would cost more than it saves.";
    }
    std::vector<std::string> named;
    for (std::size_t i = 0; i < slow_and_safe.size() && i < advice_names; ++i) {
        named.push_back(slow_and_safe[i]->name + " (" + seconds_text(*slow_and_safe[i]->boot_ms) +
                        ")");
    }
    return "Slow to start, and little is lost without " +
           std::string(slow_and_safe.size() == 1 ? "it" : "them") + ": " + util::join(named, ", ") +
           ". Switch one off with: bootsmith disable NAME";
}

std::string phase_part(std::string_view name, const std::optional<std::uint64_t>& ms) {
    return ms ? std::string(name) + " " + seconds_text(*ms) : "";
}

}  // namespace

bool boot_waited_for(const model::Item& item, const platform::BootPhases& phases) {
    if (!item.boot_ms || !item.boot_target_after || item.boot_done_us == 0) {
        return false;
    }
    return phases.finished_us == 0 || item.boot_done_us <= phases.finished_us;
}

BootReport rank_boot_costs(const std::vector<model::Item>& assessed,
                           const platform::BootPhases& phases) {
    std::vector<std::pair<std::string, const model::Item*>> timed;
    for (const auto& item : assessed) {
        if (item.boot_ms) {
            timed.emplace_back(util::to_lower(item.name), &item);
        }
    }
    std::stable_sort(timed.begin(), timed.end(), [](const auto& a, const auto& b) {
        if (*a.second->boot_ms != *b.second->boot_ms) {
            return *a.second->boot_ms > *b.second->boot_ms;
        }
        return a.first < b.first;
    });
    BootReport report;
    report.phases = phases;
    report.measured = timed.size();
    std::vector<const model::Item*> slow_and_safe;
    std::size_t slow = 0;
    for (std::size_t i = 0; i < timed.size() && i < boot_ranking_size; ++i) {
        const model::Item& item = *timed[i].second;
        report.entries.push_back(
            {item.id, item.name, *item.boot_ms, item.risk.level, boot_waited_for(item, phases)});
        if (*item.boot_ms >= slow_start_ms) {
            ++slow;
            if (little_to_lose(item)) {
                slow_and_safe.push_back(&item);
            }
        }
    }
    report.advice = report.entries.empty() ? "" : advice_for(slow_and_safe, slow);
    return report;
}

BootReport boot_report(Engine& engine) {
    platform::ScanResult scanned = scan_and_assess(engine);
    auto phases = engine.platform().boot_phases();
    BootReport report = rank_boot_costs(scanned.items, phases ? *phases : platform::BootPhases{});
    if (!phases) {
        report.notes.push_back(phases.error());
    } else if (phases->finished_us == 0) {
        report.notes.push_back(
            "The computer has not finished starting yet; the total is known once it has.");
    }
    return report;
}

std::string seconds_text(std::uint64_t ms) {
    std::uint64_t tenths = (ms + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

std::string boot_total_line(const platform::BootPhases& phases) {
    if (!phases.total_ms) {
        return "How long this start-up took is not known.";
    }
    std::vector<std::string> parts;
    for (auto part :
         {phase_part("firmware", phases.firmware_ms), phase_part("loader", phases.loader_ms),
          phase_part("kernel", phases.kernel_ms), phase_part("initrd", phases.initrd_ms),
          phase_part("userspace", phases.userspace_ms)}) {
        if (!part.empty()) {
            parts.push_back(std::move(part));
        }
    }
    return "This start-up took " + seconds_text(*phases.total_ms) +
           (parts.empty() ? "" : " (" + util::join(parts, " + ") + ")") + ".";
}

std::optional<std::string> boot_time_line(const model::Item& item) {
    if (!item.boot_ms) {
        return std::nullopt;
    }
    return "At the last start-up it took " + seconds_text(*item.boot_ms) + ".";
}

}  // namespace bootsmith::engine
