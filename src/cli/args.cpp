#include "cli/args.hpp"

#include <algorithm>
#include <array>

namespace bootsmith::cli {

namespace {
constexpr std::array<std::string_view, 10> value_options = {
    "--filter", "--level", "--port",  "--name",    "--mode",
    "--args",   "--out",   "--label", "--workdir", "--url"};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// "-j", "-xyz": an option someone meant, not a name. "-" alone, "-1" and "-h"
// (help) are read as words.
bool is_short_option(std::string_view word) {
    return word.size() >= 2 && word[0] == '-' && word[1] != '-' && !is_digit(word[1]) &&
           word != "-h";
}
}  // namespace

bool is_value_option(std::string_view name) {
    return std::find(value_options.begin(), value_options.end(), name) != value_options.end();
}

bool ParsedArgs::has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(),
                       [name](const auto& option) { return option.first == name; });
}

std::string ParsedArgs::value(std::string_view name) const {
    for (const auto& [option, value] : options) {
        if (option == name) {
            return value;
        }
    }
    return {};
}

std::string ParsedArgs::positional(std::size_t i) const {
    return i < positionals.size() ? positionals[i] : std::string();
}

std::string ParsedArgs::command() const {
    return positionals.empty() ? std::string("serve") : positionals.front();
}

ParsedArgs parse_args(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    bool words_only = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (words_only || (!word.starts_with("--") && !is_short_option(word))) {
            parsed.positionals.push_back(word);
        } else if (word == "--") {
            words_only = true;
        } else if (is_short_option(word)) {
            parsed.malformed.push_back(word);
        } else if (std::size_t equals = word.find('='); equals != std::string::npos) {
            std::string name = word.substr(0, equals);
            if (!is_value_option(name)) {
                parsed.malformed.push_back(word);
            }
            parsed.options.emplace_back(name, word.substr(equals + 1));
        } else if (is_value_option(word) && i + 1 < args.size()) {
            parsed.options.emplace_back(word, args[i + 1]);
            ++i;
        } else {
            if (is_value_option(word)) {
                parsed.malformed.push_back(word);
            }
            parsed.options.emplace_back(word, std::string());
        }
    }
    return parsed;
}

}  // namespace bootsmith::cli
