#pragma once

#include "foundation/result.hpp"
#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// How long this boot took, from one `systemctl show` of the system's own
/// manager (also when acting for a user: the boot is the computer's). Fails
/// with a sentence without systemd or when systemctl gives no answer.
[[nodiscard]] Result<platform::BootPhases> read_boot_phases(const LinuxOptions& options);

}  // namespace bootsmith::linux_backend
