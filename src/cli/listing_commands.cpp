#include "cli/listing_commands.hpp"

#include <algorithm>

#include "cli/output.hpp"
#include "cli/terminal_width.hpp"
#include "engine/assess.hpp"
#include "engine/boot_cost.hpp"
#include "engine/lookup.hpp"
#include "engine/start_paths.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

bool passes_filters(const model::Item& item, const ParsedArgs& args) {
    std::string filter = args.value("--filter");
    if (!filter.empty()) {
        std::string part = util::to_lower(filter);
        auto contains = [&part](const std::string& text) {
            return util::to_lower(text).find(part) != std::string::npos;
        };
        if (!contains(item.name) && !contains(item.command) && !contains(item.kind_label)) {
            return false;
        }
    }
    if ((args.has("--on") && !item.enabled) || (args.has("--off") && item.enabled)) {
        return false;
    }
    std::string level = util::to_lower(args.value("--level"));
    return level.empty() || model::level_name(item.risk.level) == level;
}

// Stable sort by `before`, then by the lower-cased names (byte order), each
// name lowered once.
template <typename T, typename Before>
void sort_by_name(std::vector<T>& values, Before before) {
    std::vector<std::pair<std::string, T>> keyed;
    for (auto& value : values) {
        std::string key = util::to_lower(value.name);
        keyed.emplace_back(std::move(key), std::move(value));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&before](const auto& a, const auto& b) {
        if (before(a.second, b.second)) {
            return true;
        }
        return !before(b.second, a.second) && a.first < b.first;
    });
    values.clear();
    for (auto& entry : keyed) {
        values.push_back(std::move(entry.second));
    }
}

void sort_for_display(std::vector<model::Item>& items) {
    sort_by_name(items, [](const model::Item& a, const model::Item& b) { return a.kind < b.kind; });
}

int print_candidates(Invocation& inv, platform::CandidateList list) {
    if (!inv.args.has("--all")) {
        std::erase_if(list.candidates, [](const model::Candidate& c) { return c.system; });
    }
    // The table and the JSON array share this order.
    sort_by_name(list.candidates,
                 [](const model::Candidate&, const model::Candidate&) { return false; });
    if (inv.args.has("--json")) {
        std::vector<json::JsonValue> values;
        for (const auto& candidate : list.candidates) {
            values.push_back(model::to_json(candidate));
        }
        print_json_array(inv.out, std::move(values));
        return exit_done;
    }
    print_system_line(inv.err, inv.engine.system());
    print_notes(inv.err, list.notes);
    print_program_table(inv.out, list.candidates);
    return exit_done;
}

}  // namespace

int run_list(Invocation& inv) {
    bool json_output = inv.args.has("--json");
    if (!json_output) {
        print_system_line(inv.err, inv.engine.system());
    }
    platform::ScanResult scanned = engine::scan_and_assess(inv.engine);
    std::vector<model::Item> shown;
    for (auto& item : scanned.items) {
        if (passes_filters(item, inv.args)) {
            shown.push_back(std::move(item));
        }
    }
    sort_for_display(shown);
    if (json_output) {
        std::vector<json::JsonValue> values;
        for (const auto& item : shown) {
            values.push_back(model::to_json(item));
        }
        print_json_array(inv.out, std::move(values));
        return exit_done;
    }
    TableLayout layout;
    if (auto columns = terminal_columns()) {
        layout = layout_for_terminal(*columns);
    }
    layout.full = inv.args.has("--full");
    print_item_table(inv.out, shown, layout);
    print_notes(inv.err, scanned.notes);
    return exit_done;
}

int run_running(Invocation& inv) {
    return print_candidates(inv, engine::running_programs(inv.engine));
}

int run_apps(Invocation& inv) {
    return print_candidates(inv, engine::installed_apps(inv.engine));
}

int run_assess(Invocation& inv) {
    auto item = engine::find_by_text(engine::items(inv.engine), inv.args.positional(1));
    if (!item) {
        inv.err << item.error() << "\n";
        return exit_failed;
    }
    if (inv.args.has("--json")) {
        inv.out << json::to_text(model::to_json(*item)) << "\n";
        return exit_done;
    }
    print_item_description(inv.out, *item);
    if (auto line = engine::boot_time_line(*item)) {
        inv.out << *line << "\n";
    }
    for (const auto& line : engine::still_starts_lines(item->also_started_by)) {
        inv.out << line << "\n";
    }
    return exit_done;
}

}  // namespace bootsmith::cli
