#include "cli/change_commands.hpp"

#include <filesystem>

#include "cli/output.hpp"
#include "engine/changes.hpp"
#include "engine/lookup.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

enum class Gate { all_steps, without_decision };

std::string title_of(const std::string& action) {
    if (action == "disable")
        return "Stop it starting";
    if (action == "enable")
        return "Make it start";
    if (action == "create")
        return "Make it start with the computer";
    if (action == "remove")
        return "Remove the entry";
    return action;
}

void print_plan(std::ostream& out, const engine::Plan& plan) {
    out << title_of(plan.action) << ": " << plan.name << "\n";
    print_assessment(out, plan.risk);
}

// The refusals of the decision gate; nothing when the change may go ahead.
std::optional<int> refused(Invocation& inv, const engine::Plan& plan, Gate gate) {
    if (plan.blocked()) {
        for (const auto& problem : plan.problems) {
            inv.err << "  Not possible: " << problem << "\n";
        }
        if (plan.risk.blocked()) {
            inv.err << "  Bootsmith will not switch this off.\n";
        }
        return exit_failed;
    }
    if (plan.admin_needed) {
        // The demonstration shows a Windows computer and keeps its words.
        inv.err << (inv.engine.system().demo
                        ? "  This needs administrator rights. Run it again as administrator "
                          "(Windows) or with sudo (Linux/macOS).\n"
                        : "  This needs administrator rights. Run the same command again with "
                          "sudo in front of it.\n");
        return exit_admin;
    }
    if (gate == Gate::all_steps && plan.risk.needs_ack() && !inv.args.has("--yes")) {
        inv.err << "  This needs a decision. Run it again with --yes if you accept that.\n";
        return exit_decision;
    }
    return std::nullopt;
}

int apply_and_report(Invocation& inv, const engine::ChangeRequest& request) {
    std::vector<engine::ChangeResult> results = engine::apply(inv.engine, {request});
    if (results.empty()) {
        return exit_failed;
    }
    inv.out << results.front().message << "\n";
    return results.front().ok ? exit_done : exit_failed;
}

// The item a change is for. One found by a part of its name is named on
// stderr, since the change may be meant for another.
std::optional<engine::Found> find_named(Invocation& inv) {
    auto found = engine::find_named(engine::items(inv.engine), inv.args.positional(1));
    if (!found) {
        inv.err << found.error() << "\n";
        return std::nullopt;
    }
    if (found->match == engine::Match::part) {
        inv.err << "Found by a part of its name: " << found->item.name << " ("
                << found->item.kind_label << "), id " << found->item.id << "\n";
    }
    return std::move(*found);
}

// A change of an item found by a part of its name waits for --yes, so that a
// short word cannot switch off something the user did not mean.
std::optional<int> unsure_of_item(Invocation& inv, const engine::Found& found) {
    if (found.match != engine::Match::part || inv.args.has("--yes")) {
        return std::nullopt;
    }
    inv.err << "  \"" << inv.args.positional(1) << "\" is only a part of its name. Run it again "
            << "with the whole name, the id or --yes.\n";
    return exit_decision;
}

// A change that is in effect already: nothing to do, which is success.
std::optional<int> already_done(Invocation& inv, const engine::Plan& plan) {
    if (!plan.already_done) {
        return std::nullopt;
    }
    inv.out << "Nothing needed doing: " << plan.name << " is already switched "
            << (plan.action == "enable" ? "on" : "off") << ".\n";
    return exit_done;
}

std::optional<model::Candidate> chosen_candidate(Invocation& inv, const std::string& wanted) {
    std::vector<model::Candidate> all = engine::running_programs(inv.engine).candidates;
    for (auto& app : engine::installed_apps(inv.engine).candidates) {
        all.push_back(std::move(app));
    }
    for (const auto& c : all) {
        if (c.id == wanted || util::equals_ignore_ascii_case(c.name, wanted)) {
            return c;
        }
    }
    std::string part = util::to_lower(wanted);
    for (const auto& c : all) {
        if (util::to_lower(c.name).find(part) != std::string::npos) {
            return c;
        }
    }
    return std::nullopt;
}

