#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bootsmith::cli {

/// The command line split once: words that do not begin with "-", and the
/// options with their values (a flag has the empty value).
struct ParsedArgs {
    std::vector<std::string> positionals;
    std::vector<std::pair<std::string, std::string>> options;
    /// Words that look like options but cannot be read as one, in order: a
    /// single-dash word such as "-j", a flag written "--yes=1", or a value
    /// option that is the last word. The usage check names the first.
    std::vector<std::string> malformed;

    /// An option with that exact name occurs (with or without a value).
    [[nodiscard]] bool has(std::string_view name) const;
    /// The value of its first occurrence, or "" when absent.
    [[nodiscard]] std::string value(std::string_view name) const;
    /// Positional number i (0 is the command word), or "" when there is none.
    [[nodiscard]] std::string positional(std::size_t i) const;
    /// The command word: the first positional, or "serve".
    [[nodiscard]] std::string command() const;
};

/// Whether an option takes the following word (or the text after "=") as value.
[[nodiscard]] bool is_value_option(std::string_view name);

/// Splits the arguments. A value option takes the next word as its value even
/// when it begins with "-" ("--args -v"); "--name=value" is the same as
/// "--name value"; after a word "--" every word is a positional; "-h" asks for
/// help; a word of a dash and a digit ("-1") is a positional.
[[nodiscard]] ParsedArgs parse_args(const std::vector<std::string>& args);

}  // namespace bootsmith::cli
