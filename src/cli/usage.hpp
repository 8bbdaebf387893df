#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/args.hpp"

namespace bootsmith::cli {

/// Whether the command word is one the program knows.
[[nodiscard]] bool is_known_command(const std::string& word);

/// Reports a usage error (an unknown command or option, a missing, doubled or
/// bad value, contradicting options, a missing or extra word) as one sentence
/// and gives its exit status; found before anything is read or scanned.
[[nodiscard]] std::optional<int> usage_error(const ParsedArgs& args, std::ostream& err);

}  // namespace bootsmith::cli
