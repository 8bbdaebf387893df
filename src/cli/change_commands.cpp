#include "cli/change_commands.hpp"

#include "cli/output.hpp"
#include "engine/changes.hpp"
#include "engine/creation.hpp"
#include "engine/decision.hpp"
#include "engine/lookup.hpp"
#include "engine/start_paths.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

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
    if (plan.already_done) {
        out << "  It is already switched off; what starts it is switched off below.\n";
    } else {
        print_assessment(out, plan.risk);
    }
    for (const auto& line : engine::still_starts_lines(plan.still_started_by)) {
        out << line << "\n";
    }
    for (const auto& note : plan.trigger_notes) {
        out << "  " << note << "\n";
    }
    for (const auto& trigger : plan.triggers) {
        out << "Stop it starting too: " << trigger.name << " (it starts " << plan.name << ")\n";
        print_assessment(out, trigger.risk);
    }
}

// Why a switch-off waits: the ways that would still start it, and what helps.
void print_still_starts(std::ostream& err, const engine::Plan& plan,
                        const std::vector<std::string>& names) {
    err << "It will still start through " << util::join(names, ", ");
    // Every way that stays after --with-triggers has a note saying why.
    if (plan.trigger_notes.empty()) {
        err << ". Switch those off too with --with-triggers, or accept it with --yes.\n";
    } else {
        err << ", which Bootsmith cannot switch off. Accept it with --yes.\n";
    }
}

// The engine's verdict in the command line's words; nothing when the change
// may go ahead.
std::optional<int> refused(Invocation& inv, const engine::Plan& plan, engine::Match match) {
    engine::Decision decision = engine::decide(plan, inv.args.has("--yes"), match);
    switch (decision.verdict) {
        case engine::Verdict::go:
            return std::nullopt;
        case engine::Verdict::nothing_to_do:
            inv.out << "Nothing needed doing: " << plan.name << " is already switched "
                    << (plan.action == "enable" ? "on" : "off") << ".\n";
            return exit_done;
        case engine::Verdict::blocked:
            for (const auto& problem : decision.problems) {
                inv.err << "  Not possible: " << problem << "\n";
            }
            if (decision.critical) {
                inv.err << "  Bootsmith will not switch this off.\n";
            }
            return exit_failed;
        case engine::Verdict::admin_needed:
            // The demonstration shows a Windows computer and keeps its words.
            if (inv.engine.system().demo) {
                inv.err << "  This needs administrator rights. Run it again as administrator "
                           "(Windows) or with sudo (Linux/macOS).\n";
            } else {
                inv.err << "  This needs administrator rights. " << sudo_advice << "\n";
            }
            return exit_admin;
        case engine::Verdict::needs_decision:
            if (decision.part_of_name) {
                inv.err << "  \"" << inv.args.positional(1)
                        << "\" is only a part of its name. Run it again with the whole name, the "
                           "id or --yes.\n";
            }
            if (!decision.still_started_through.empty()) {
                print_still_starts(inv.err, plan, decision.still_started_through);
                return exit_decision;
            }
            if (decision.risky) {
                inv.err << (plan.action == "remove"
                                ? "This deletes the entry. Run it again with --yes to confirm.\n"
                                : "  This needs a decision. Run it again with --yes if you accept "
                                  "that.\n");
            }
            return exit_decision;
    }
    return exit_failed;
}

// The change, then each trigger switched off with it, one line each.
int apply_and_report(Invocation& inv, const engine::ChangeRequest& request) {
    std::vector<engine::ChangeResult> results = engine::apply(inv.engine, {request});
    if (results.empty()) {
        return exit_failed;
    }
    int status = exit_done;
    for (const auto& result : results) {
        if (result.admin) {
            inv.err << result.reason << " " << sudo_advice << "\n";
            status = exit_admin;
            continue;
        }
        inv.out << (results.size() > 1 ? result.name + ": " : "") << result.message << "\n";
        if (!result.ok && status == exit_done) {
            status = exit_failed;
        }
    }
    return status;
}

int plan_and_apply(Invocation& inv, const engine::ChangeRequest& request,
                   engine::Match match = engine::Match::id) {
    engine::Plan plan = engine::plan(inv.engine, request);
    if (!plan.already_done || !plan.triggers.empty()) {
        print_plan(inv.out, plan);
    }
    if (auto status = refused(inv, plan, match)) {
        return *status;
    }
    return apply_and_report(inv, request);
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

int run_item_change(Invocation& inv, const std::string& action) {
    std::optional<engine::Found> found = find_named(inv);
    if (!found) {
        return exit_failed;
    }
    engine::ChangeRequest request;
    request.action = action;
    request.id = found->item.id;
    request.stop_now = action != "remove" && inv.args.has("--stop-now");
    request.ack = inv.args.has("--yes");
    if (action == "disable" && inv.args.has("--with-triggers")) {
        request.other_starts = engine::OtherStarts::switch_off;
    }
    return plan_and_apply(inv, request, found->match);
}

}  // namespace

int run_switch(Invocation& inv) {
    return run_item_change(inv, inv.args.command());
}

int run_add(Invocation& inv) {
    std::string wanted = inv.args.positional(1);
    std::optional<model::Candidate> candidate = engine::program_to_add(inv.engine, wanted);
    if (!candidate) {
        inv.err << "No running or installed program matches \"" << wanted
                << "\", and it is not a file. Try: bootsmith running\n";
        return exit_failed;
    }
    engine::ChangeRequest request = engine::creation_request(
        *candidate, {inv.args.value("--name"), inv.args.value("--mode"), inv.args.value("--args"),
                     inv.args.value("--workdir"), inv.args.has("--yes")});
    inv.out << "Will make \"" << request.create.name
            << "\" start with the computer: " << request.create.command
            << "\n  Method: " << request.create.mode << "\n";
    return plan_and_apply(inv, request);
}

int run_remove(Invocation& inv) {
    return run_item_change(inv, "remove");
}

}  // namespace bootsmith::cli
