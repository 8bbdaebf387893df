#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "knowledge/pack.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// The start-up files that are too large to be read (more than
/// max_config_bytes), so the scan skips them: desktop entries in the
/// autostart folders, /etc/crontab, the files of /etc/cron.d and
/// /etc/rc.local, by their paths as the system knows them.
[[nodiscard]] std::vector<std::string> oversized_startup_files(
    const Roots& roots, const knowledge::KnowledgeLocations& locations, std::string_view home);

/// The scan's note about one file skipped for its size.
[[nodiscard]] std::string oversized_note(std::string_view path);

}  // namespace bootsmith::linux_backend
