#pragma once

#include "knowledge/pack.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/reading/packages.hpp"
#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// What every part of one scan shares; built once per scan.
struct ScanContext {
    const LinuxOptions& options;
    const platform::SystemInfo& info;
    UserContext user;
    PackageManager manager = PackageManager::none;
    knowledge::KnowledgeLocations locations;
};

enum class UnitScope { system, user };

/// Every source in order: system units, user units, autostart, cron, rc.local.
[[nodiscard]] platform::ScanResult scan_all(const LinuxOptions& options,
                                            const platform::SystemInfo& info);

/// The most units named in one `systemctl show` call.
inline constexpr std::size_t show_batch = 60;

}  // namespace bootsmith::linux_backend
