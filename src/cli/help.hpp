#pragma once

#include <string_view>

namespace bootsmith::cli {

/// The help text printed by `help`, `-h` and `--help`.
[[nodiscard]] std::string_view help_text();
/// The three lines printed by `version`.
[[nodiscard]] std::string_view version_text();

}  // namespace bootsmith::cli
