// Desktop entry files: reading them, their Exec commands, and setting keys.
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/command_text.hpp"

namespace bootsmith::linux_backend {

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_field_code(std::string_view word) {
    return word.size() == 2 && word[0] == '%' && is_ascii_letter(word[1]);
}

std::string unescape_percent(std::string_view word) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        out += word[i];
        if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == '%') {
            ++i;
        }
    }
    return out;
}

// The desktop file format escapes a backslash as two before the Exec quoting
// rules apply; undoing that first lets Exec values written by exec_value (and by
// other tools that follow the format) read back as the same words.
std::string unescape_backslashes(std::string_view exec) {
    std::string out;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        out += exec[i];
        if (exec[i] == '\\' && i + 1 < exec.size() && exec[i + 1] == '\\') {
            ++i;
        }
    }
    return out;
}

bool needs_exec_quotes(std::string_view word) {
    return word.find_first_of("\"'`$\\<>~|&;*?#()") != std::string_view::npos ||
           util::contains_space(word);
}

std::string exec_word(std::string_view word) {
    std::string doubled;
    for (char c : word) {
        doubled += c;
        if (c == '%') {
            doubled += '%';
        }
    }
    // An empty argument would vanish between two spaces; quotes keep it.
    if (!doubled.empty() && !needs_exec_quotes(doubled)) {
        return doubled;
    }
    std::string quoted = "\"";
    for (char c : doubled) {
        switch (c) {
            case '"':
            case '$':
            case '`':
                quoted += "\\\\";
                quoted += c;
                break;
            case '\\':
                quoted += "\\\\\\\\";
                break;
            default:
                quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool is_group_header(std::string_view line) {
    std::string_view trimmed = util::trim(line);
    return trimmed.starts_with('[') && trimmed.ends_with(']');
}

bool line_has_key(std::string_view line, std::string_view key) {
    std::size_t equals = line.find('=');
    return equals != std::string_view::npos && util::trim(line.substr(0, equals)) == key;
}

}  // namespace

std::string DesktopEntry::value(std::string_view key) const {
    return util::pair_value(pairs, key);
}

std::optional<DesktopEntry> parse_desktop_entry(std::string_view text, std::string file_name) {
    DesktopEntry entry;
    entry.pairs = util::desktop_entry_pairs(text);
    if (entry.pairs.empty()) {
        return std::nullopt;
    }
    entry.name = entry.value("Name");
    entry.exec = entry.value("Exec");
    entry.comment = entry.value("Comment");
    entry.only_show_in = entry.value("OnlyShowIn");
    entry.path = entry.value("Path");
    entry.file_name = std::move(file_name);
    entry.hidden = util::equals_ignore_ascii_case(entry.value("Hidden"), "true");
    entry.no_display = util::equals_ignore_ascii_case(entry.value("NoDisplay"), "true");
    std::string enabled = entry.value("X-GNOME-Autostart-enabled");
    if (enabled == "false") {
        entry.autostart_enabled = Tristate::no;
    } else if (enabled == "true") {
        entry.autostart_enabled = Tristate::yes;
    }
    return entry;
}

std::vector<std::string> desktop_command_words(std::string_view exec) {
    std::vector<std::string> words;
    for (const auto& word : shell_words(unescape_backslashes(exec))) {
        if (!is_field_code(word)) {
            words.push_back(unescape_percent(word));
        }
    }
    return words;
}

std::string exec_value(const std::vector<std::string>& words) {
    std::string value;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            value += ' ';
        }
        value += exec_word(words[i]);
    }
    return value;
}

std::string set_desktop_key(std::string_view text, std::string_view key, std::string_view value) {
    const std::string key_line = std::string(key) + "=" + std::string(value);
    std::vector<std::string> out;
    bool in_group = false;
    bool seen_group = false;
    bool done = false;
    for (std::string_view line : split_lines(text)) {
        if (is_group_header(line)) {
            if (in_group && !done) {
                out.push_back(key_line);
                done = true;
            }
            in_group = util::trim(line) == "[Desktop Entry]";
            seen_group = seen_group || in_group;
        } else if (in_group && !done && line_has_key(line, key)) {
            out.push_back(key_line);
            done = true;
            continue;
        }
        out.emplace_back(line);
    }
    if (in_group && !done) {
        out.push_back(key_line);
    }
    if (!seen_group) {
        out.insert(out.begin(), {"[Desktop Entry]", key_line});
    }
    std::string result;
    for (const auto& line : out) {
        result += line;
        result += '\n';
    }
    return result;
}

}  // namespace bootsmith::linux_backend
