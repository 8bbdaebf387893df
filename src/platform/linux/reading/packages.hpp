#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

enum class PackageManager { none, dpkg, rpm, pacman };

/// dpkg when `dpkg-query` is on PATH, else rpm, else pacman, else none.
[[nodiscard]] PackageManager find_package_manager();
/// "dpkg", "rpm", "pacman" or "" for none.
[[nodiscard]] std::string manager_name(PackageManager manager);

/// Package path to owning package name; files nobody owns are left out. Paths
/// that are not absolute are not asked (a bare word would be a search pattern).
[[nodiscard]] std::map<std::string, std::string> package_owners(
    PackageManager manager, const std::vector<std::string>& paths, const TimeLimits& limits);

/// Package name to priority ("essential" for the packages dpkg marks essential);
/// only dpkg knows priorities.
[[nodiscard]] std::map<std::string, std::string> package_priorities(
    PackageManager manager, const std::vector<std::string>& names, const TimeLimits& limits);

/// "essential", "required", "important" or "standard": part of the base system.
[[nodiscard]] bool is_system_priority(std::string_view priority);

/// The most paths or names handed to one package-tool call.
inline constexpr std::size_t package_batch = 80;

}  // namespace bootsmith::linux_backend
