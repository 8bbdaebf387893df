#pragma once

#include <vector>

#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Processes running now (and running services that are not switched on) that
/// do not start with the computer yet.
[[nodiscard]] platform::CandidateList running_programs(const LinuxOptions& options,
                                                       const platform::SystemInfo& info,
                                                       const std::vector<model::Item>& items);

}  // namespace bootsmith::linux_backend
