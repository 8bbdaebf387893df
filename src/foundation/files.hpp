#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/descriptor.hpp"
#include "foundation/folder_walk.hpp"
#include "foundation/result.hpp"

namespace bootsmith::util {

/// The system's text for an errno value ("Permission denied").
[[nodiscard]] std::string system_error_text(int error_number);

/// Renames `from` to `to` (each relative to its folder descriptor, or
/// AT_FDCWD) only when `to` does not exist: 0, or errno (EEXIST when taken).
[[nodiscard]] int rename_without_replacing(int from_folder, const char* from, int to_folder,
                                           const char* to);

/// Why an atomic write failed: which step, and the errno value.
struct WriteFailure {
    enum class Step { write_temp, replace };
    Step step = Step::write_temp;
    std::string temp_path;  ///< the temporary file, as the caller named its folder
    int error_number = 0;
};

enum class Replace { allowed, never };

/// Whether stale temporary files of ours are cleared from the folder first:
/// only in the program's own folders, never in the system's or a user's.
enum class Sweep { no, own_folder };

struct WriteOptions {
    unsigned mode = 0644;
    Replace replace = Replace::allowed;
    /// The file is handed to this account; when that fails (a home that
    /// cannot change owners) the file stays ours and the write still succeeds.
    std::optional<FileOwner> owner;
    Sweep sweep = Sweep::no;
};

/// The options for a file in one of the program's own folders (history,
/// backups, knowledge), where stale temporary files of ours are cleared.
[[nodiscard]] WriteOptions own_folder_options(unsigned mode, Replace replace = Replace::allowed);

/// The one atomic writer. Replaces `name` in the open folder whole: the data
/// go to a new ".bootsmith-<pid>-<ns>.tmp" beside it (created with
/// O_EXCL|O_NOFOLLOW, so no planted link is followed), which gets its mode
/// and owner through its descriptor, is flushed and renamed over `name` (a
/// link standing there is replaced, never followed). With Replace::never a
/// name taken meanwhile fails with step `replace` and EEXIST. On failure the
/// temporary file is removed and `name` is untouched. `temp_path` of a
/// failure is `shown_folder` joined with the temporary file's name.
[[nodiscard]] std::expected<void, WriteFailure> write_in_folder(const Descriptor& folder,
                                                                std::string_view shown_folder,
                                                                std::string_view name,
                                                                std::string_view data,
                                                                const WriteOptions& options);

/// write_in_folder for a path: its folder (which must exist) is opened level
/// by level as open_folder does, so no link that another account could have
/// planted on the way is followed.
[[nodiscard]] std::expected<void, WriteFailure> write_file(const std::filesystem::path& path,
                                                           std::string_view data,
                                                           const WriteOptions& options);

/// write_file with `mode` and, when given, `owner`.
[[nodiscard]] std::expected<void, WriteFailure> write_file_atomic(
    const std::filesystem::path& path, std::string_view data, unsigned mode,
    std::optional<FileOwner> owner = std::nullopt);

/// As write_file_atomic, but only where no file of that name is: a name taken
/// meanwhile fails with step `replace` and EEXIST, and nothing is replaced.
[[nodiscard]] std::expected<void, WriteFailure> write_new_file(const std::filesystem::path& path,
                                                               std::string_view data,
                                                               unsigned mode);

/// write_file with the failure as the system's words for it.
[[nodiscard]] Status replace_file(const std::filesystem::path& path, std::string_view data,
                                  const WriteOptions& options);
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
