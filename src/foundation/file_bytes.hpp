#pragma once

#include <filesystem>
#include <string>

#include "foundation/result.hpp"

namespace bootsmith::util {

/// All bytes of a file, undecoded (records of our own files are UTF-8 per line,
/// and one bad line must not change how the others are read). The error is the
/// system's reason.
[[nodiscard]] Result<std::string> read_file_bytes(const std::filesystem::path& path);

}  // namespace bootsmith::util
