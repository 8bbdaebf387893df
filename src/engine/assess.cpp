#include "engine/assess.hpp"

#include <algorithm>

#include "engine/history.hpp"
#include "engine/match_names.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

using model::Assessment;
using model::Level;

bool below(Level a, Level b) {
    return static_cast<int>(a) < static_cast<int>(b);
}

std::string unit_type(std::string_view unit) {
    std::size_t dot = unit.rfind('.');
    return dot == std::string_view::npos ? "" : std::string(unit.substr(dot + 1));
}

// What a triggering unit does, said before what its service does.
std::string trigger_sentence(const model::Item& item, const std::vector<std::string>& units) {
    if (units.empty()) {
        return "";
    }
    std::string type = unit_type(item.name);
    std::string when = type == "socket"  ? " when a program connects to it."
                       : type == "timer" ? " on a schedule."
                       : type == "path"  ? " when a file or folder it watches changes."
                                         : "";
    return when.empty() ? "" : "It starts " + util::join(units, ", ") + when;
}

// A rule written for the socket, timer or path unit itself says what it does;
// any other judgement describes the service it starts.
void say_what_it_starts(Assessment& a, const model::Item& item,
                        const std::vector<std::string>& units) {
    std::string sentence = trigger_sentence(item, units);
    if (sentence.empty()) {
        return;
    }
    bool own_rule = !a.matched.empty() && (a.source == "rule" || a.source == "family") &&
                    a.matched.find("." + unit_type(item.name)) != std::string::npos;
    if (!own_rule) {
        a.effect = sentence + " " + a.effect;
    }
}

Assessment own_entry(const model::Item& item) {
    Assessment a = Assessment::make(
        Level::safe,
        "Made by Bootsmith. Switching it off only stops that program starting; nothing else "
        "depends on it, and you can switch it back on or remove it at any time.",
        "high");
    a.add_reason(
        "The entry carries Bootsmith's own name tag, so Bootsmith knows exactly what it is.");
    if (item.scope == "machine") {
        a.add_reason("It applies to every user of this computer.");
    }
    a.source = "own";
    return a;
}

// The distribution masked it for good; whatever its name, it never starts.
Assessment vendor_masked(const model::Item& item) {
    Assessment a = Assessment::make(
        Level::safe,
        "It never starts: its package switched it off for good because something else does its "
        "work. There is nothing to switch off and it needs no attention.",
        "high");
    a.add_reason(
        "Masked by the distribution: the link to /dev/null comes with its package, not from an "
        "administrator.");
    if (!item.package.empty()) {
        a.add_reason("Owned by the package \"" + item.package + "\".");
    }
    a.add_reason(item.scope == "machine" ? "It applies to every user of this computer."
                                         : "It applies to this account only.");
    a.source = "masked";
    return a;
}

