#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "foundation/result.hpp"

namespace bootsmith::json {

class JsonValue;
struct JsonMember;

using JsonArray = std::vector<JsonValue>;
/// An Object is an ordered list of members; duplicate keys are kept.
using JsonObject = std::vector<JsonMember>;

/// The program's JSON value: null, boolean, number (always a double), string,
/// array or object. Copying a value copies the whole tree.
class JsonValue {
  public:
    /// The tag numbering is part of the format's definition.
    enum class Type { Null = 0, Bool = 1, Number = 2, String = 3, Array = 4, Object = 5 };

    // The constructors are defined below JsonMember: building the variant needs
    // its destructor, which needs JsonMember complete (clang insists on that).
    JsonValue() = default;
    JsonValue(std::nullptr_t);
    JsonValue(bool value);
    JsonValue(double value);
    JsonValue(int value);
    JsonValue(std::string value);
    JsonValue(std::string_view value);
    JsonValue(const char* value);
    JsonValue(JsonArray value);
    JsonValue(JsonObject value);

    static JsonValue object();
    static JsonValue array();

    [[nodiscard]] Type type() const { return static_cast<Type>(m_value.index()); }
    [[nodiscard]] bool is_null() const { return type() == Type::Null; }
    [[nodiscard]] bool is_bool() const { return type() == Type::Bool; }
    [[nodiscard]] bool is_number() const { return type() == Type::Number; }
    [[nodiscard]] bool is_string() const { return type() == Type::String; }
    [[nodiscard]] bool is_array() const { return type() == Type::Array; }
    [[nodiscard]] bool is_object() const { return type() == Type::Object; }

    [[nodiscard]] std::optional<bool> as_bool() const;
    [[nodiscard]] std::optional<double> as_number() const;
    /// The text of a String value, nothing for every other case.
    [[nodiscard]] std::optional<std::string_view> as_str() const;
    /// The elements of an Array, or nullptr.
    [[nodiscard]] const JsonArray* as_array() const;
    [[nodiscard]] JsonArray* as_array();
    /// The members of an Object, or nullptr.
    [[nodiscard]] const JsonObject* as_object() const;
    [[nodiscard]] JsonObject* as_object();

    /// The first member with this key (byte-for-byte); a value that is not an
    /// Object behaves as an Object without members.
    [[nodiscard]] const JsonValue* get(std::string_view key) const;
    /// That member's text when it is a String, otherwise "".
    [[nodiscard]] std::string get_str(std::string_view key) const;
    /// That member's value when it is a Bool, otherwise false.
    [[nodiscard]] bool get_bool(std::string_view key) const;

    /// Builders: each appends one member to an Object and returns it. Called on
    /// a value that is not an Object they return it unchanged.
    [[nodiscard]] JsonValue with(std::string_view key, JsonValue value) &&;
    [[nodiscard]] JsonValue with_str(std::string_view key, std::string_view text) &&;
    [[nodiscard]] JsonValue with_str(std::string_view key, std::string&& text) &&;
    /// Lets a string literal choose between the two forms above.
    [[nodiscard]] JsonValue with_str(std::string_view key, const char* text) &&;
    [[nodiscard]] JsonValue with_num(std::string_view key, double number) &&;
    [[nodiscard]] JsonValue with_u64(std::string_view key, std::uint64_t number) &&;
    [[nodiscard]] JsonValue with_bool(std::string_view key, bool value) &&;
    [[nodiscard]] JsonValue with_str_list(std::string_view key,
                                          const std::vector<std::string>& texts) &&;

    /// Appends an element to an Array (does nothing to other values).
    void push_back(JsonValue element);

    friend bool operator==(const JsonValue& a, const JsonValue& b);

  private:
    std::variant<std::monostate, bool, double, std::string, JsonArray, JsonObject> m_value;
};

struct JsonMember {
    std::string key;
    JsonValue value;
    friend bool operator==(const JsonMember&, const JsonMember&) = default;
};

inline JsonValue::JsonValue(std::nullptr_t) {}
inline JsonValue::JsonValue(bool value) : m_value(value) {}
inline JsonValue::JsonValue(double value) : m_value(value) {}
inline JsonValue::JsonValue(int value) : m_value(static_cast<double>(value)) {}
inline JsonValue::JsonValue(std::string value) : m_value(std::move(value)) {}
inline JsonValue::JsonValue(std::string_view value) : m_value(std::string(value)) {}
inline JsonValue::JsonValue(const char* value) : m_value(std::string(value)) {}

/// Reads one JSON value from bytes (not necessarily valid UTF-8). The error is
/// one of the reader's fixed messages, e.g. "unexpected data at byte 8".
[[nodiscard]] Result<JsonValue> parse(std::string_view bytes);

/// The compact text of a value: no whitespace between tokens, no line end.
[[nodiscard]] std::string to_text(const JsonValue& value);

/// A Number as an unsigned integer (fractions dropped, negatives 0, too large the
/// maximum); 0 for a missing value or any other type.
[[nodiscard]] std::uint64_t to_u64(const JsonValue* value);

}  // namespace bootsmith::json
