#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>

#include "foundation/result.hpp"

namespace bootsmith::util {

/// The reason read_file_bytes gives for a pipe, device or socket.
inline constexpr const char* not_regular_text = "it is not a regular file";

/// All bytes of a regular file, undecoded (records of our own files are UTF-8
/// per line, and one bad line must not change how the others are read). A
/// pipe, device or socket is refused without waiting for it (the reason is
/// not_regular_text), as is a link in a folder that another account can
/// change (refused_link_text); otherwise, and for a file longer than `limit`
/// bytes, the error is the system's reason.
[[nodiscard]] Result<std::string> read_file_bytes(
    const std::filesystem::path& path, std::size_t limit = std::numeric_limits<std::size_t>::max());

}  // namespace bootsmith::util