// A pattern written for one program ("cups", "postgresql*" for its instances,
// "getty@*") rather than for a whole family ("systemd-*", "*update*"): exact,
// or a prefix that the matched name continues only with an instance or a
// variant ("-", "@", ".", "_").
bool written_for_the_program(std::string_view pattern, const std::vector<std::string>& names) {
    if (!pattern.starts_with('*') && !pattern.ends_with('*')) {
        return true;
    }
    if (pattern.starts_with('*') || pattern.size() < 2) {
        return false;
    }
    std::string_view core = pattern.substr(0, pattern.find_last_not_of('*') + 1);
    for (const std::string& name : names) {
        if (!name.starts_with(core)) {
            continue;
        }
        std::string_view rest = std::string_view(name).substr(core.size());
        if (rest.empty() || core.ends_with('@') ||
            std::string_view("-@._").find(rest[0]) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// Judgement from a rule of either layer; the built-in level is never lowered.
std::optional<Assessment> rule_judgement(const knowledge::KnowledgeStore& store,
                                         std::string_view os, const std::vector<std::string>& names,
                                         const std::string& hints_text) {
    using knowledge::LayerId;
    const knowledge::Rule* u =
        knowledge::find_rule(rules_for(store, LayerId::installed, os), names);
    const knowledge::Rule* b = knowledge::find_rule(rules_for(store, LayerId::builtin, os), names);
    if (u == nullptr && b == nullptr) {
        return std::nullopt;
    }
    bool lowered = u != nullptr && b != nullptr && below(u->level, b->level);
    bool builtin = u == nullptr || lowered;
    const knowledge::Rule& rule = builtin ? *b : *u;
    Assessment a = Assessment::make(rule.level, rule.effect, builtin ? "high" : "medium");
    a.source = written_for_the_program(rule.pattern, names) ? "rule" : "family";
    a.matched = rule.pattern;
    if (builtin) {
        a.add_reason("Recognised from the built-in knowledge of well-known startup items.");
    } else {
        std::string source = store.pack ? "update " + store.pack->version : "local";
        a.add_reason("Recognised from the knowledge in " + source + ".");
    }
    if (lowered) {
        a.add_reason(
            "A knowledge update tried to lower this warning; the built-in level was kept.");
    }
    if (!builtin) {
        const knowledge::Hint* hint = knowledge::find_hint(store.builtin.hints, hints_text);
        if (hint != nullptr && below(a.level, hint->level)) {
            a.level = hint->level;
            a.effect = hint->effect;
            a.add_reason(
                "A knowledge update rated this lower than the built-in judgement from its name; "
                "the built-in level was kept.");
        }
    }
    return a;
}

std::optional<Assessment> hint_judgement(const knowledge::KnowledgeStore& store,
                                         const std::string& text) {
    const knowledge::Hint* hu = knowledge::find_hint(store.installed.hints, text);
    const knowledge::Hint* hb = knowledge::find_hint(store.builtin.hints, text);
    const knowledge::Hint* hint = hu;
    if (hb != nullptr && (hu == nullptr || below(hu->level, hb->level))) {
        hint = hb;
    }
    if (hint == nullptr) {
        return std::nullopt;
    }
    Assessment a = Assessment::make(hint->level, hint->effect, "medium");
    a.source = "hint";
    a.matched = hint->word;
    a.add_reason("Judged by the word \"" + hint->word +
                 "\" in its name; it is not in the built-in list.");
    return a;
}

Assessment general_judgement(const model::Item& item) {
    if (item.origin == "Operating system") {
        Assessment a = Assessment::make(
            Level::unknown,
            "Part of the operating system and not in the built-in list. What switching it off "
            "does cannot be stated; leave it alone unless you know what it is for.",
            "low");
        a.add_reason(
            "It belongs to the operating system, but nothing the program can read says "
            "what it is for.");
        a.source = "os-default";
        return a;
    }
    if (item.scope == "user" ||
        util::is_one_of(item.kind, {"run", "autostart", "folder", "login"})) {
        Assessment a = Assessment::make(
            Level::safe,
            "It will simply not open itself when you sign in. You can still open it by hand; "
            "anything it does in the background (updates, sync, notifications) pauses until you "
            "do.",
            "medium");
        a.add_reason(
            "An installed program started from your own sign-in. The operating system "
            "does not depend on programs started this way.");
        a.source = "general";
        return a;
    }
    Assessment a = Assessment::make(
        Level::low,
        item.dependents.empty()
            ? "A background service installed by a program. The computer does not need it, but "
              "the program it belongs to may lose a background feature until the service is "
              "started by hand."
            : "A background service installed by a program. The program it belongs to may lose "
              "a background feature until the service is started by hand.",
        "medium");
    // With dependents found, the dependency check below names them; the reason
    // must not claim the opposite.
    a.add_reason(item.dependents.empty()
                     ? "An installed program's service, not part of the operating system, and "
                       "nothing found depends on it."
                     : "An installed program's service, not part of the operating system.");
    a.source = "general";
    return a;
}

void never_critical_for_ordinary_entries(Assessment& a, const model::Item& item) {
    if (a.level == Level::critical &&
        util::is_one_of(item.kind, {"run", "folder", "autostart", "cron", "login", "task"})) {
        a.level = Level::high;
        a.effect +=
            " It is shown as High rather than Critical because this is an ordinary "
            "start-up entry that anyone can add, so its name does not prove it is that "
            "system component.";
    }
}

void weigh_dependents(Assessment& a, const model::Item& item) {
    std::size_t n = item.dependents.size();
    if (n == 0) {
        if (!util::is_one_of(item.kind, {"run", "autostart", "folder", "login"})) {
            a.add_reason("Dependency check: no enabled item requires it.");
        }
        return;
    }
    std::vector<std::string> named(
        item.dependents.begin(),
        item.dependents.begin() + static_cast<long>(std::min<std::size_t>(n, 6)));
    std::string list = util::join(named, ", ");
    if (n > 6) {
        list += " and " + std::to_string(n - 6) + " more";
    }
    std::string need =
        std::to_string(n) + " other item(s) that start with the computer need it: " + list + ".";
    if (a.level == Level::safe || a.level == Level::low || a.level == Level::caution) {
        a.level = Level::high;
        a.effect = a.effect + " " + need;
    } else if (a.level == Level::unknown) {
        a.level = Level::high;
        a.effect = need;
    }
    a.add_reason("Dependency check: " + std::to_string(n) + " enabled item(s) require it: " + list +
                 ".");
    if (a.confidence == "low") {
        a.confidence = "medium";
    }
}

void weigh_package(Assessment& a, const model::Item& item) {
    if (!item.package.empty()) {
        a.add_reason("Owned by the package \"" + item.package + "\".");
    }
    std::string priority = item.extra.get("pkg_priority");
    bool sure = a.confidence == "high";
    if ((priority == "essential" || priority == "required") && !sure &&
        (a.level == Level::safe || a.level == Level::low || a.level == Level::caution ||
         a.level == Level::unknown)) {
        a.level = Level::high;
        a.effect =
            "Its package is marked by the distribution as required for the system to work. "
            "What it does is not in the built-in list.";
        a.confidence = "medium";
    } else if (priority == "important" && !sure &&
               (a.level == Level::safe || a.level == Level::low || a.level == Level::unknown)) {
        a.level = Level::caution;
        a.effect =
            "Its package is marked by the distribution as important. What it does is not "
            "in the built-in list.";
        a.confidence = "medium";
    }
    if (!priority.empty()) {
        a.add_reason("The package priority is \"" + priority + "\".");
    }
}

void add_common_reasons(Assessment& a, const model::Item& item) {
    if (!item.publisher.empty()) {
        a.add_reason("Published by " + item.publisher + ".");
    }
    if (item.running) {
        a.add_reason(
            "It is running now; switching it off changes the next start, not the current "
            "session.");
    }
    a.add_reason(item.scope == "machine" ? "It applies to every user of this computer."
                                         : "It applies to this account only.");
}

}  // namespace

void assess_item(model::Item& item, const knowledge::KnowledgeStore& store, std::string_view os,
                 const std::set<std::string>& created_ids) {
    if (item.managed && !created_ids.contains(item.id)) {
        item.managed = false;
        item.origin = "Installed program";
    }
    if (item.managed) {
        item.risk = own_entry(item);
        return;
    }
    if (item.extra.get("vendor_masked") == "1") {
        item.risk = vendor_masked(item);
        return;
    }
    MatchNames match = match_names(item);
    std::optional<Assessment> judged = rule_judgement(store, os, match.names, match.hint_text);
    if (!judged) {
        judged = hint_judgement(store, match.hint_text);
    }
    Assessment a = judged ? std::move(*judged) : general_judgement(item);
    say_what_it_starts(a, item, match.triggered);
    never_critical_for_ordinary_entries(a, item);
    weigh_dependents(a, item);
    weigh_package(a, item);
    add_common_reasons(a, item);
    item.risk = std::move(a);
}

platform::ScanResult scan_and_assess(Engine& engine) {
    platform::ScanResult result = engine.platform().scan();
    std::set<std::string> created;
    for (const auto& record : read_records(engine.system())) {
        if (record.action == "create" && record.ok) {
            created.insert(record.id);
        }
    }
    auto store = knowledge::current_store();
    for (auto& item : result.items) {
        assess_item(item, *store, engine.system().os, created);
    }
    engine.store_items(result.items);
    return result;
}

}  // namespace bootsmith::engine
