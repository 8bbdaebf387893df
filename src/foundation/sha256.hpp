#pragma once

#include <string>
#include <string_view>

namespace bootsmith::util {

/// The SHA-256 digest (FIPS 180-4) as 64 lower-case hexadecimal digits.
[[nodiscard]] std::string sha256_hex(std::string_view bytes);

}  // namespace bootsmith::util
