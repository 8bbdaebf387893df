#pragma once

#include <vector>

#include "model/item.hpp"

namespace bootsmith::linux_backend {

enum class DesktopProgram { no, yes };
enum class Systemd { absent, present };

/// The ways a candidate can be made to start on Linux, in the order offered.
[[nodiscard]] std::vector<model::StartMode> linux_start_modes(DesktopProgram desktop,
                                                              Systemd systemd);

/// The single way offered for a service that runs now but is not switched on.
[[nodiscard]] model::StartMode service_enable_mode(bool needs_admin);

}  // namespace bootsmith::linux_backend
