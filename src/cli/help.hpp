#pragma once

#include <string>
#include <string_view>

#include "cli/command_table.hpp"

namespace bootsmith::cli {

/// The help text printed by `help`, `-h` and `--help`.
[[nodiscard]] std::string_view help_text();
/// The help of one command: its usage, what it does, its options and examples.
[[nodiscard]] std::string command_help(const CommandSpec& spec);
/// The three lines printed by `version`.
[[nodiscard]] std::string_view version_text();
/// The JSON object printed by `version --json`, with a line break.
[[nodiscard]] std::string version_json();

}  // namespace bootsmith::cli
