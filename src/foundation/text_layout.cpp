// Trimming, splitting, shortening and padding, all counted in characters rather than bytes.
#include "foundation/text.hpp"
#include "foundation/unicode_case.hpp"

namespace bootsmith::util {
namespace {

constexpr std::string_view ellipsis = "\u2026";

// The byte offset just after the first `n` characters (or the text's end).
std::size_t offset_of_char(std::string_view text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < n && pos < text.size(); ++i) {
        pos += read_utf8_char(text, pos).length;
    }
    return pos;
}

}  // namespace

bool starts_with_space(std::string_view text, std::size_t& length) {
    if (text.empty()) {
        return false;
    }
    Utf8Char c = read_utf8_char(text, 0);
    if (!c.valid || !is_white_space(c.code)) {
        return false;
    }
    length = c.length;
    return true;
}

bool contains_space(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = 0;
        if (starts_with_space(text.substr(i), length)) {
            return true;
        }
    }
    return false;
}

std::string_view trim(std::string_view text) {
    std::size_t start = 0;
    std::size_t length = 0;
    while (starts_with_space(text.substr(start), length)) {
        start += length;
    }
    // Most texts end in ASCII: step back over ASCII white space directly.
    std::size_t end = text.size();
    while (end > start && static_cast<unsigned char>(text[end - 1]) < 0x80) {
        std::size_t one = 0;
        if (!starts_with_space(text.substr(end - 1, 1), one)) {
            return text.substr(start, end - start);
        }
        --end;
    }
    // A non-ASCII end: walk forward, since invalid UTF-8 cannot be decoded
    // reliably from the end.
    std::size_t last = start;
    std::size_t pos = start;
    while (pos < end) {
        if (starts_with_space(text.substr(pos, end - pos), length)) {
            pos += length;
        } else {
            pos += read_utf8_char(text.substr(0, end), pos).length;
            last = pos;
        }
    }
    return text.substr(start, last - start);
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    if (separator.empty()) {
        return {text};
    }
    std::vector<std::string_view> parts;
    while (true) {
        std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + separator.size());
    }
}

std::string shorten(std::string_view text, std::size_t n) {
    if (char_count(text) <= n) {
        return std::string(text);
    }
    if (n == 0) {
        return {};
    }
    std::string out(text.substr(0, offset_of_char(text, n - 1)));
    out += ellipsis;
    return out;
}

std::string pad_right(std::string_view text, std::size_t width) {
    std::string out(text);
    std::size_t count = char_count(text);
    if (count < width) {
        out.append(width - count, ' ');
    }
    return out;
}

std::string join(const std::vector<std::string>& texts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += texts[i];
    }
    return text;
}

bool is_one_of(std::string_view word, std::initializer_list<std::string_view> words) {
    for (std::string_view w : words) {
        if (w == word) {
            return true;
        }
    }
    return false;
}

}  // namespace bootsmith::util
