#include <algorithm>
#include <filesystem>

#include "engine/changes.hpp"
#include "engine/decision.hpp"
#include "engine/lookup.hpp"
#include "engine/start_paths.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

using model::Assessment;
using model::Level;

void raise_to(Assessment& risk, Level level) {
    if (static_cast<int>(risk.level) < static_cast<int>(level)) {
        risk.level = level;
    }
}

bool is_file(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool in_unsafe_folder(const std::string& path, bool include_appdata_temp) {
    std::string p = util::to_lower(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    for (const char* folder : {"/temp/", "/tmp/", "/downloads/"}) {
        if (p.find(folder) != std::string::npos) {
            return true;
        }
    }
    return include_appdata_temp && p.find("/appdata/local/temp") != std::string::npos;
}

// Characters that would break an entry across lines or hide what it runs.
bool has_forbidden_character(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f) {
            return true;
        }
        // U+200E, U+200F, U+202A..U+202E (E2 80 xx) and U+2066..U+2069 (E2 81 A6..A9).
        if (byte == 0xE2 && i + 2 < text.size()) {
            auto b1 = static_cast<unsigned char>(text[i + 1]);
            auto b2 = static_cast<unsigned char>(text[i + 2]);
            if ((b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) ||
                (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)) {
                return true;
            }
        }
        ++i;
    }
    return false;
}

Plan problem_plan(const ChangeRequest& request, std::string effect, std::string problem) {
    Plan plan;
    plan.id = request.id;
    plan.name = request.id;
    plan.action = request.action;
    plan.risk = Assessment::make(Level::critical, std::move(effect), "high");
    plan.problems.push_back(std::move(problem));
    return plan;
}

Assessment enable_risk(const Engine& engine, const model::Item& item) {
    bool at_boot = item.scope == "machine" &&
                   util::is_one_of(item.kind, {"service", "systemd", "daemon", "task"});
    std::string when =
        at_boot ? "when the computer starts" : "the next time the computer starts or you sign in";
    Assessment risk =
        Assessment::make(Level::safe,
                         "It will start automatically " + when +
                             ". Start-up takes slightly longer, and it uses memory while it runs.",
                         "high");
    // The demonstration's program files exist nowhere, so only the look at the
    // real file system is skipped; the other warnings hold for it as well.
    if (!engine.demo() && !item.exe.empty() && !is_file(item.exe) &&
        item.exe.find('%') == std::string::npos && item.exe.find("svchost") == std::string::npos) {
        risk.level = Level::caution;
        risk.effect = "Its program file is missing (" + item.exe +
                      "). Switching it on does nothing useful and may show an error at start-up.";
        risk.add_reason("The file named in the command does not exist.");
    }
    if (in_unsafe_folder(item.exe, true)) {
        raise_to(risk, Level::caution);
        risk.add_reason(
            "Its program sits in a temporary or Downloads folder, which is where "
            "unwanted software often hides.");
    }
    if (item.publisher.empty() && item.origin != "Operating system" &&
        item.origin != "Created by Bootsmith") {
        risk.add_reason(
            "No publisher is recorded for its program file; make sure you recognise it.");
        raise_to(risk, Level::low);
    }
    return risk;
}

void plan_other_starts(Engine& engine, const ChangeRequest& request, const model::Item& item,
                       Plan& plan);

Plan plan_switch_or_remove(Engine& engine, const ChangeRequest& request) {
    std::optional<model::Item> found = find_item(engine, request.id);
    if (!found) {
        return problem_plan(
            request, "This item no longer exists. Scan again.",
            "The item was not found; it may have been removed since the last scan.");
    }
    const model::Item& item = *found;
    Plan plan;
    plan.id = item.id;
    plan.name = item.name;
    plan.action = request.action;
    plan.admin_needed = item.toggle == "admin" && !engine.system().admin;
    if (request.action == "remove") {
        if (!item.managed) {
            plan.problems.push_back(
                "Only startup entries created by Bootsmith can be removed. Use Disable for "
                "others.");
        }
        plan.risk = Assessment::make(Level::low,
                                     "Deletes the startup entry Bootsmith created. The program "
                                     "itself is not touched, and the removal can be undone from "
                                     "History.",
                                     "high");
        return plan;
    }
    if (item.toggle == "locked") {
        plan.problems.push_back(item.toggle_note.empty() ? "This item cannot be switched here."
                                                         : item.toggle_note);
    }
    bool enable = request.action == "enable";
    plan.risk = enable ? enable_risk(engine, item) : item.risk;
    if (!enable) {
        plan_other_starts(engine, request, item, plan);
    }
    plan.already_done = enable == item.enabled;
    // An entry switched off already while what starts it is not: switching
    // those off is the change, and there is something to do.
    if (plan.already_done && plan.triggers.empty()) {
        plan.problems.push_back(enable ? "It is already switched on."
                                       : "It is already switched off.");
    }
    return plan;
}

