#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace bootsmith::util {

/// 2n lower-case hexadecimal digits from /dev/urandom, or nothing on failure.
[[nodiscard]] std::optional<std::string> random_hex(std::size_t n);

/// Equal length and bytes; always compares over the full length of the longer.
[[nodiscard]] bool equal_constant_time(std::string_view a, std::string_view b);

}  // namespace bootsmith::util
