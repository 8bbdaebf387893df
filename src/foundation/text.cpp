// Reading text: UTF-8 primitives, decoding of files in whatever encoding they
// come, and environment values.
#include "foundation/text.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "foundation/file_bytes.hpp"
#include "foundation/files.hpp"

namespace bootsmith::util {
namespace {

constexpr char32_t replacement_char = 0xFFFD;

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// UTF-16 code units of `bytes` in the given byte order; an odd last byte is dropped.
std::string decode_utf16(std::string_view bytes, bool big_endian) {
    auto unit_at = [&](std::size_t i) -> char32_t {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        return big_endian ? static_cast<char32_t>(first << 8 | second)
                          : static_cast<char32_t>(second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    const std::size_t end = bytes.size() & ~std::size_t{1};
    for (std::size_t i = 0; i < end; i += 2) {
        char32_t unit = unit_at(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < end) {
            char32_t next = unit_at(i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                i += 2;
                continue;
            }
        }
        // append_utf8 turns any surrogate left unpaired into U+FFFD.
        append_utf8(out, unit);
    }
    return out;
}

std::string decode_latin1(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char byte : bytes) {
        append_utf8(out, static_cast<unsigned char>(byte));
    }
    return out;
}

}  // namespace

Utf8Char read_utf8_char(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const Utf8Char invalid{lead, 1, false};
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return invalid;
    }
    if (text.size() - pos < length) {
        return invalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!is_continuation(byte)) {
            return invalid;
        }
        code = code << 6 | (byte & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return invalid;
    }
    return {code, length, true};
}

void append_utf8(std::string& out, char32_t code) {
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        code = replacement_char;
    }
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool is_valid_utf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // Plain ASCII is by far the most common; skip it without decoding.
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        Utf8Char c = read_utf8_char(bytes, pos);
        if (!c.valid) {
            return false;
        }
        pos += c.length;
    }
    return true;
}

std::size_t char_count(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++count) {
        pos += static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : read_utf8_char(text, pos).length;
    }
    return count;
}

std::string decode_text(std::string_view bytes) {
    if (bytes.starts_with("\xFE\xFF")) {
        return decode_utf16(bytes.substr(2), true);
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return decode_utf16(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (is_valid_utf8(bytes)) {
        return std::string(bytes);
    }
    return decode_latin1(bytes);
}

Result<std::string> read_text_file(const std::filesystem::path& path) {
    Result<std::string> bytes = read_file_bytes(path);
    if (!bytes) {
        return bytes;
    }
    return decode_text(*bytes);
}

std::string env_text(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || !is_valid_utf8(value)) {
        return {};
    }
    return value;
}

}  // namespace bootsmith::util
