// The JSON reader: one forward pass, recursion bounded by the nesting limit so
// that hostile input (a downloaded pack, a request body) cannot exhaust the stack.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/json.hpp"

namespace bootsmith::json {
namespace {

constexpr int max_depth = 64;

std::string at_byte(std::string_view what, std::size_t pos) {
    std::string message(what);
    message += " at byte ";
    message += std::to_string(pos);
    return message;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_number_byte(char c) {
    return is_digit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

bool is_continuation(unsigned char c) {
    return (c & 0xC0U) == 0x80U;
}

/// Length of the valid UTF-8 sequence starting at `pos`, or 0 when there is none
/// (overlong forms, surrogates and values above U+10FFFF are not valid).
std::size_t utf8_sequence_length(std::string_view text, std::size_t pos) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = at(0);
    const std::size_t left = text.size() - pos;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!is_continuation(at(i))) {
            return 0;
        }
    }
    return length;
}

bool is_valid_utf8(std::string_view text) {
    constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Most text is ASCII: step over eight such bytes at a time.
        if (text.size() - pos >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, text.data() + pos, sizeof word);
            if ((word & high_bits) == 0) {
                pos += 8;
                continue;
            }
        }
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t length = utf8_sequence_length(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

void append_utf8(std::string& out, std::uint32_t code) {
    const auto byte = [](std::uint32_t value) { return static_cast<char>(value); };
    if (code < 0x80) {
        out += byte(code);
    } else if (code < 0x800) {
        out += byte(0xC0 | (code >> 6));
        out += byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += byte(0xE0 | (code >> 12));
        out += byte(0x80 | ((code >> 6) & 0x3F));
        out += byte(0x80 | (code & 0x3F));
    } else {
        out += byte(0xF0 | (code >> 18));
        out += byte(0x80 | ((code >> 12) & 0x3F));
        out += byte(0x80 | ((code >> 6) & 0x3F));
        out += byte(0x80 | (code & 0x3F));
    }
}

/// Whether a number that does not fit a double is too large rather than too
/// small: the position of its first significant digit, moved by the exponent,
/// tells which (only magnitudes beyond 1e308 or below 1e-323 arrive here).
bool is_too_large(std::string_view body) {
    long long magnitude = 0;
    bool seen_significant = false;
    bool after_point = false;
    std::size_t pos = 0;
    for (; pos < body.size() && body[pos] != 'e' && body[pos] != 'E'; ++pos) {
        const char c = body[pos];
        if (c == '.') {
            after_point = true;
        } else if (!seen_significant && c == '0') {
            magnitude -= after_point ? 1 : 0;
        } else {
            seen_significant = true;
            magnitude += after_point ? 0 : 1;
        }
    }
    long long exponent = 0;
    bool negative = false;
    for (++pos; pos < body.size(); ++pos) {
        if (body[pos] == '-' || body[pos] == '+') {
            negative = body[pos] == '-';
        } else if (exponent < 1'000'000'000) {
            exponent = exponent * 10 + (body[pos] - '0');
        }
    }
    return magnitude + (negative ? -exponent : exponent) > 0;
}

std::size_t skip_digits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && is_digit(text[pos])) {
        ++pos;
    }
    return pos;
}

/// Whether the text is digits with an optional point (a digit on at least one
/// side of it) and an optional exponent with at least one digit; no sign.
bool is_unsigned_decimal(std::string_view text) {
    std::size_t pos = skip_digits(text, 0);
    std::size_t digits = pos;
    if (pos < text.size() && text[pos] == '.') {
        const std::size_t fraction_start = pos + 1;
        pos = skip_digits(text, fraction_start);
        digits += pos - fraction_start;
    }
    if (digits == 0) {
        return false;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            ++pos;
        }
        const std::size_t exponent_start = pos;
        pos = skip_digits(text, exponent_start);
        if (pos == exponent_start) {
            return false;
        }
    }
    return pos == text.size();
}

