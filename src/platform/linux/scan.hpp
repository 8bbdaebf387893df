#pragma once

#include "knowledge/pack.hpp"
#include "platform/linux/packages.hpp"
#include "platform/linux/roots.hpp"
#include "platform/linux/system.hpp"
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

/// The systemd units of one scope (the user scope through the user's own instance).
void scan_units(const ScanContext& context, UnitScope scope, platform::ScanResult& result);
/// Desktop autostart entries, with the user's personal overrides applied.
void scan_autostart(const ScanContext& context, platform::ScanResult& result);
/// cron @reboot lines of the user's crontab, /etc/crontab and /etc/cron.d.
void scan_cron(const ScanContext& context, platform::ScanResult& result);
/// /etc/rc.local when it is executable and runs at least one command.
void scan_rc_local(const ScanContext& context, platform::ScanResult& result);

/// Every source in order: system units, user units, autostart, cron, rc.local.
[[nodiscard]] platform::ScanResult scan_all(const LinuxOptions& options,
                                            const platform::SystemInfo& info);

/// The most units named in one `systemctl show` call.
inline constexpr std::size_t show_batch = 60;

}  // namespace bootsmith::linux_backend
