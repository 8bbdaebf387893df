#include "platform/linux/reading/doctor.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/reading/oversized_files.hpp"
#include "platform/linux/reading/packages.hpp"
#include "platform/linux/reading/processes.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/listing_text.hpp"

#include "foundation/process.hpp"

namespace bootsmith::linux_backend {

namespace {

using platform::Probe;

Probe probe(std::string name, std::string detail, bool good, const char* bad_status = "warn") {
    return Probe{std::move(name), std::move(detail), good ? "ok" : bad_status};
}

Probe systemd_version(const TimeLimits& limits) {
    auto run =
        util::run_program("systemctl", {"--version"}, {}, std::nullopt, limits.systemctl_version);
    std::string first(util::trim(run.out.substr(0, run.out.find('\n'))));
    if (!run.ok()) {
        return Probe{"systemd", "systemctl did not answer", "fail"};
    }
    return Probe{"systemd", first.empty() ? "systemctl did not answer" : first, "ok"};
}

void systemd_probes(const LinuxOptions& options, const platform::SystemInfo& info,
                    std::vector<Probe>& probes) {
    const int limit = options.limits.systemctl_check;
    probes.push_back(systemd_version(options.limits));

    auto files =
        util::run_program("systemctl", {"list-unit-files", "--no-legend", "--no-pager", "--plain"},
                          {}, std::nullopt, limit);
    std::size_t file_rows = files.ok() ? parse_unit_files(files.out).size() : 0;
    probes.push_back(probe("System unit list", std::to_string(file_rows) + " unit files read.",
                           file_rows > 10, "fail"));

    auto units = util::run_program("systemctl",
                                   {"list-units", "--all", "--no-legend", "--no-pager", "--plain"},
                                   {}, std::nullopt, limit);
    std::size_t unit_rows = units.ok() ? parse_units(units.out).size() : 0;
    probes.push_back(probe("Unit states",
                           std::to_string(unit_rows) + " units reported with their state.",
                           unit_rows > 5));

    UserContext user = user_context(options, info);
    if (user.uid == 0) {
        return;
    }
    auto own = run_user_systemctl(
        user, {"--user", "list-unit-files", "--no-legend", "--no-pager", "--plain"},
        options.limits.systemctl_user);
    if (own.ok()) {
        probes.push_back(probe(
            "Your own units",
            std::to_string(parse_unit_files(own.out).size()) + " user unit files read.", true));
    } else {
        probes.push_back(
            probe("Your own units",
                  "No user session is running for this account; user units are skipped.", false));
    }
}

Probe autostart_probe(const LinuxOptions& options, const platform::SystemInfo& info) {
    const auto folders = linux_locations(options).linux_autostart_dirs;
    std::size_t existing = 0;
    for (const auto& folder : folders) {
        if (is_folder(options.roots.at(expand_home(folder, info.home).path))) {
            ++existing;
        }
    }
    return probe(
        "Desktop autostart folders",
        std::to_string(existing) + " of " + std::to_string(folders.size()) + " folders exist.",
        existing > 0);
}

// Only shown when a start-up file is too large to read: the list would
// otherwise miss it without a word.
std::optional<Probe> skipped_files_probe(const LinuxOptions& options,
                                         const platform::SystemInfo& info) {
    auto skipped = oversized_startup_files(options.roots, linux_locations(options), info.home);
    if (skipped.empty()) {
        return std::nullopt;
    }
    std::string names;
    for (const auto& path : skipped) {
        names += (names.empty() ? "" : ", ") + path;
    }
    return Probe{"Start-up files", "Skipped because they are larger than 1 MB: " + names + ".",
                 "warn"};
}

Probe processes_probe(const LinuxOptions& options, const platform::SystemInfo& info) {
    const std::size_t count = read_processes(options.roots).size();
    const std::string shown = std::to_string(count);
    if (info.admin || count > 3) {
        return probe("Running programs", shown + " programs could be inspected through /proc.",
                     count > 3, "fail");
    }
    return Probe{"Running programs",
                 shown +
                     " of this account's own programs could be inspected. Without administrator "
                     "rights the other accounts' programs cannot be seen; run with sudo to see "
                     "them all.",
                 "warn"};
}

Probe download_probe() {
    if (on_path("curl")) {
        return probe("Download tool", "curl is present.", true);
    }
    if (on_path("wget")) {
        return probe("Download tool", "wget is present.", true);
    }
    return probe("Download tool",
                 "Neither curl nor wget is installed, so knowledge updates cannot be downloaded "
                 "(importing a file still works).",
                 false);
}

}  // namespace

std::vector<Probe> linux_doctor(const LinuxOptions& options, const platform::SystemInfo& info) {
    std::vector<Probe> probes;
    probes.push_back(
        probe("Operating system",
              info.os_version + (info.admin ? ", running as root" : ", ordinary rights"), true));
    if (systemd_present(options.roots)) {
        systemd_probes(options, info, probes);
    } else {
        probes.push_back(
            probe("systemd",
                  "This computer does not use systemd; only autostart entries and cron "
                  "are listed.",
                  false));
    }
    probes.push_back(autostart_probe(options, info));
    if (auto skipped = skipped_files_probe(options, info)) {
        probes.push_back(std::move(*skipped));
    }
    const bool crontab = on_path("crontab");
    probes.push_back(
        probe("cron",
              crontab ? "crontab is present."
                      : "crontab is not installed; @reboot jobs cannot be read or created.",
              crontab));
    const PackageManager manager = find_package_manager();
    probes.push_back(
        probe("Package manager",
              manager == PackageManager::none
                  ? "None recognised; the package that owns a unit is not shown."
                  : manager_name(manager) + " is used to find which package owns a unit.",
              manager != PackageManager::none));
    probes.push_back(processes_probe(options, info));
    probes.push_back(download_probe());
    const bool opener = on_path("xdg-open");
    probes.push_back(probe(
        "Opening the window",
        opener ? "xdg-open is present." : "xdg-open is missing; open the link by hand.", opener));
    return probes;
}

}  // namespace bootsmith::linux_backend
