// The running_programs operation: what runs now and could be made to start.
#include <array>
#include <map>

#include "platform/linux/os/system.hpp"
#include "platform/linux/reading/apps.hpp"
#include "platform/linux/reading/candidates.hpp"
#include "platform/linux/reading/processes.hpp"
#include "platform/linux/reading/running_programs.hpp"
#include "platform/linux/reading/start_modes.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

bool in_system_folder(std::string_view exe) {
    static constexpr std::array<std::string_view, 5> folders = {"/usr/lib/", "/usr/libexec/",
                                                                "/lib/", "/usr/sbin/", "/sbin/"};
    for (std::string_view folder : folders) {
        if (exe.starts_with(folder)) {
            return true;
        }
    }
    return false;
}

// Everything the loop over the processes looks things up in.
class RunningCollector {
  public:
    RunningCollector(const LinuxOptions& options, const platform::SystemInfo& info,
                     const std::vector<model::Item>& items)
        : m_options(options),
          m_user(user_context(options, info)),
          m_starting(starting_identities(options.roots, items)),
          m_own(own_executable(options.roots)),
          m_systemd(systemd_present(options.roots) ? Systemd::present : Systemd::absent) {
        for (const auto& item : items) {
            if (item.kind == "systemd" || item.kind == "systemd-user") {
                m_units.emplace(item.kind + "|" + item.extra.get("unit"), &item);
            }
        }
        const auto locations = linux_locations(options);
        for (auto& app : read_apps(options.roots, locations.linux_app_dirs, info.home)) {
            std::string exe = options.roots.canonical(app.exe);
            m_apps.emplace(std::move(exe), std::move(app));
        }
    }

    void add(const ProcessInfo& process) {
        if (!process.unit.empty()) {
            std::string kind = process.in_user_manager ? "systemd-user" : "systemd";
            auto unit = m_units.find(kind + "|" + process.unit);
            if (unit != m_units.end()) {
                add_service(process, *unit->second);
                return;
            }
        }
        add_process(process);
    }

    platform::CandidateList take() { return std::move(m_list); }

  private:
    void add_service(const ProcessInfo& process, const model::Item& item) {
        bool other_users_manager = process.in_user_manager && process.uid != m_user.uid;
        if (item.enabled || item.toggle == "locked" || other_users_manager) {
            return;
        }
        const bool system_unit = item.kind == "systemd";
        std::string id =
            std::string("unit|") + (system_unit ? "system" : "user") + "|" + process.unit;
        if (add_pid_to(id, process.pid)) {
            return;
        }
        model::Candidate candidate;
        candidate.id = id;
        candidate.name = item.name;
        candidate.source = "service";
        candidate.exe = item.exe;
        candidate.command = item.command;
        candidate.description = item.description;
        candidate.pids = {process.pid};
        candidate.notes = {
            "A systemd service that is running now but is not switched on for start-up."};
        candidate.entry_id = item.id;
        candidate.system = item.origin == "Operating system";
        candidate.modes = {service_enable_mode(system_unit)};
        push(std::move(candidate));
    }

    void add_process(const ProcessInfo& process) {
        const std::string exe = m_options.roots.canonical(process.exe);
        // A program run from memory ("/memfd:name") has no file that could be started again.
        if (exe.empty() || exe.starts_with("/memfd:") || (!m_own.empty() && exe == m_own)) {
            return;
        }
        if (m_starting.contains(program_identity(exe, process.argv))) {
            return;
        }
        std::string key = exe;
        if (is_interpreter(util::file_name_text(exe))) {
            if (auto script = script_word_index(process.argv)) {
                key += "|" + process.argv[*script];
            }
        }
        if (add_pid_to("proc|" + key, process.pid)) {
            return;
        }
        model::Candidate candidate;
        candidate.id = "proc|" + key;
        candidate.source = "process";
        candidate.exe = exe;
        candidate.command = quote_command(process.argv);
        candidate.workdir = process.cwd;
        candidate.user = account_name(process.uid);
        candidate.pids = {process.pid};
        candidate.system =
            (process.uid != m_user.uid && process.uid < 1000) || in_system_folder(exe);
        auto app = m_apps.find(exe);
        const bool desktop = app != m_apps.end() || process.in_user_manager;
        candidate.name = app != m_apps.end() ? app->second.name : util::file_name_text(exe);
        candidate.modes =
            linux_start_modes(desktop ? DesktopProgram::yes : DesktopProgram::no, m_systemd);
        push(std::move(candidate));
    }

    bool add_pid_to(const std::string& id, std::uint32_t pid) {
        auto known = m_index.find(id);
        if (known == m_index.end()) {
            return false;
        }
        m_list.candidates[known->second].pids.push_back(pid);
        return true;
    }

    void push(model::Candidate candidate) {
        m_index.emplace(candidate.id, m_list.candidates.size());
        m_list.candidates.push_back(std::move(candidate));
    }

    std::string account_name(unsigned uid) {
        auto cached = m_names.find(uid);
        if (cached != m_names.end()) {
            return cached->second;
        }
        auto account = account_by_uid(m_options, uid);
        std::string name = account ? account->name : std::to_string(uid);
        m_names.emplace(uid, name);
        return name;
    }

    const LinuxOptions& m_options;
    UserContext m_user;
    std::set<std::string> m_starting;
    std::string m_own;
    Systemd m_systemd;
    std::map<std::string, const model::Item*> m_units;
    std::map<std::string, AppEntry> m_apps;
    std::map<std::string, std::size_t> m_index;
    std::map<unsigned, std::string> m_names;
    platform::CandidateList m_list;
};

}  // namespace

platform::CandidateList running_programs(const LinuxOptions& options,
                                         const platform::SystemInfo& info,
                                         const std::vector<model::Item>& items) {
    auto processes = read_processes(options.roots);
    RunningCollector collector(options, info, items);
    for (const auto& process : processes) {
        collector.add(process);
    }
    platform::CandidateList list = collector.take();
    if (processes.empty()) {
        list.notes.insert(list.notes.begin(),
                          "The list of running programs could not be read from /proc.");
    } else if (!info.admin) {
        list.notes.insert(list.notes.begin(),
                          "Without administrator rights only this account's own programs can be "
                          "inspected; run with sudo to see the rest.");
    }
    return list;
}

}  // namespace bootsmith::linux_backend
