#include "cli/usage.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "cli/command.hpp"
#include "cli/knowledge_command.hpp"

namespace bootsmith::cli {

namespace {

constexpr std::array<std::string_view, 18> command_words = {
    "serve",  "open",   "list",    "running", "apps",      "assess", "disable", "enable", "add",
    "remove", "backup", "backups", "restore", "knowledge", "doctor", "history", "undo",   "help"};

// Commands whose first argument is required, with the question asked when it is missing.
struct Required {
    std::string_view command;
    std::string_view message;
};

constexpr std::array<Required, 7> required_arguments = {{
    {"assess", "Which item? bootsmith assess NAME"},
    {"disable", "Which item? bootsmith disable NAME"},
    {"enable", "Which item? bootsmith enable NAME"},
    {"add", "Which program? bootsmith add NAME-or-PATH"},
    {"remove", "Which entry? bootsmith remove NAME"},
    {"restore", "Which backup? bootsmith restore FILE-or-NAME"},
    {"undo", "Which change? bootsmith undo SEQ   (see: bootsmith history)"},
}};

bool is_unsigned_number(std::string_view text) {
    std::uint64_t number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool is_known_command(const std::string& word) {
    return std::find(command_words.begin(), command_words.end(), word) != command_words.end() ||
           word == "version";
}

std::optional<int> usage_error(const ParsedArgs& args, std::ostream& err) {
    std::string word = args.command();
    if (!is_known_command(word)) {
        err << "Unknown command \"" << word << "\". Try: bootsmith help\n";
        return exit_usage;
    }
    if (word == "knowledge") {
        return knowledge_usage_error(args, err);
    }
    for (const auto& required : required_arguments) {
        if (required.command != word) {
            continue;
        }
        std::string argument = args.positional(1);
        bool bad = argument.empty() || (word == "undo" && !is_unsigned_number(argument));
        if (bad) {
            err << required.message << "\n";
            return exit_usage;
        }
    }
    return std::nullopt;
}

}  // namespace bootsmith::cli
