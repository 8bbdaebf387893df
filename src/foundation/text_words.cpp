// Command lines and desktop entry files read as words and pairs.
#include <system_error>

#include "foundation/text.hpp"

namespace bootsmith::util {
namespace {

// Reads one command line; `pos` always points at the next unread byte. Quotes
// and backslashes are ASCII, so only white space needs whole characters.
class WordSplitter {
  public:
    WordSplitter(std::string_view line, ShellRules rules)
        : m_line(line), m_shell(rules == ShellRules::on) {}

    std::vector<std::string> split() {
        while (m_pos < m_line.size()) {
            step();
        }
        end_word();
        return std::move(m_words);
    }

  private:
    void step() {
        const char c = m_line[m_pos];
        std::size_t space = 0;
        if (c == '"') {
            double_quoted();
        } else if (m_shell && c == '\'') {
            single_quoted();
        } else if (m_shell && c == '\\') {
            escaped();
        } else if (starts_with_space(m_line.substr(m_pos), space)) {
            end_word();
            m_pos += space;
        } else {
            take_char();
        }
    }

    void double_quoted() {
        m_started = true;
        ++m_pos;
        while (m_pos < m_line.size() && m_line[m_pos] != '"') {
            if (m_shell && m_line[m_pos] == '\\' && m_pos + 1 < m_line.size() &&
                std::string_view("\"$\\`").find(m_line[m_pos + 1]) != std::string_view::npos) {
                ++m_pos;
            }
            m_word += m_line[m_pos++];
        }
        ++m_pos;  // the closing quote, or past the end of an unclosed one
    }

    void single_quoted() {
        m_started = true;
        std::size_t close = m_line.find('\'', m_pos + 1);
        std::size_t end = close == std::string_view::npos ? m_line.size() : close;
        m_word += m_line.substr(m_pos + 1, end - m_pos - 1);
        m_pos = end + 1;
    }

    void escaped() {
        ++m_pos;
        if (m_pos < m_line.size()) {
            m_started = true;
            take_char();
        }
    }

    void take_char() {
        m_started = true;
        std::size_t length = read_utf8_char(m_line, m_pos).length;
        m_word += m_line.substr(m_pos, length);
        m_pos += length;
    }

    void end_word() {
        if (m_started) {
            m_words.push_back(std::move(m_word));
            m_word.clear();
            m_started = false;
        }
    }

    std::string_view m_line;
    bool m_shell;
    std::size_t m_pos = 0;
    std::string m_word;
    bool m_started = false;
    std::vector<std::string> m_words;
};

bool is_regular_file(std::string_view path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

}  // namespace

std::vector<std::string> split_words(std::string_view line, ShellRules rules) {
    return WordSplitter(line, rules).split();
}

std::string program_path(std::string_view command) {
    command = trim(command);
    if (command.starts_with('"')) {
        command.remove_prefix(1);
        return std::string(command.substr(0, command.find('"')));
    }
    // Each prefix up to a space is the words so far joined by single spaces.
    for (std::size_t space = command.find(' '); space != std::string_view::npos;
         space = command.find(' ', space + 1)) {
        if (is_regular_file(command.substr(0, space))) {
            return std::string(command.substr(0, space));
        }
    }
    if (!command.empty() && is_regular_file(command)) {
        return std::string(command);
    }
    return std::string(command.substr(0, command.find(' ')));
}

std::string file_name_text(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/')) {
        path.remove_suffix(1);
    }
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Pairs desktop_entry_pairs(std::string_view text) {
    Pairs pairs;
    bool inside = false;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.starts_with('#') || line.starts_with(';')) {
            continue;
        }
        if (line.starts_with('[') && line.ends_with(']')) {
            if (inside) {
                break;
            }
            inside = line == "[Desktop Entry]";
            continue;
        }
        std::size_t equals = line.find('=');
        if (inside && equals != std::string_view::npos) {
            pairs.emplace_back(trim(line.substr(0, equals)), trim(line.substr(equals + 1)));
        }
    }
    return pairs;
}

std::string pair_value(const Pairs& pairs, std::string_view key) {
    for (const auto& [name, value] : pairs) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

}  // namespace bootsmith::util
