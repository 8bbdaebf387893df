#pragma once

#include "cli/command.hpp"

namespace bootsmith::cli {

/// `disable NAME` and `enable NAME`.
[[nodiscard]] int run_switch(Invocation& inv);
/// `add NAME-or-PATH`: make a program start with the computer.
[[nodiscard]] int run_add(Invocation& inv);
/// `remove NAME`: delete an entry this program created.
[[nodiscard]] int run_remove(Invocation& inv);

}  // namespace bootsmith::cli
