// The names an item is matched with against the rules of a knowledge pack.
#include "engine/match_names.hpp"

#include <algorithm>

#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

// Windows paths of the demonstration use backslashes, Linux ones slashes.
std::string last_component(std::string_view path) {
    std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

constexpr std::string_view unit_suffixes[] = {".service", ".socket", ".timer", ".path"};

bool is_unit_kind(std::string_view kind) {
    return kind == "systemd" || kind == "systemd-user";
}

// The names packs are written with: "cups" for "cups.service", "postgresql" for
// the instance "postgresql@15-main.service", "nm-applet" for "nm-applet.desktop".
// Only a known final suffix is cut, so "foo.bar.service" gives "foo.bar", and a
// name that is nothing but a suffix gives nothing.
void add_bare_names(std::string_view name, bool unit, std::vector<std::string>& raw) {
    std::string_view bare = name;
    if (bare.ends_with(".desktop")) {
        bare.remove_suffix(std::string_view(".desktop").size());
    } else if (unit) {
        for (std::string_view suffix : unit_suffixes) {
            if (bare.ends_with(suffix)) {
                bare.remove_suffix(suffix.size());
                break;
            }
        }
    }
    if (bare.size() == name.size()) {
        return;
    }
    raw.emplace_back(bare);
    std::size_t at = bare.find('@');
    if (unit && at != std::string_view::npos && at > 0) {
        raw.emplace_back(bare.substr(0, at));
    }
}

std::string program_stem(const model::Item& item) {
    std::string file = last_component(item.exe);
    std::size_t dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::vector<std::string> unique_lower(const std::vector<std::string>& raw) {
    std::vector<std::string> names;
    for (const auto& text : raw) {
        std::string name = util::to_lower(util::trim(text));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

std::vector<std::string> names_for_matching(const model::Item& item) {
    const bool unit = is_unit_kind(item.kind);
    std::vector<std::string> raw;
    for (const std::string& name : {item.extra.get("short"), item.name}) {
        raw.push_back(name);
        add_bare_names(util::trim(name), unit, raw);
    }
    if (util::is_one_of(item.kind, {"service", "systemd", "systemd-user", "launchd"})) {
        raw.push_back(program_stem(item));
    }
    return unique_lower(raw);
}

// The services a socket, timer or path unit starts, as the back end found them.
std::vector<std::string> triggered_units(const model::Item& item) {
    std::vector<std::string> units;
    if (!is_unit_kind(item.kind)) {
        return units;
    }
    const std::string text = item.extra.get("triggers");
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t start = rest.find_first_not_of(" \t");
        if (start == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(start);
        std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
        units.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return units;
}

// A trigger unit is judged with what its service does: the service's names
// follow its own, so a rule for either judges it.
void add_trigger_names(const std::vector<std::string>& units, std::vector<std::string>& names) {
    for (const std::string& unit : units) {
        std::vector<std::string> raw = {unit};
        add_bare_names(unit, true, raw);
        for (const std::string& name : unique_lower(raw)) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(name);
            }
        }
    }
}

// The user's own instance runs units with the same names as the computer's
// (dbus, systemd-tmpfiles-setup) that do other work; a pack tells them apart
// with "user/" in front of the name.
void add_user_names(const model::Item& item, std::vector<std::string>& names) {
    if (item.kind != "systemd-user") {
        return;
    }
    for (std::size_t i = 0, n = names.size(); i < n; ++i) {
        names.push_back("user/" + names[i]);
    }
}

std::string hint_text(const std::vector<std::string>& names, const model::Item& item) {
    return util::join(names, " ") + " " + util::to_lower(last_component(item.exe));
}

}  // namespace

MatchNames match_names(const model::Item& item) {
    MatchNames match;
    match.triggered = triggered_units(item);
    match.names = names_for_matching(item);
    add_trigger_names(match.triggered, match.names);
    match.hint_text = hint_text(match.names, item);
    add_user_names(item, match.names);
    return match;
}

}  // namespace bootsmith::engine
