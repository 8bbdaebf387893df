#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace bootsmith::engine {

/// Sets the process-wide data folder once; later calls are ignored.
void set_data_folder_override(const std::filesystem::path& folder);
[[nodiscard]] std::optional<std::filesystem::path> data_folder_override();

/// Where this run writes its history, backups and knowledge files.
[[nodiscard]] std::filesystem::path data_folder(const platform::SystemInfo& system);
/// The folders whose history and backups are collected: the data folder and,
/// for an ordinary user, the machine-wide folder.
[[nodiscard]] std::vector<std::filesystem::path> folders_to_read(
    const platform::SystemInfo& system);
/// The machine-wide folder for an operating-system word.
[[nodiscard]] std::filesystem::path machine_folder(std::string_view os);
/// The data folder as shown to the user (a fixed text in the demonstration).
[[nodiscard]] std::string folder_display(const platform::SystemInfo& system);
/// The backups folder as shown to the user.
[[nodiscard]] std::string backups_folder_display(const platform::SystemInfo& system);
/// The "knowledge" folder inside each folder to read; the first is the writable one.
[[nodiscard]] std::vector<std::filesystem::path> knowledge_folders(
    const platform::SystemInfo& system);

}  // namespace bootsmith::engine
