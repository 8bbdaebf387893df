#include "cli/boot_command.hpp"

#include <string>

#include "cli/output.hpp"
#include "engine/boot_cost.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

json::JsonValue milliseconds(const std::optional<std::uint64_t>& ms) {
    return ms ? json::JsonValue(static_cast<double>(*ms)) : json::JsonValue(nullptr);
}

json::JsonValue boot_json(const engine::BootReport& report) {
    const platform::BootPhases& phases = report.phases;
    auto entries = json::JsonValue::array();
    for (const auto& entry : report.entries) {
        entries.push_back(json::JsonValue::object()
                              .with_str("id", entry.id)
                              .with_str("name", entry.name)
                              .with_num("boot_ms", static_cast<double>(entry.ms))
                              .with_str("level", model::level_name(entry.level))
                              .with_bool("waited", entry.waited));
    }
    return json::JsonValue::object()
        .with("total_ms", milliseconds(phases.total_ms))
        .with("phases", json::JsonValue::object()
                            .with("firmware_ms", milliseconds(phases.firmware_ms))
                            .with("loader_ms", milliseconds(phases.loader_ms))
                            .with("kernel_ms", milliseconds(phases.kernel_ms))
                            .with("initrd_ms", milliseconds(phases.initrd_ms))
                            .with("userspace_ms", milliseconds(phases.userspace_ms)))
        .with("entries", std::move(entries))
        .with_u64("measured", report.measured)
        .with_str("advice", report.advice)
        .with_str_list("notes", report.notes);
}

void print_boot_table(std::ostream& out, const std::vector<engine::BootEntry>& entries) {
    out << util::pad_right("NAME", 40) << " " << util::pad_right("TIME", 8) << " "
        << util::pad_right("IF OFF", 9) << " WAITED\n";
    for (const auto& entry : entries) {
        out << column(entry.name, 40) << " " << util::pad_right(engine::seconds_text(entry.ms), 8)
            << " " << util::pad_right(model::level_name(entry.level), 9) << " "
            << (entry.waited ? "yes" : "no") << "\n";
    }
}

}  // namespace

int run_boot(Invocation& inv) {
    const bool json_output = inv.args.has("--json");
    if (!json_output) {
        print_system_line(inv.err, inv.engine.system());
    }
    engine::BootReport report = engine::boot_report(inv.engine);
    if (json_output) {
        inv.out << json::to_text(boot_json(report)) << "\n";
        return exit_done;
    }
    print_notes(inv.err, report.notes);
    inv.out << engine::boot_total_line(report.phases) << "\n\n";
    if (report.entries.empty()) {
        inv.out << "No entry has a start-up time for this boot: none was measured.\n";
        return exit_done;
    }
    print_boot_table(inv.out, report.entries);
    inv.out << "\n"
            << report.entries.size() << " of " << counted(report.measured, "entry", "entries")
            << " with a start-up time, longest first.\n"
               "WAITED: the start-up could not finish before it had started.\n"
            << report.advice << "\n";
    return exit_done;
}

}  // namespace bootsmith::cli
