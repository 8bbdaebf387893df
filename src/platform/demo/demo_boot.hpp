#pragma once

#include <vector>

#include "model/item.hpp"
#include "platform/platform.hpp"

namespace bootsmith::demo {

/// The invented computer's last boot: firmware, loader, kernel and the rest.
[[nodiscard]] platform::BootPhases demo_boot_phases();
/// Gives the items that started in that boot their invented start-up times.
void add_boot_figures(std::vector<model::Item>& items);

}  // namespace bootsmith::demo
