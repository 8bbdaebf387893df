// Start-up files too large to read: skipped, but never silently.
#include "platform/linux/reading/oversized_files.hpp"

#include <sys/stat.h>

#include <algorithm>

#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/os/system.hpp"

namespace bootsmith::linux_backend {

namespace {

bool too_large(const Roots& roots, const std::string& path) {
    struct stat info {};
    return ::stat(roots.at(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<unsigned long long>(info.st_size) > max_config_bytes;
}

// The files of a folder whose names pass `wanted`, in name order.
template <typename Wanted>
void add_from_folder(const Roots& roots, const std::string& folder, Wanted wanted,
                     std::vector<std::string>& found) {
    auto names = list_names(roots.at(folder));
    if (!names) {
        return;
    }
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
        const std::string path = folder + "/" + name;
        if (wanted(name) && too_large(roots, path)) {
            found.push_back(path);
        }
    }
}

}  // namespace

std::vector<std::string> oversized_startup_files(const Roots& roots,
                                                 const knowledge::KnowledgeLocations& locations,
                                                 std::string_view home) {
    std::vector<std::string> folders;
    for (const auto& configured : locations.linux_autostart_dirs) {
        folders.push_back(expand_home(configured, home).path);
    }
    folders.push_back(expand_home("~/.config/autostart", home).path);
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::vector<std::string> found;
    for (const auto& folder : folders) {
        add_from_folder(
            roots, folder, [](const std::string& name) { return name.ends_with(".desktop"); },
            found);
    }
    add_from_folder(
        roots, "/etc/cron.d", [](const std::string&) { return true; }, found);
    for (const char* single : {"/etc/crontab", "/etc/rc.local"}) {
        if (too_large(roots, single)) {
            found.emplace_back(single);
        }
    }
    return found;
}

std::string oversized_note(std::string_view path) {
    return std::string(path) +
           " was skipped: it is larger than 1 MB, far more than any start-up file needs.";
}

}  // namespace bootsmith::linux_backend
