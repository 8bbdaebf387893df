#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bootsmith::linux_backend {

/// Configuration files larger than this are not read: no real start-up file
/// comes near it, and a huge one would only cost memory.
inline constexpr std::size_t max_config_bytes = 1024 * 1024;

enum class Overflow { refuse, truncate };

/// The bytes of a regular file (FIFOs, devices and folders are refused without
/// blocking). A file longer than `max_bytes` gives nothing, or with
/// Overflow::truncate its first `max_bytes` bytes (for /proc files).
[[nodiscard]] std::optional<std::string> read_regular_bytes(const std::filesystem::path& path,
                                                            std::size_t max_bytes,
                                                            Overflow overflow = Overflow::refuse);

/// A configuration file decoded as text (UTF-16 and Latin-1 handled), or nothing.
[[nodiscard]] std::optional<std::string> read_config_text(const std::filesystem::path& path);

/// The target of a symbolic link, or nothing.
[[nodiscard]] std::optional<std::string> read_link_text(const std::filesystem::path& path);

/// The names in a folder in listing order; nothing when it cannot be listed.
[[nodiscard]] std::optional<std::vector<std::string>> list_names(
    const std::filesystem::path& folder);

[[nodiscard]] bool is_folder(const std::filesystem::path& path);
[[nodiscard]] bool exists_at(const std::filesystem::path& path);

}  // namespace bootsmith::linux_backend
