#pragma once

#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_units.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// The systemd units of one scope (the user scope through the user's own instance).
void scan_units(const ScanContext& context, UnitScope scope, platform::ScanResult& result);

}  // namespace bootsmith::linux_backend
