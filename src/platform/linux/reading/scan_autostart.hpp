#pragma once

#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_autostart.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Desktop autostart entries, with the user's personal overrides applied.
void scan_autostart(const ScanContext& context, platform::ScanResult& result);

}  // namespace bootsmith::linux_backend
