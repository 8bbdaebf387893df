#include "cli/usage.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "cli/command.hpp"
#include "cli/command_table.hpp"
#include "cli/knowledge_command.hpp"
#include "cli/suggest.hpp"
#include "foundation/text.hpp"

namespace bootsmith::cli {

namespace {

// Commands whose first word is required, with the question asked when it is missing.
struct Required {
    std::string_view command;
    std::string_view message;
};

constexpr std::array<Required, 6> required_arguments = {{
    {"assess", "Which item? bootsmith assess NAME"},
    {"disable", "Which item? bootsmith disable NAME"},
    {"enable", "Which item? bootsmith enable NAME"},
    {"add", "Which program? bootsmith add NAME-or-PATH"},
    {"remove", "Which entry? bootsmith remove NAME"},
    {"restore", "Which backup? bootsmith restore FILE-or-NAME"},
}};

constexpr std::string_view undo_message =
    "Which change? bootsmith undo SEQ   (see: bootsmith history)";

// Value options whose empty value cannot mean anything: refused like a
// missing value. The others (--filter, --args, --label, --workdir) count an
// empty value as not given, and --port an empty one as "any free port".
constexpr std::array<std::string_view, 5> value_required = {"--level", "--mode", "--name", "--out",
                                                            "--url"};

bool is_unsigned_number(std::string_view text) {
    std::uint64_t number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string command_name(const CommandSpec& spec) {
    return "bootsmith " + std::string(spec.word);
}

// Every option this command accepts, --json included only when it has a JSON form.
std::vector<std::string> accepted(const CommandSpec& spec) {
    std::vector<std::string> names;
    for (const auto& option : spec.options) {
        names.emplace_back(option.name);
    }
    for (const auto& option : global_options()) {
        names.emplace_back(option.name);
    }
    return names;
}

const OptionSpec* option_spec(const CommandSpec& spec, std::string_view name) {
    for (const auto& option : spec.options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

std::string unknown_option(const CommandSpec& spec, const std::string& option) {
    std::string sentence = command_name(spec) + " has no option \"" + option + "\".";
    if (auto close = closest_word(option, accepted(spec))) {
        return sentence + " Did you mean " + *close + "?";
    }
    return sentence + " See: bootsmith help " + std::string(spec.word);
}

std::string needs_value(const CommandSpec& spec, std::string_view option) {
    const OptionSpec* known = option_spec(spec, option);
    std::string placeholder = known != nullptr ? std::string(known->value) : "VALUE";
    return std::string(option) + " needs a value: " + command_name(spec) + " " +
           std::string(option) + " " + placeholder;
}

std::optional<std::string> option_error(const CommandSpec& spec, const std::string& name) {
    std::vector<std::string> names = accepted(spec);
    if (std::find(names.begin(), names.end(), name) != names.end()) {
        return std::nullopt;
    }
    if (name == "--json") {
        return command_name(spec) + " has no JSON form; leave out --json.";
    }
    return unknown_option(spec, name);
}

std::optional<std::string> malformed_error(const CommandSpec& spec, const std::string& word) {
    if (!word.starts_with("--")) {
        return unknown_option(spec, word);
    }
    std::size_t equals = word.find('=');
    if (equals != std::string::npos) {
        std::string name = word.substr(0, equals);
        return name + " takes no value; write " + name + " alone.";
    }
    return needs_value(spec, word);
}

std::string one_of(std::span<const std::string_view> words) {
    std::string text;
    for (auto w : words) {
        text += (text.empty() ? "" : ", ") + std::string(w);
    }
    return text;
}

std::optional<std::string> word_value_error(const std::string& value, std::string_view what,
                                            std::span<const std::string_view> words) {
    std::string lowered = util::to_lower(value);
    if (std::find(words.begin(), words.end(), lowered) != words.end()) {
        return std::nullopt;
    }
    std::string sentence =
        "\"" + value + "\" is not " + std::string(what) + "; use one of " + one_of(words) + ".";
    if (auto close = closest_word(lowered, std::vector<std::string>(words.begin(), words.end()))) {
        sentence += " Did you mean " + *close + "?";
    }
    return sentence;
}

std::optional<std::string> value_error(const CommandSpec& spec, const ParsedArgs& args) {
    for (std::size_t i = 0; i < args.options.size(); ++i) {
        const auto& [name, value] = args.options[i];
        if (!is_value_option(name)) {
            continue;
        }
        for (std::size_t j = i + 1; j < args.options.size(); ++j) {
            if (args.options[j].first == name) {
                return name + " is given twice; give it once.";
            }
        }
        bool required =
            std::find(value_required.begin(), value_required.end(), name) != value_required.end();
        if (value.empty() && required) {
            return needs_value(spec, name);
        }
        if (name == "--level" && !value.empty()) {
            if (auto error = word_value_error(value, "a level", level_words())) {
                return error;
            }
        }
        if (name == "--mode" && !value.empty()) {
            if (auto error = word_value_error(value, "a way to start a program", mode_words())) {
                return error;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> contradiction(const CommandSpec& spec, const ParsedArgs& args) {
    if (args.has("--on") && args.has("--off")) {
        return std::string("--on and --off together would leave nothing; give one of them.");
    }
    if (spec.word == "restore" && args.has("--json") && args.has("--apply")) {
        return std::string(
            "restore --json shows the comparison only; leave out --apply or --json.");
    }
    return std::nullopt;
}

std::string too_many_words(const CommandSpec& spec, const ParsedArgs& args) {
    std::size_t max = spec.max_words;
    std::string extra = args.positional(max + 1);
    std::string name = command_name(spec);
    if (max == 0) {
        return name + " takes no further words, but \"" + extra +
               "\" was given; see: bootsmith help " + std::string(spec.word);
    }
    std::string sentence =
        name + " takes one " + std::string(spec.word_name) + ", but \"" + extra + "\" follows it";
    if (spec.word_name == "NAME" || spec.word_name == "PROGRAM" ||
        spec.word_name == "FILE-or-NAME") {
        std::vector<std::string> words(args.positionals.begin() + 1, args.positionals.end());
        sentence +=
            "; put a name with spaces in quotes: " + name + " \"" + util::join(words, " ") + "\"";
    }
    return sentence + ".";
}

std::optional<std::string> word_count_error(const CommandSpec& spec, const ParsedArgs& args) {
    std::size_t words = args.positionals.empty() ? 0 : args.positionals.size() - 1;
    if (words < spec.min_words) {
        for (const auto& required : required_arguments) {
            if (required.command == spec.word) {
                return std::string(required.message);
            }
        }
    }
    if (words > spec.max_words) {
        return too_many_words(spec, args);
    }
    if (spec.word == "undo" && words == 1 && !is_unsigned_number(args.positional(1))) {
        return std::string(undo_message);
    }
    return std::nullopt;
}

std::optional<std::string> first_error(const CommandSpec& spec, const ParsedArgs& args) {
    for (const auto& [name, value] : args.options) {
        if (auto error = option_error(spec, name)) {
            return error;
        }
    }
    for (const auto& word : args.malformed) {
        if (auto error = malformed_error(spec, word)) {
            return error;
        }
    }
    if (auto error = value_error(spec, args)) {
        return error;
    }
    if (auto error = contradiction(spec, args)) {
        return error;
    }
    if (spec.word == "knowledge") {
        return std::nullopt;
    }
    return word_count_error(spec, args);
}

std::vector<std::string> command_words() {
    std::vector<std::string> words;
    for (const auto& spec : all_commands()) {
        words.emplace_back(spec.word);
    }
    return words;
}

}  // namespace

bool is_known_command(const std::string& word) {
    return find_command(word) != nullptr;
}

std::optional<int> usage_error(const ParsedArgs& args, std::ostream& err) {
    std::string word = args.command();
    const CommandSpec* spec = find_command(word);
    if (spec == nullptr) {
        auto close = closest_word(word, command_words());
        err << "Unknown command \"" << word << "\". "
            << (close ? "Did you mean: bootsmith " + *close + "?" : "Try: bootsmith help") << "\n";
        return exit_usage;
    }
    if (auto error = first_error(*spec, args)) {
        err << *error << "\n";
        return exit_usage;
    }
    if (word == "knowledge") {
        return knowledge_usage_error(args, err);
    }
    return std::nullopt;
}

}  // namespace bootsmith::cli
