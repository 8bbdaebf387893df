#pragma once

#include "cli/command.hpp"

namespace bootsmith::cli {

/// `list`: every start-up item with its assessment, filtered and sorted.
[[nodiscard]] int run_list(Invocation& inv);
/// `running` and `apps`: programs that could be made to start with the computer.
[[nodiscard]] int run_running(Invocation& inv);
[[nodiscard]] int run_apps(Invocation& inv);
/// `assess NAME`: what switching one item off would do, and why.
[[nodiscard]] int run_assess(Invocation& inv);

}  // namespace bootsmith::cli
