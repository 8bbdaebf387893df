#include "platform/linux/reading/candidates.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/reading/apps.hpp"
#include "platform/linux/reading/processes.hpp"
#include "platform/linux/reading/start_modes.hpp"
#include "platform/linux/text/command_text.hpp"

namespace bootsmith::linux_backend {

std::set<std::string> starting_identities(const Roots& roots,
                                          const std::vector<model::Item>& items) {
    std::set<std::string> identities;
    for (const auto& item : items) {
        if (!item.exe.empty()) {
            identities.insert(
                program_identity(roots.canonical(item.exe), shell_words(item.command)));
        }
    }
    return identities;
}

platform::CandidateList installed_apps(const LinuxOptions& options,
                                       const platform::SystemInfo& info,
                                       const std::vector<model::Item>& items) {
    const auto locations = linux_locations(options);
    const auto starting = starting_identities(options.roots, items);
    const auto modes = linux_start_modes(
        DesktopProgram::yes, systemd_present(options.roots) ? Systemd::present : Systemd::absent);
    // Bootsmith's own menu entry opens this very window; offering it as a
    // program to start with the computer would only confuse.
    const std::string own = own_executable(options.roots);
    platform::CandidateList list;
    std::set<std::string> commands;
    for (auto& app : read_apps(options.roots, locations.linux_app_dirs, info.home)) {
        if (app.no_display) {
            continue;
        }
        const std::string program = options.roots.canonical(app.exe);
        if ((!own.empty() && program == own) ||
            starting.contains(program_identity(program, app.words))) {
            continue;
        }
        std::string command = quote_command(app.words);
        if (!commands.insert(command).second) {
            continue;
        }
        model::Candidate candidate;
        candidate.id = "app|" + command;
        candidate.name = app.name;
        candidate.source = "app";
        candidate.exe = app.exe;
        candidate.command = command;
        candidate.description = app.comment;
        candidate.modes = modes;
        list.candidates.push_back(std::move(candidate));
    }
    if (list.candidates.empty()) {
        list.notes.push_back("No installed desktop applications were found.");
    }
    return list;
}

}  // namespace bootsmith::linux_backend
