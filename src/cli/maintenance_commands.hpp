#pragma once

#include "cli/command.hpp"

namespace bootsmith::cli {

[[nodiscard]] int run_backup(Invocation& inv);
[[nodiscard]] int run_backups(Invocation& inv);
[[nodiscard]] int run_restore(Invocation& inv);
[[nodiscard]] int run_doctor(Invocation& inv);
[[nodiscard]] int run_history(Invocation& inv);
[[nodiscard]] int run_undo(Invocation& inv);

}  // namespace bootsmith::cli
