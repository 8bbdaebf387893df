// Case mapping and case-insensitive comparison.
#include <algorithm>

#include "foundation/text.hpp"
#include "foundation/unicode_case.hpp"

namespace bootsmith::util {
namespace {

char ascii_lower_char(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

template <typename Mapping, typename AsciiMapping>
std::string map_case(std::string_view text, Mapping mapping, AsciiMapping ascii) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) {
            // ASCII maps within ASCII, and most names are ASCII.
            out += ascii(text[pos]);
            ++pos;
            continue;
        }
        Utf8Char c = read_utf8_char(text, pos);
        if (!c.valid) {
            // A stray byte stays as it was, so that nothing is lost.
            out += text[pos];
        } else {
            CaseMapping mapped = mapping(c.code);
            for (std::size_t i = 0; i < mapped.count; ++i) {
                append_utf8(out, mapped.chars[i]);
            }
        }
        pos += c.length;
    }
    return out;
}

}  // namespace

std::string to_lower(std::string_view text) {
    return map_case(text, lower_mapping, ascii_lower_char);
}

std::string to_upper(std::string_view text) {
    return map_case(text, upper_mapping, [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
}

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), ascii_lower_char);
    return out;
}

bool equals_ignore_ascii_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ascii_lower_char(x) == ascii_lower_char(y);
           });
}

bool contains_ignore_case(std::string_view text, std::string_view part) {
    return to_lower(text).find(to_lower(part)) != std::string::npos;
}

}  // namespace bootsmith::util