/// Reads a decimal number with an optional sign; magnitudes beyond the range
/// of a double become infinity or zero instead of failing.
std::optional<double> to_double(std::string_view run) {
    const bool negative = !run.empty() && run.front() == '-';
    if (!run.empty() && (run.front() == '-' || run.front() == '+')) {
        run.remove_prefix(1);
    }
    if (!is_unsigned_decimal(run)) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), value);
    if (error == std::errc::result_out_of_range) {
        value = is_too_large(run) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || end != run.data() + run.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

class Reader {
  public:
    explicit Reader(std::string_view bytes) : m_in(bytes) {}

    Result<JsonValue> read_document() {
        skip_space();
        auto value = BOOTSMITH_TRY(read_value());
        skip_space();
        if (m_pos != m_in.size()) {
            return fail(at_byte("unexpected data", m_pos));
        }
        return value;
    }

  private:
    [[nodiscard]] bool next_is(char c) const { return m_pos < m_in.size() && m_in[m_pos] == c; }

    void skip_space() {
        while (m_pos < m_in.size() && is_space(m_in[m_pos])) {
            ++m_pos;
        }
    }

    Result<JsonValue> read_value() {
        if (++m_depth > max_depth) {
            return fail("nested too deeply");
        }
        if (m_pos >= m_in.size()) {
            return fail("unexpected end");
        }
        auto value = read_by_first_byte();
        --m_depth;
        return value;
    }

    Result<JsonValue> read_by_first_byte() {
        switch (m_in[m_pos]) {
            case '"':
                return JsonValue(BOOTSMITH_TRY(read_string()));
            case '[':
                return read_array();
            case '{':
                return read_object();
            case 't':
                return read_literal("true", JsonValue(true));
            case 'f':
                return read_literal("false", JsonValue(false));
            case 'n':
                return read_literal("null", JsonValue(nullptr));
            default:
                return read_number();
        }
    }

    Result<JsonValue> read_literal(std::string_view word, JsonValue value) {
        if (!m_in.substr(m_pos).starts_with(word)) {
            return fail(at_byte("bad literal", m_pos));
        }
        m_pos += word.size();
        return value;
    }

    Result<JsonValue> read_number() {
        const std::size_t start = m_pos;
        while (m_pos < m_in.size() && is_number_byte(m_in[m_pos])) {
            ++m_pos;
        }
        const auto number = to_double(m_in.substr(start, m_pos - start));
        if (!number) {
            return fail(at_byte("bad number", start));
        }
        return JsonValue(*number);
    }

    Result<JsonValue> read_array() {
        ++m_pos;
        skip_space();
        JsonArray elements;
        if (next_is(']')) {
            ++m_pos;
            return JsonValue(std::move(elements));
        }
        while (true) {
            skip_space();
            elements.push_back(BOOTSMITH_TRY(read_value()));
            skip_space();
            if (next_is(',')) {
                ++m_pos;
            } else if (next_is(']')) {
                ++m_pos;
                return JsonValue(std::move(elements));
            } else {
                return fail(at_byte("expected , or ]", m_pos));
            }
        }
    }

    Result<JsonValue> read_object() {
        ++m_pos;
        skip_space();
        JsonObject members;
        if (next_is('}')) {
            ++m_pos;
            return JsonValue(std::move(members));
        }
        while (true) {
            skip_space();
            if (!next_is('"')) {
                return fail(at_byte("expected a key", m_pos));
            }
            auto key = BOOTSMITH_TRY(read_string());
            skip_space();
            if (!next_is(':')) {
                return fail(at_byte("expected :", m_pos));
            }
            ++m_pos;
            skip_space();
            auto value = BOOTSMITH_TRY(read_value());
            members.push_back(JsonMember{std::move(key), std::move(value)});
            skip_space();
            if (next_is(',')) {
                ++m_pos;
            } else if (next_is('}')) {
                ++m_pos;
                return JsonValue(std::move(members));
            } else {
                return fail(at_byte("expected , or }", m_pos));
            }
        }
    }

    /// Reads a string whose opening quote is at the position.
    Result<std::string> read_string() {
        const std::size_t start = ++m_pos;
        const char* base = m_in.data();
        const std::size_t rest = m_in.size() - start;
        const auto* quote = static_cast<const char*>(std::memchr(base + start, '"', rest));
        const std::size_t span =
            quote != nullptr ? static_cast<std::size_t>(quote - base) - start : rest;
        // The common case: no escapes, so the text is taken in one piece.
        if (quote != nullptr && std::memchr(base + start, '\\', span) == nullptr) {
            m_pos = start + span + 1;
            return checked_utf8(std::string(base + start, span));
        }
        std::string text;
        text.reserve(span);
        return read_escaped_string(std::move(text));
    }

    Result<std::string> read_escaped_string(std::string text) {
        while (true) {
            const std::size_t chunk = m_pos;
            while (m_pos < m_in.size() && m_in[m_pos] != '"' && m_in[m_pos] != '\\') {
                ++m_pos;
            }
            text.append(m_in.data() + chunk, m_pos - chunk);
            if (m_pos >= m_in.size()) {
                return fail("unterminated string");
            }
            if (m_in[m_pos] == '"') {
                ++m_pos;
                return checked_utf8(std::move(text));
            }
            ++m_pos;
            BOOTSMITH_CHECK(read_escape(text));
        }
    }

    static Result<std::string> checked_utf8(std::string text) {
        if (!is_valid_utf8(text)) {
            return fail("string is not valid UTF-8");
        }
        return text;
    }

    /// Reads the escape whose backslash has just been passed.
    Status read_escape(std::string& text) {
        if (m_pos >= m_in.size()) {
            return fail("bad escape");
        }
        const char letter = m_in[m_pos++];
        switch (letter) {
            case '"':
            case '\\':
            case '/':
                text += letter;
                return {};
            case 'b':
                text += '\b';
                return {};
            case 'f':
                text += '\f';
                return {};
            case 'n':
                text += '\n';
                return {};
            case 'r':
                text += '\r';
                return {};
            case 't':
                text += '\t';
                return {};
            case 'u':
                append_utf8(text, BOOTSMITH_TRY(read_unicode_escape()));
                return {};
            default:
                return fail("bad escape");
        }
    }

    /// The character of a \u escape (its "\u" already passed), joining a
    /// surrogate pair; a lone surrogate becomes U+FFFD.
    Result<std::uint32_t> read_unicode_escape() {
        const std::uint32_t first = BOOTSMITH_TRY(read_hex_unit());
        if (first >= 0xD800 && first <= 0xDBFF && m_in.substr(m_pos).starts_with("\\u")) {
            m_pos += 2;
            const std::uint32_t second = BOOTSMITH_TRY(read_hex_unit());
            return 0x10000 + ((first - 0xD800) << 10) + (second & 0x3FF);
        }
        if (first >= 0xD800 && first <= 0xDFFF) {
            return 0xFFFD;
        }
        return first;
    }

    Result<std::uint32_t> read_hex_unit() {
        if (m_in.size() - m_pos < 4) {
            return fail("short \\u escape");
        }
        std::uint32_t unit = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = m_in[m_pos + i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return fail("bad \\u escape");
            }
            unit = unit * 16 + digit;
        }
        m_pos += 4;
        return unit;
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

}  // namespace

Result<JsonValue> parse(std::string_view bytes) {
    return Reader(bytes).read_document();
}

}  // namespace bootsmith::json
