#pragma once

#include "cli/command.hpp"

namespace bootsmith::cli {

/// `boot`: how long this start-up took, the entries that took longest, and
/// which slow ones could go.
[[nodiscard]] int run_boot(Invocation& inv);

}  // namespace bootsmith::cli
