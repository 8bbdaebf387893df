#include "foundation/json.hpp"

#include <cmath>
#include <limits>
#include <utility>

namespace bootsmith::json {

JsonValue::JsonValue(JsonArray value) : m_value(std::move(value)) {}

JsonValue::JsonValue(JsonObject value) : m_value(std::move(value)) {}

JsonValue JsonValue::object() {
    return JsonValue(JsonObject{});
}

JsonValue JsonValue::array() {
    return JsonValue(JsonArray{});
}

std::optional<bool> JsonValue::as_bool() const {
    if (const auto* value = std::get_if<bool>(&m_value)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<double> JsonValue::as_number() const {
    if (const auto* value = std::get_if<double>(&m_value)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<std::string_view> JsonValue::as_str() const {
    if (const auto* value = std::get_if<std::string>(&m_value)) {
        return std::string_view(*value);
    }
    return std::nullopt;
}

const JsonArray* JsonValue::as_array() const {
    return std::get_if<JsonArray>(&m_value);
}

JsonArray* JsonValue::as_array() {
    return std::get_if<JsonArray>(&m_value);
}

const JsonObject* JsonValue::as_object() const {
    return std::get_if<JsonObject>(&m_value);
}

JsonObject* JsonValue::as_object() {
    return std::get_if<JsonObject>(&m_value);
}

const JsonValue* JsonValue::get(std::string_view key) const {
    const auto* members = as_object();
    if (members == nullptr) {
        return nullptr;
    }
    for (const auto& member : *members) {
        if (member.key == key) {
            return &member.value;
        }
    }
    return nullptr;
}

std::string JsonValue::get_str(std::string_view key) const {
    const auto* member = get(key);
    if (member == nullptr) {
        return {};
    }
    return std::string(member->as_str().value_or(std::string_view()));
}

bool JsonValue::get_bool(std::string_view key) const {
    const auto* member = get(key);
    return member != nullptr && member->as_bool().value_or(false);
}

JsonValue JsonValue::with(std::string_view key, JsonValue value) && {
    if (auto* members = as_object()) {
        members->push_back(JsonMember{std::string(key), std::move(value)});
    }
    return std::move(*this);
}

JsonValue JsonValue::with_str(std::string_view key, std::string_view text) && {
    return std::move(*this).with(key, JsonValue(text));
}

JsonValue JsonValue::with_str(std::string_view key, std::string&& text) && {
    return std::move(*this).with(key, JsonValue(std::move(text)));
}

JsonValue JsonValue::with_str(std::string_view key, const char* text) && {
    return std::move(*this).with(key, JsonValue(text));
}

JsonValue JsonValue::with_num(std::string_view key, double number) && {
    return std::move(*this).with(key, JsonValue(number));
}

JsonValue JsonValue::with_u64(std::string_view key, std::uint64_t number) && {
    return std::move(*this).with(key, JsonValue(static_cast<double>(number)));
}

JsonValue JsonValue::with_bool(std::string_view key, bool value) && {
    return std::move(*this).with(key, JsonValue(value));
}

JsonValue JsonValue::with_str_list(std::string_view key, const std::vector<std::string>& texts) && {
    if (!is_object()) {
        return std::move(*this);
    }
    JsonArray elements;
    elements.reserve(texts.size());
    for (const auto& text : texts) {
        elements.emplace_back(text);
    }
    return std::move(*this).with(key, JsonValue(std::move(elements)));
}

void JsonValue::push_back(JsonValue element) {
    if (auto* elements = as_array()) {
        elements->push_back(std::move(element));
    }
}

bool operator==(const JsonValue& a, const JsonValue& b) {
    return a.m_value == b.m_value;
}

std::uint64_t to_u64(const JsonValue* value) {
    auto number = value ? value->as_number() : std::nullopt;
    if (!number || std::isnan(*number) || *number <= 0) {
        return 0;
    }
    if (*number >= 18446744073709551615.0) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(*number);
}

}  // namespace bootsmith::json
