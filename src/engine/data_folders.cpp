#include "engine/data_folders.hpp"

#include <atomic>
#include <mutex>

#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace fs = std::filesystem;

namespace {

// Set once, before any thread but the main one exists, and never cleared.
std::once_flag override_once;
std::atomic<const fs::path*> override_path{nullptr};

fs::path temporary_folder() {
    std::string tmp = util::env_text("TMPDIR");
    return tmp.empty() ? fs::path("/tmp") : fs::path(tmp);
}

fs::path user_data_folder(const platform::SystemInfo& system) {
    if (system.os == "windows") {
        std::string base = util::env_text("LOCALAPPDATA");
        if (!base.empty()) {
            return fs::path(base) / "Bootsmith";
        }
        if (!system.home.empty()) {
            return fs::path(system.home + "\\AppData\\Local") / "Bootsmith";
        }
        return temporary_folder() / "Bootsmith";
    }
    if (system.os == "macos") {
        return fs::path(system.home) / "Library/Application Support/Bootsmith";
    }
    std::string xdg = util::env_text("XDG_DATA_HOME");
    if (!xdg.empty()) {
        return fs::path(xdg) / "bootsmith";
    }
    return fs::path(system.home) / ".local/share/bootsmith";
}

}  // namespace

void set_data_folder_override(const fs::path& folder) {
    std::call_once(override_once, [&folder] { override_path.store(new fs::path(folder)); });
}

std::optional<fs::path> data_folder_override() {
    const fs::path* path = override_path.load();
    if (path == nullptr) {
        return std::nullopt;
    }
    return *path;
}

fs::path machine_folder(std::string_view os) {
    if (os == "windows") {
        std::string base = util::env_text("ProgramData");
        return fs::path(base.empty() ? std::string("C:\\ProgramData") : base) / "Bootsmith";
    }
    if (os == "macos") {
        return "/Library/Application Support/Bootsmith";
    }
    return "/var/lib/bootsmith";
}

fs::path data_folder(const platform::SystemInfo& system) {
    if (auto forced = data_folder_override()) {
        return *forced;
    }
    if (system.admin) {
        return machine_folder(system.os);
    }
    return user_data_folder(system);
}

std::vector<fs::path> folders_to_read(const platform::SystemInfo& system) {
    if (auto forced = data_folder_override()) {
        return {*forced};
    }
    if (system.admin) {
        return {machine_folder(system.os)};
    }
    return {user_data_folder(system), machine_folder(system.os)};
}

std::string folder_display(const platform::SystemInfo& system) {
    if (system.demo) {
        return "C:\\Users\\demouser\\AppData\\Local\\Bootsmith";
    }
    return data_folder(system).string();
}

std::string backups_folder_display(const platform::SystemInfo& system) {
    if (system.demo) {
        return folder_display(system) + "\\backups";
    }
    return (data_folder(system) / "backups").string();
}

std::vector<fs::path> knowledge_folders(const platform::SystemInfo& system) {
    std::vector<fs::path> folders;
    for (const auto& folder : folders_to_read(system)) {
        folders.push_back(folder / "knowledge");
    }
    return folders;
}

}  // namespace bootsmith::engine
