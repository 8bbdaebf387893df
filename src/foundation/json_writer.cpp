// The JSON writer: compact text, numbers always in plain positional notation.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/json.hpp"

namespace bootsmith::json {
namespace {

// Below this magnitude a whole number is written as an integer; above it the
// shortest round-trip digits are used, which keep huge values readable.
constexpr double integer_limit = 9e15;

void append_integer(std::string& out, double number) {
    char buffer[24];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(number));
    out.append(buffer, result.ptr);
}

/// The shortest digits that read back to the same double, laid out without an
/// exponent ("1e-07" becomes "0.0000001", "1e+20" a 1 and twenty zeros).
void append_positional(std::string& out, double number) {
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    std::string_view mantissa = text.substr(0, e);
    if (mantissa.starts_with('-')) {
        out += '-';
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (const char c : mantissa) {
        if (c != '.') {
            digits += c;
        }
    }
    const std::string_view exponent_text = text.substr(e + 1);
    int exponent = 0;
    const char* exponent_start = exponent_text.data() + (exponent_text.starts_with('+') ? 1 : 0);
    std::from_chars(exponent_start, exponent_text.data() + exponent_text.size(), exponent);
    // Digits that stand before the decimal point.
    const long whole = static_cast<long>(exponent) + 1;
    const auto count = static_cast<long>(digits.size());
    if (whole <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-whole), '0');
        out += digits;
    } else if (whole >= count) {
        out += digits;
        out.append(static_cast<std::size_t>(whole - count), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(whole));
        out += '.';
        out.append(digits, static_cast<std::size_t>(whole));
    }
}

void append_number(std::string& out, double number) {
    if (std::isnan(number)) {
        out += "NaN";
    } else if (std::isinf(number)) {
        out += number < 0 ? "-inf" : "inf";
    } else if (std::fabs(number) < integer_limit && std::trunc(number) == number) {
        append_integer(out, number);
    } else {
        append_positional(out, number);
    }
}

bool needs_escape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\';
}

void append_escaped(std::string& out, unsigned char c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default: {
            constexpr std::string_view hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
}

void append_string(std::string& out, std::string_view text) {
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (needs_escape(c)) {
            out.append(text.data() + run, i - run);
            append_escaped(out, c);
            run = i + 1;
        }
    }
    out.append(text.data() + run, text.size() - run);
    out += '"';
}

void append_value(std::string& out, const JsonValue& value);

void append_array(std::string& out, const JsonArray& elements) {
    out += '[';
    bool first = true;
    for (const auto& element : elements) {
        if (!first) {
            out += ',';
        }
        first = false;
        append_value(out, element);
    }
    out += ']';
}

void append_object(std::string& out, const JsonObject& members) {
    out += '{';
    bool first = true;
    for (const auto& member : members) {
        if (!first) {
            out += ',';
        }
        first = false;
        append_string(out, member.key);
        out += ':';
        append_value(out, member.value);
    }
    out += '}';
}

void append_value(std::string& out, const JsonValue& value) {
    switch (value.type()) {
        case JsonValue::Type::Null:
            out += "null";
            return;
        case JsonValue::Type::Bool:
            out += value.as_bool().value_or(false) ? "true" : "false";
            return;
        case JsonValue::Type::Number:
            append_number(out, value.as_number().value_or(0.0));
            return;
        case JsonValue::Type::String:
            append_string(out, value.as_str().value_or(std::string_view()));
            return;
        case JsonValue::Type::Array:
            append_array(out, *value.as_array());
            return;
        case JsonValue::Type::Object:
            append_object(out, *value.as_object());
            return;
    }
}

}  // namespace

std::string to_text(const JsonValue& value) {
    std::string out;
    out.reserve(256);
    append_value(out, value);
    return out;
}

}  // namespace bootsmith::json
