#pragma once

#include <string>
#include <vector>

#include "foundation/result.hpp"
#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Starts this program again through pkexec with `args`, handing on the
/// desktop session, and returns once the prompt has had 1.5 seconds: success
/// unless pkexec has already failed by then.
[[nodiscard]] Status elevate_program(const LinuxOptions& options,
                                     const std::vector<std::string>& args);

/// Opens the address in the user's browser (as the invoking user when root acts
/// for one), without waiting; failures are silent.
void open_in_browser(const LinuxOptions& options, const platform::SystemInfo& info,
                     const std::string& address);

}  // namespace bootsmith::linux_backend
