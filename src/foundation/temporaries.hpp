#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/descriptor.hpp"

namespace bootsmith::util {

/// A fresh name for a temporary file of this program: ".bootsmith-<pid>-<ns>.tmp".
[[nodiscard]] std::string temporary_file_name();

/// Whether a name is one of our temporary files: ".bootsmith-" ... ".tmp".
[[nodiscard]] bool is_temporary_file_name(std::string_view name);

/// A temporary file older than this was left by a run that was killed: no
/// write takes that long.
inline constexpr long stale_after_seconds = 3600;

/// Deletes the temporary files of ours in the open folder that are stale:
/// named as ours, regular files (never links or folders), last changed more
/// than an hour ago. Only for the program's own folders. Failures are ignored.
void remove_stale_temporaries(const Descriptor& folder);
/// The same for a folder by path (nothing happens when it cannot be opened).
void remove_stale_temporaries(const std::filesystem::path& folder);

}  // namespace bootsmith::util
