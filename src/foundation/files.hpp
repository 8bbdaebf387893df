#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/result.hpp"

namespace bootsmith::util {

/// The system's text for an errno value ("Permission denied").
[[nodiscard]] std::string system_error_text(int error_number);

/// Renames `from` to `to` (each relative to its folder descriptor, or
/// AT_FDCWD) only when `to` does not exist: 0, or errno (EEXIST when taken).
[[nodiscard]] int rename_without_replacing(int from_folder, const char* from, int to_folder,
                                           const char* to);

struct FileOwner {
    unsigned uid = 0;
    unsigned gid = 0;
};

/// Why an atomic write failed: which step, and the errno value.
struct WriteFailure {
    enum class Step { write_temp, replace };
    Step step = Step::write_temp;
    std::string temp_path;
    int error_number = 0;
};

/// Replaces `path` whole: the data go to a new ".bootsmith-<pid>-<ns>.tmp" in the
/// same folder (created with O_EXCL|O_NOFOLLOW, so a planted link is never
/// followed), which gets `mode` and, when given, `owner` (fchown on the open
/// file), is flushed and renamed over `path`. On failure the temporary file is
/// removed and `path` is untouched. The parent folder must exist.
[[nodiscard]] std::expected<void, WriteFailure> write_file_atomic(
    const std::filesystem::path& path, std::string_view data, unsigned mode,
    std::optional<FileOwner> owner = std::nullopt);

/// As write_file_atomic, but only where no file of that name is: a name taken
/// meanwhile fails with step `replace` and EEXIST, and nothing is replaced.
[[nodiscard]] std::expected<void, WriteFailure> write_new_file(const std::filesystem::path& path,
                                                               std::string_view data,
                                                               unsigned mode);

/// Writes an output file the user named: a plain file (or none) is replaced
/// whole; a link is followed by the kernel, with its protections, and the
/// file it leads to is replaced whole while the link stays; a terminal, pipe
/// or device is written into (a pipe without a reader fails with ENXIO rather
/// than waiting). The error is errno.
[[nodiscard]] std::expected<void, int> write_output_file(const std::filesystem::path& path,
                                                         std::string_view data, unsigned mode);

/// write_file_atomic with the failure as the system's words for it.
[[nodiscard]] Status replace_file(const std::filesystem::path& path, std::string_view data,
                                  unsigned mode);

/// Appends one line (plus a line feed) in one write, creating the file with
/// permission bits 0666 before the umask. When the file cannot be opened the
/// error is "cannot write {path}: {reason}"; when writing it fails, the reason.
[[nodiscard]] Status append_line(const std::filesystem::path& path, std::string_view line);

/// Creates a folder with all missing parents (0777 before the umask); error:
/// "cannot create {folder}: {reason}".
[[nodiscard]] Status create_folders(const std::filesystem::path& folder);

}  // namespace bootsmith::util
