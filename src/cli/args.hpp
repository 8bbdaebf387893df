#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bootsmith::cli {

/// The command line split once: words that do not begin with "--", and the
/// options with their values (a flag has the empty value).
struct ParsedArgs {
    std::vector<std::string> positionals;
    std::vector<std::pair<std::string, std::string>> options;

    /// An option with that exact name occurs (with or without a value).
    [[nodiscard]] bool has(std::string_view name) const;
    /// The value of its first occurrence, or "" when absent.
    [[nodiscard]] std::string value(std::string_view name) const;
    /// Positional number i (0 is the command word), or "" when there is none.
    [[nodiscard]] std::string positional(std::size_t i) const;
    /// The command word: the first positional, or "serve".
    [[nodiscard]] std::string command() const;
};

/// Splits the arguments: the ten value options take the next word as value.
[[nodiscard]] ParsedArgs parse_args(const std::vector<std::string>& args);

}  // namespace bootsmith::cli
