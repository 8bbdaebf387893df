// Command lines: splitting, quoting, PATH lookups, programs and identities.
#include "platform/linux/text/command_text.hpp"

#include <array>
#include <filesystem>
#include <system_error>

#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

namespace {

bool is_plain_shell_char(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view("/._-=:,+@%").find(c) != std::string_view::npos;
}

bool is_env_word(std::string_view word) {
    return word == "env" || word.ends_with("/env");
}

bool path_exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace

std::vector<std::string> shell_words(std::string_view line) {
    return util::split_words(line, util::ShellRules::on);
}

std::string quote_word(std::string_view word) {
    bool plain = !word.empty();
    for (char c : word) {
        plain = plain && is_plain_shell_char(c);
    }
    if (plain) {
        return std::string(word);
    }
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string quote_command(const std::vector<std::string>& words) {
    std::string line;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += quote_word(words[i]);
    }
    return line;
}

Status check_one_line(std::string_view text, std::string_view what) {
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 32 && byte != '\t') || byte == 127) {
            return fail("The " + std::string(what) +
                        " contains a line break or control character, which is not allowed.");
        }
    }
    return {};
}

std::optional<std::string> find_in_path_list(std::string_view word, std::string_view path_list) {
    if (word.empty() || word.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    while (!path_list.empty()) {
        std::size_t colon = path_list.find(':');
        std::string_view folder = path_list.substr(0, colon);
        path_list =
            colon == std::string_view::npos ? std::string_view() : path_list.substr(colon + 1);
        if (folder.empty()) {
            continue;
        }
        std::string candidate = std::string(folder) + "/" + std::string(word);
        if (path_exists(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<std::string> find_on_path(std::string_view word) {
    return find_in_path_list(word, util::env_text("PATH"));
}

bool on_path(std::string_view word) {
    return find_on_path(word).has_value();
}

std::size_t program_word_index(const std::vector<std::string>& words) {
    std::size_t i = 0;
    if (!words.empty() && is_env_word(words.front())) {
        i = 1;
        while (i < words.size() &&
               (words[i].find('=') != std::string::npos || words[i].starts_with('-'))) {
            ++i;
        }
    }
    return i;
}

std::string program_of(const std::vector<std::string>& words) {
    std::size_t i = program_word_index(words);
    if (i >= words.size()) {
        return {};
    }
    const std::string& word = words[i];
    if (word.find('/') != std::string::npos) {
        return word;
    }
    return find_on_path(word).value_or(word);
}

bool is_interpreter(std::string_view file_name) {
    static constexpr std::array<std::string_view, 12> names = {"python", "python3", "perl", "ruby",
                                                               "node",   "nodejs",  "java", "bash",
                                                               "sh",     "dash",    "php",  "lua"};
    for (std::string_view name : names) {
        if (!file_name.starts_with(name)) {
            continue;
        }
        std::string_view rest = file_name.substr(name.size());
        if (rest.empty()) {
            return true;
        }
        if (rest.find_first_not_of("0123456789.") == std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::optional<std::size_t> script_word_index(const std::vector<std::string>& words) {
    std::size_t i = program_word_index(words);
    if (i >= words.size() || !is_interpreter(util::file_name_text(words[i]))) {
        return std::nullopt;
    }
    for (std::size_t j = i + 1; j < words.size(); ++j) {
        if (!words[j].starts_with('-')) {
            return j;
        }
    }
    return std::nullopt;
}

std::string program_identity(std::string_view program, const std::vector<std::string>& words) {
    std::string identity(program);
    if (!is_interpreter(util::file_name_text(program))) {
        return identity;
    }
    if (auto script = script_word_index(words)) {
        identity += "|" + util::file_name_text(words[*script]);
    }
    return identity;
}

}  // namespace bootsmith::linux_backend
