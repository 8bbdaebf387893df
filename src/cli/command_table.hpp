#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace bootsmith::cli {

/// One option a command reads: a flag when `value` is empty, else a value
/// option whose value is named `value` in the usage ("TEXT", "LEVEL").
struct OptionSpec {
    std::string_view name;
    std::string_view value;
    std::string_view meaning;
};

/// What a command accepts and how its own help describes it. The checks of
/// the command line and the help of one command read the same record, so an
/// option cannot be documented without being accepted, or the reverse.
struct CommandSpec {
    std::string_view word;
    std::string_view usage;     ///< "bootsmith list [--filter TEXT] ..."
    std::string_view summary;   ///< one sentence: what it does
    std::size_t min_words = 0;  ///< words after the command word
    std::size_t max_words = 0;
    std::string_view word_name;  ///< "NAME", "FILE-or-NAME", ... for messages
    std::span<const OptionSpec> options;
    bool json = false;          ///< has a JSON form (--json)
    std::string_view details;   ///< further lines of its help, each ending in "\n"
    std::string_view examples;  ///< example lines, each ending in "\n"
};

/// The options every command accepts.
[[nodiscard]] std::span<const OptionSpec> global_options();
/// The description of a command word (also "open" and "version"), or nullptr.
[[nodiscard]] const CommandSpec* find_command(std::string_view word);
/// Every command word the program knows, in the order of the general help.
[[nodiscard]] std::span<const CommandSpec> all_commands();

/// The level words in level order, and the ways a program can be started.
[[nodiscard]] std::span<const std::string_view> level_words();
[[nodiscard]] std::span<const std::string_view> mode_words();

}  // namespace bootsmith::cli
