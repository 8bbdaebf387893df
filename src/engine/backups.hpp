#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.hpp"
#include "foundation/json.hpp"
#include "foundation/result.hpp"

namespace bootsmith::engine {

/// One saved backup found in a backups folder.
struct BackupListing {
    std::string name;
    std::string path;
    std::string label;
    std::string created;
    std::string host;
    std::uint64_t count = 0;
    std::uint64_t size = 0;
    bool automatic = false;
};

/// Scans, assesses and builds the backup document of every item.
[[nodiscard]] json::JsonValue make_backup(Engine& engine, std::string_view label);
/// Writes a backup (0600) into the backups folder, or its "auto" subfolder,
/// keeping the 30 newest automatic ones; returns the file's path.
[[nodiscard]] Result<std::filesystem::path> save_backup(const platform::SystemInfo& system,
                                                        const json::JsonValue& document,
                                                        bool automatic);
/// The backups of every folder to read, newest first.
[[nodiscard]] std::vector<BackupListing> list_backups(const platform::SystemInfo& system);
/// Whether a name given by a user or a page may name a backup file.
[[nodiscard]] bool is_backup_name(std::string_view name);
/// The text of a listed backup.
[[nodiscard]] Result<std::string> read_backup(const platform::SystemInfo& system,
                                              std::string_view name);
/// A backup document from its text.
[[nodiscard]] Result<json::JsonValue> parse_backup(std::string_view text);
/// Deletes a listed backup.
[[nodiscard]] Status delete_backup(const platform::SystemInfo& system, std::string_view name);
/// A time in the system's format as it appears in file names: "20261208T044659".
[[nodiscard]] std::string stamp_of(std::string_view time);
/// Every file in the backups folders named like one of ours, readable or not.
[[nodiscard]] std::vector<std::filesystem::path> backup_files(const platform::SystemInfo& system);
/// The file name part made of a host name: ASCII letters, digits and "-", lower-cased.
[[nodiscard]] std::string host_part(std::string_view host);

}  // namespace bootsmith::engine