std::string quoted_if_spaced(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

std::optional<model::Candidate> candidate_from_path(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return std::nullopt;
    }
    // An entry starts elsewhere than here: "./tool" must become a full path.
    std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
    model::Candidate c;
    c.exe = ec ? path : full.string();
    c.name = util::file_name_text(path);
    c.command = quoted_if_spaced(c.exe);
    return c;
}

std::string default_mode(const model::Candidate& candidate) {
    for (const auto& mode : candidate.modes) {
        if (mode.recommended) {
            return mode.id;
        }
    }
    if (!candidate.modes.empty()) {
        return candidate.modes.front().id;
    }
    // A program given by its path was not listed, so no modes were offered for
    // it; the first way of starting that every system offers is the default.
    return candidate.id.empty() ? "login" : "";
}

}  // namespace

int run_switch(Invocation& inv) {
    std::optional<engine::Found> found = find_named(inv);
    if (!found) {
        return exit_failed;
    }
    engine::ChangeRequest request;
    request.action = inv.args.command();
    request.id = found->item.id;
    request.stop_now = inv.args.has("--stop-now");
    request.ack = inv.args.has("--yes");
    engine::Plan plan = engine::plan(inv.engine, request);
    if (auto status = already_done(inv, plan)) {
        return *status;
    }
    print_plan(inv.out, plan);
    if (auto status = refused(inv, plan, Gate::all_steps)) {
        return *status;
    }
    if (auto status = unsure_of_item(inv, *found)) {
        return *status;
    }
    return apply_and_report(inv, request);
}

int run_add(Invocation& inv) {
    std::string wanted = inv.args.positional(1);
    std::optional<model::Candidate> candidate = chosen_candidate(inv, wanted);
    if (!candidate) {
        candidate = candidate_from_path(wanted);
    }
    if (!candidate) {
        inv.err << "No running or installed program matches \"" << wanted
                << "\", and it is not a file. Try: bootsmith running\n";
        return exit_failed;
    }
    engine::ChangeRequest request;
    request.action = "create";
    request.id = candidate->id;
    request.command = candidate->command;
    std::string args = inv.args.value("--args");
    if (!args.empty()) {
        request.command = quoted_if_spaced(candidate->exe) + " " + args;
    }
    request.mode = inv.args.value("--mode");
    if (request.mode.empty()) {
        request.mode = default_mode(*candidate);
    }
    request.name = inv.args.value("--name");
    if (request.name.empty()) {
        request.name = candidate->name;
    }
    request.workdir = inv.args.value("--workdir");
    request.exe = candidate->exe;
    request.user = candidate->user;
    request.description = candidate->description;
    request.ack = inv.args.has("--yes");
    engine::Plan plan = engine::plan(inv.engine, request);
    inv.out << "Will make \"" << request.name << "\" start with the computer: " << request.command
            << "\n  Method: " << request.mode << "\n";
    print_plan(inv.out, plan);
    if (auto status = refused(inv, plan, Gate::all_steps)) {
        return *status;
    }
    return apply_and_report(inv, request);
}

int run_remove(Invocation& inv) {
    std::optional<engine::Found> found = find_named(inv);
    if (!found) {
        return exit_failed;
    }
    engine::ChangeRequest request;
    request.action = "remove";
    request.id = found->item.id;
    request.ack = inv.args.has("--yes");
    engine::Plan plan = engine::plan(inv.engine, request);
    print_plan(inv.out, plan);
    if (auto status = refused(inv, plan, Gate::without_decision)) {
        return *status;
    }
    if (!inv.args.has("--yes")) {
        inv.err << "This deletes the entry. Run it again with --yes to confirm.\n";
        return exit_decision;
    }
    return apply_and_report(inv, request);
}

}  // namespace bootsmith::cli
