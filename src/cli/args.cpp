#include "cli/args.hpp"

#include <algorithm>
#include <array>

namespace bootsmith::cli {

namespace {
constexpr std::array<std::string_view, 10> value_options = {
    "--filter", "--level", "--port",  "--name",    "--mode",
    "--args",   "--out",   "--label", "--workdir", "--url"};

bool is_value_option(std::string_view word) {
    return std::find(value_options.begin(), value_options.end(), word) != value_options.end();
}
}  // namespace

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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word.starts_with("--")) {
            if (is_value_option(word) && i + 1 < args.size()) {
                parsed.options.emplace_back(word, args[i + 1]);
                ++i;
            } else {
                parsed.options.emplace_back(word, std::string());
            }
        } else {
            parsed.positionals.push_back(word);
        }
    }
    return parsed;
}

}  // namespace bootsmith::cli