std::string trigger_problem(const Plan& trigger) {
    if (trigger.problems.empty()) {
        return trigger.name +
               " starts it and is judged critical, so Bootsmith will not switch it off.";
    }
    return trigger.name + " starts it but cannot be switched off: " + refusal_reason(trigger);
}

// The other ways, switched on now, that would still start an entry switched
// off: each waits for the user, is switched off with it, or is left alone.
void plan_other_starts(Engine& engine, const ChangeRequest& request, const model::Item& item,
                       Plan& plan) {
    if (request.other_starts == OtherStarts::leave) {
        return;
    }
    const bool with_them = request.other_starts == OtherStarts::switch_off;
    std::vector<model::Item> listed = items(engine);
    for (const auto& path : item.also_started_by) {
        // What the same switch-off takes along (Also=) starts nothing after it.
        if (!path.on || path.with_it) {
            continue;
        }
        std::optional<model::Item> entry = entry_of(listed, item, path);
        if (!entry || !entry->enabled) {
            plan.still_started_by.push_back(path);
            if (with_them) {
                plan.trigger_notes.push_back(why_it_stays(path, entry));
            }
            continue;
        }
        if (std::find(plan.switchable_triggers.begin(), plan.switchable_triggers.end(),
                      entry->name) != plan.switchable_triggers.end()) {
            continue;
        }
        plan.switchable_triggers.push_back(entry->name);
        if (!with_them) {
            plan.still_started_by.push_back(path);
            continue;
        }
        ChangeRequest off;
        off.action = "disable";
        off.id = entry->id;
        off.stop_now = request.stop_now;
        off.ack = request.ack;
        off.other_starts = OtherStarts::leave;
        Plan trigger = plan_switch_or_remove(engine, off);
        if (trigger.blocked()) {
            plan.problems.push_back(trigger_problem(trigger));
        }
        plan.admin_needed = plan.admin_needed || trigger.admin_needed;
        plan.triggers.push_back(std::move(trigger));
    }
}

void check_fields(const ChangeRequest& request, std::vector<std::string>& problems) {
    if (util::trim(request.create.name).empty()) {
        problems.push_back("A name is required.");
    }
    if (util::trim(request.create.command).empty()) {
        problems.push_back("A command is required.");
    }
    const std::pair<const std::string*, const char*> fields[] = {
        {&request.create.name, "name"},
        {&request.create.command, "command"},
        {&request.create.workdir, "working folder"},
        {&request.create.user, "user name"}};
    for (const auto& [text, label] : fields) {
        if (has_forbidden_character(*text)) {
            problems.push_back(std::string("The ") + label +
                               " contains a line break or an invisible control character, which "
                               "is not allowed.");
        }
    }
}

std::string program_of(const Engine& engine, const ChangeRequest& request) {
    auto rules = engine.system().os == "windows" ? util::ShellRules::off : util::ShellRules::on;
    std::vector<std::string> words = util::split_words(request.create.command, rules);
    if (!words.empty() && !words.front().empty()) {
        return words.front();
    }
    return request.create.exe.empty() ? util::program_path(request.create.command)
                                      : request.create.exe;
}

bool looks_like_a_path(const std::string& path) {
    return path.find('/') != std::string::npos || (path.size() > 1 && path[1] == ':') ||
           path.find("\\\\") != std::string::npos;
}

std::vector<std::string> methods_for(std::string_view os) {
    if (os == "linux") {
        return {"login", "user-service", "boot", "cron"};
    }
    return {"login", "boot"};
}

// The start mode the request names among the candidate's, or nothing; a
// problem when the method is missing or not one this computer offers.
const model::StartMode* chosen_mode(const Engine& engine, const ChangeRequest& request,
                                    const std::optional<model::Candidate>& candidate,
                                    std::vector<std::string>& problems) {
    const model::StartMode* mode = nullptr;
    std::vector<std::string> allowed;
    if (candidate) {
        for (const auto& m : candidate->modes) {
            allowed.push_back(m.id);
            if (m.id == request.create.mode && mode == nullptr) {
                mode = &m;
            }
        }
    } else {
        allowed = methods_for(engine.system().os);
    }
    if (request.create.mode.empty()) {
        problems.push_back("A method is required.");
    } else if (std::find(allowed.begin(), allowed.end(), request.create.mode) == allowed.end()) {
        problems.push_back("\"" + request.create.mode +
                           "\" is not a way a program can be started on this computer.");
    }
    return mode;
}

