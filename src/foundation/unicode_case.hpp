#pragma once

#include <array>
#include <cstddef>

namespace bootsmith::util {

/// What one character becomes under a full case mapping: one to three characters.
struct CaseMapping {
    std::array<char32_t, 3> chars{};
    std::size_t count = 0;
};

/// The full lower-case mapping of a character (unconditional special casing
/// included: U+0130 becomes U+0069 U+0307); the character itself when it has none.
[[nodiscard]] CaseMapping lower_mapping(char32_t c);
/// The full upper-case mapping of a character (U+00DF becomes "SS").
[[nodiscard]] CaseMapping upper_mapping(char32_t c);

/// Whether the character has the Unicode White_Space property.
[[nodiscard]] bool is_white_space(char32_t c);

}  // namespace bootsmith::util
