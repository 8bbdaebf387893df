#pragma once

#include <cstddef>
#include <optional>

namespace bootsmith::cli {

/// The width of the terminal standard output is shown on: the environment
/// variable COLUMNS when it holds a positive number, else what the terminal
/// says. Nothing when standard output is not a terminal (a pipe or a file),
/// so piped output keeps its fixed layout.
[[nodiscard]] std::optional<std::size_t> terminal_columns();

}  // namespace bootsmith::cli
