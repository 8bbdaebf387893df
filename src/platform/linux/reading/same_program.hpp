#pragma once

#include <vector>

#include "model/item.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// Adds to each autostart entry, user unit and @reboot line the other entries
/// of the scan that start the same program: another autostart file
/// ("autostart") or user unit ("unit") for the first two, another @reboot line
/// ("cron") for the last. Run once all sources are scanned.
void add_same_program_paths(const Roots& roots, std::vector<model::Item>& items);

}  // namespace bootsmith::linux_backend
