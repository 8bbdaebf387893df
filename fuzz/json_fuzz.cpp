// Any bytes either fail to read or give a value whose written text reads back
// to the same value (infinities and NaN, which have no JSON form, excepted).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "foundation/json.hpp"

namespace {

using bootsmith::json::JsonValue;

bool all_numbers_finite(const JsonValue& value) {
    if (const auto number = value.as_number()) {
        return std::isfinite(*number);
    }
    if (const auto* elements = value.as_array()) {
        return std::all_of(elements->begin(), elements->end(), all_numbers_finite);
    }
    if (const auto* members = value.as_object()) {
        return std::all_of(members->begin(), members->end(),
                           [](const auto& member) { return all_numbers_finite(member.value); });
    }
    return true;
}

[[noreturn]] void stop(const char* why, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", why, text.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto value = bootsmith::json::parse(bytes);
    if (!value) {
        if (value.error().empty()) {
            stop("failure without a message", std::string(bytes));
        }
        return 0;
    }
    const std::string text = bootsmith::json::to_text(*value);
    if (!all_numbers_finite(*value)) {
        return 0;
    }
    const auto again = bootsmith::json::parse(text);
    if (!again) {
        stop(again.error().c_str(), text);
    }
    if (!(*again == *value)) {
        stop("read back differently", text);
    }
    if (bootsmith::json::to_text(*again) != text) {
        stop("written differently the second time", text);
    }
    return 0;
}
