// Entries that start the same program another way.
#include "platform/linux/reading/same_program.hpp"

#include <map>

#include "foundation/text.hpp"
#include "platform/linux/text/command_text.hpp"

namespace bootsmith::linux_backend {

namespace {

enum class Family { none, desktop, cron };

Family family_of(const model::Item& item) {
    if (item.kind == "autostart") {
        return Family::desktop;
    }
    if (item.kind == "systemd-user" && item.extra.get("unit").ends_with(".service")) {
        return Family::desktop;
    }
    return item.kind == "cron" ? Family::cron : Family::none;
}

std::string how_for(const model::Item& other) {
    if (other.kind == "autostart") {
        return "autostart";
    }
    return other.kind == "cron" ? "cron" : "unit";
}

// Programs that only hand over to what their arguments name (an app id, a
// file, another command): two entries run the same thing only when the whole
// command is the same.
bool is_launcher(std::string_view file_name) {
    return util::is_one_of(
        file_name, {"flatpak", "snap", "gtk-launch", "xdg-open", "dex", "kioclient", "kioclient5",
                    "gio", "sleep", "nohup", "systemd-run", "dbus-launch", "cd"});
}

bool has_shell_operator(const std::vector<std::string>& words) {
    for (const auto& word : words) {
        if (util::is_one_of(word, {"&&", "||", ";", "|", "&"}) || word.ends_with(';')) {
            return true;
        }
    }
    return false;
}

// What tells two entries' programs apart: the program file with links
// resolved (and the script an interpreter runs), or the whole command for a
// launcher or a shell command line.
std::string identity_of(const Roots& roots, const model::Item& item) {
    std::vector<std::string> words = shell_words(item.command);
    std::string program = item.exe.empty() ? "" : roots.canonical(item.exe);
    if (program.empty()) {
        return "";
    }
    if (is_launcher(util::file_name_text(program)) || has_shell_operator(words)) {
        return "command|" + util::join(words, " ");
    }
    return program_identity(program, words);
}

}  // namespace

void add_same_program_paths(const Roots& roots, std::vector<model::Item>& items) {
    std::map<std::pair<Family, std::string>, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < items.size(); ++i) {
        Family family = family_of(items[i]);
        std::string identity = family == Family::none ? "" : identity_of(roots, items[i]);
        if (!identity.empty()) {
            groups[{family, identity}].push_back(i);
        }
    }
    for (const auto& [key, members] : groups) {
        for (std::size_t i : members) {
            for (std::size_t j : members) {
                const model::Item& other = items[j];
                // Two user units running one program are two units, not a
                // second way one entry starts.
                bool both_units = items[i].kind != "autostart" && items[i].kind != "cron" &&
                                  other.kind != "autostart";
                if (i != j && !both_units) {
                    items[i].also_started_by.push_back({other.name, how_for(other), other.enabled});
                }
            }
        }
    }
}

}  // namespace bootsmith::linux_backend
