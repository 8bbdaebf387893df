#include "cli/output.hpp"

#include <algorithm>

#include "foundation/text.hpp"

namespace bootsmith::cli {

std::string column(std::string_view text, std::size_t width) {
    return util::pad_right(util::shorten(text, width), width);
}

void print_system_line(std::ostream& err, const platform::SystemInfo& system) {
    err << system.host << " - " << system.os_version << " - " << system.user
        << (system.admin ? " (administrator)" : "") << "\n";
}

std::string counted(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

TableLayout layout_for_terminal(std::size_t columns) {
    // ON, IF OFF, NAME and TYPE with the spaces after each.
    constexpr std::size_t before_command = 4 + 1 + 9 + 1 + 30 + 1 + 22 + 1;
    constexpr std::size_t narrowest = 7;
    TableLayout layout;
    layout.command_width =
        columns > before_command + narrowest ? columns - before_command : narrowest;
    return layout;
}

void print_item_table(std::ostream& out, const std::vector<model::Item>& items,
                      TableLayout layout) {
    auto cell = [&layout](std::string_view text, std::size_t width) {
        return layout.full ? util::pad_right(text, width) : column(text, width);
    };
    out << util::pad_right("ON", 4) << " " << util::pad_right("IF OFF", 9) << " "
        << util::pad_right("NAME", 30) << " " << util::pad_right("TYPE", 22) << " COMMAND\n";
    for (const auto& item : items) {
        out << cell(item.enabled ? "yes" : "-", 4) << " "
            << cell(model::level_name(item.risk.level), 9) << " " << cell(item.name, 30) << " "
            << cell(item.kind_label, 22) << " "
            << (layout.full ? item.command : util::shorten(item.command, layout.command_width))
            << "\n";
    }
    out << "\n"
        << counted(items.size(), "item", "items")
        << ". 'IF OFF' is the level of what switching an item off could do; try: bootsmith "
           "assess NAME\n";
}

void print_notes(std::ostream& err, const std::vector<std::string>& notes) {
    for (const auto& note : notes) {
        err << "note: " << note << "\n";
    }
}

void print_program_table(std::ostream& out, const std::vector<model::Candidate>& candidates) {
    out << util::pad_right("NAME", 32) << " " << util::pad_right("SOURCE", 10) << " PROGRAM\n";
    for (const auto& candidate : candidates) {
        out << column(candidate.name, 32) << " " << util::pad_right(candidate.source, 10) << " "
            << util::shorten(candidate.exe, 80) << "\n";
    }
    out << "\n"
        << candidates.size()
        << " programs not set to start with the computer. Make one start with it: bootsmith add "
           "NAME\n";
}

void print_assessment(std::ostream& out, const model::Assessment& risk) {
    out << "  If switched off: " << util::to_upper(model::level_name(risk.level)) << " ("
        << risk.confidence << " confidence)\n";
    out << "  " << risk.effect << "\n";
    for (const auto& reason : risk.reasons) {
        out << "    - " << reason << "\n";
    }
}

void print_item_description(std::ostream& out, const model::Item& item) {
    out << item.name << " (" << item.kind_label << ")\n";
    out << "  " << (item.command.empty() ? "(no command recorded)" : item.command) << "\n";
    out << "  State: " << item.state_text << "; " << (item.running ? "running now" : "not running")
        << "\n";
    print_assessment(out, item.risk);
    if (item.toggle == "locked") {
        out << "  It cannot be switched here: " << item.toggle_note << "\n";
    }
}

void print_json_array(std::ostream& out, std::vector<json::JsonValue> values) {
    out << json::to_text(json::JsonValue(json::JsonArray(std::move(values)))) << "\n";
}

}  // namespace bootsmith::cli