// What making the entry could do: safe, unless it reaches every user or root,
// runs from a folder where programs come and go, or comes from no program
// just listed.
Assessment creation_risk(const ChangeRequest& request, const model::StartMode* mode,
                         const std::optional<model::Candidate>& candidate,
                         const std::string& program, bool wide) {
    // A cron @reboot line runs when cron starts with the computer, signed in or not.
    const std::string& how = request.create.mode;
    std::string when = how == "boot"   ? "when the computer starts, before anyone signs in"
                       : how == "cron" ? "when the computer starts"
                                       : "when you sign in";
    Assessment risk = Assessment::make(
        Level::safe,
        "\"" + request.create.name + "\" will start automatically " + when +
            ". It can be switched off or removed later from this program, and the change is "
            "undoable from History.",
        "high");
    risk.add_reason("Method: " + (mode ? mode->label : request.create.mode) + ".");
    if (wide) {
        risk.level = Level::caution;
        risk.add_reason(
            "This method runs with administrator/root rights or for every user, so a "
            "mistake in the command has a wider reach.");
    }
    if (in_unsafe_folder(program, false)) {
        raise_to(risk, Level::caution);
        risk.add_reason(
            "The program sits in a temporary or Downloads folder; it may be moved or "
            "deleted, and unwanted software often hides there.");
    }
    if (!candidate) {
        raise_to(risk, Level::caution);
        risk.add_reason(
            "This entry does not come from a program Bootsmith has just listed (for "
            "example it comes from a backup file), so read the command carefully "
            "before you accept it.");
    } else if (!candidate->publisher.empty()) {
        risk.add_reason("Published by " + candidate->publisher + ".");
    } else if (!candidate->system) {
        risk.add_reason(
            "No publisher is recorded for the program file; make sure you recognise it.");
    }
    risk.add_reason(
        "Anything a program starts with the computer slows start-up a little and uses "
        "memory while it runs.");
    return risk;
}

Plan plan_creation(Engine& engine, const ChangeRequest& request) {
    std::optional<model::Candidate> candidate = find_candidate(engine, request.id);
    Plan plan;
    plan.id = request.id;
    plan.name = request.create.name;
    plan.action = "create";
    check_fields(request, plan.problems);

    std::string program = program_of(engine, request);
    if (looks_like_a_path(program) && !engine.demo() && !is_file(program)) {
        plan.problems.push_back("The program file does not exist: " + program);
    }
    const model::StartMode* mode = chosen_mode(engine, request, candidate, plan.problems);
    for (auto& problem : engine.platform().creation_problems(request.create, items(engine))) {
        plan.problems.push_back(std::move(problem));
    }

    bool wide =
        mode ? mode->needs_admin
             : util::is_one_of(request.create.mode, {"boot", "system", "daemon", "service-auto"});
    plan.admin_needed = wide && !engine.system().admin;
    plan.risk = creation_risk(request, mode, candidate, program, wide);
    // The plan shows what the user chose; exe and description are filled in
    // only when the entry is made.
    plan.spec = request.create;
    plan.spec->exe.clear();
    plan.spec->description.clear();
    return plan;
}

}  // namespace

json::JsonValue to_json(const Plan& plan) {
    json::JsonValue triggers = json::JsonValue::array();
    for (const auto& trigger : plan.triggers) {
        triggers.push_back(to_json(trigger));
    }
    json::JsonValue spec;
    if (plan.spec) {
        spec = json::JsonValue::object()
                   .with_str("name", plan.spec->name)
                   .with_str("command", plan.spec->command)
                   .with_str("workdir", plan.spec->workdir)
                   .with_str("mode", plan.spec->mode)
                   .with_str("user", plan.spec->user);
    }
    return json::JsonValue::object()
        .with_str("id", plan.id)
        .with_str("name", plan.name)
        .with_str("action", plan.action)
        .with("risk", model::to_json(plan.risk))
        .with_str_list("problems", plan.problems)
        .with_bool("blocked", plan.blocked())
        .with_bool("admin_needed", plan.admin_needed)
        .with("spec", std::move(spec))
        .with_str_list("still_starts", still_starts_lines(plan.still_started_by))
        .with_bool("needs_ack", waits_for_acceptance(plan))
        .with_str_list("switchable_triggers", plan.switchable_triggers)
        .with("triggers", std::move(triggers))
        .with_str_list("trigger_notes", plan.trigger_notes);
}

std::string refusal_reason(const Plan& plan) {
    return plan.problems.empty() ? plan.risk.effect : util::join(plan.problems, " ");
}

ChangeRequest create_to_enable(const Engine& engine, ChangeRequest request) {
    if (request.action != "create") {
        return request;
    }
    std::optional<model::Candidate> candidate = find_candidate(engine, request.id);
    if (candidate && !candidate->entry_id.empty()) {
        request.action = "enable";
        request.id = candidate->entry_id;
    }
    return request;
}

Plan plan(Engine& engine, const ChangeRequest& original) {
    ChangeRequest request = create_to_enable(engine, original);
    if (request.action == "create") {
        return plan_creation(engine, request);
    }
    if (!util::is_one_of(request.action, {"enable", "disable", "remove"})) {
        return problem_plan(request, "Unknown action.",
                            "Unknown action \"" + request.action + "\".");
    }
    return plan_switch_or_remove(engine, request);
}

std::vector<Plan> plan_many(Engine& engine, const std::vector<ChangeRequest>& requests) {
    std::vector<Plan> plans;
    for (const auto& request : requests) {
        plans.push_back(plan(engine, request));
    }
    return plans;
}

}  // namespace bootsmith::engine
