#pragma once

#include <vector>

#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// The read-only checks of the Linux back end, in their fixed order.
[[nodiscard]] std::vector<platform::Probe> linux_doctor(const LinuxOptions& options,
                                                        const platform::SystemInfo& info);

}  // namespace bootsmith::linux_backend
