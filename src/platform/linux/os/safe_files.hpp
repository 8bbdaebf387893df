#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/files.hpp"
#include "foundation/folder_walk.hpp"
#include "foundation/paths.hpp"
#include "foundation/result.hpp"
#include "platform/linux/os/file_paths.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

using Descriptor = util::Descriptor;
using util::Replace;

/// The text of a file read for rewriting, with its permission bits.
struct FileText {
    std::string text;
    unsigned mode = 0644;
};

/// Every read-for-rewriting, write, link and deletion of the back end, on
/// the one atomic writer and folder walk of util.
///
/// Paths are given as the system knows them and opened below the roots. When
/// root acts for an ordinary user, the user can change everything below their
/// home folder while we work, so there every folder level is opened without
/// following links (a link planted as a folder component, or at the file, is
/// never followed to write, read or hand over a file elsewhere), and what is
/// created there is handed to the user through the open descriptor. The same
/// holds in any folder another account can change (util::open_folder).
class SafeFiles {
  public:
    SafeFiles(const Roots& roots, const UserContext& user) : m_roots(roots), m_user(user) {}

    /// Creates the folder and every missing level above it.
    [[nodiscard]] FileResult<void> create_folder(std::string_view folder) const;

    /// Replaces the file whole through a temporary ".bootsmith-<pid>-<ns>.tmp"
    /// in its folder, with `mode`, handed to the user inside their home when
    /// root acts for them. With Replace::never an existing file is kept and
    /// the write fails.
    [[nodiscard]] Status write(std::string_view path, std::string_view text, unsigned mode = 0644,
                               Replace replace = Replace::allowed) const;

    /// The whole file, refused when it is not UTF-8 text.
    [[nodiscard]] Result<FileText> read_for_rewrite(std::string_view path) const;

    /// Deletes the file (a link itself, never what it points to).
    [[nodiscard]] FileResult<void> remove(std::string_view path, std::string action) const;

    /// Makes `path` a symbolic link to `target` (replacing a link already
    /// there), creating its folder; the failure's action is "link <path>".
    [[nodiscard]] FileResult<void> link(std::string_view path, std::string_view target) const;

    /// Whether anything (a dangling link too) exists at the path.
    [[nodiscard]] bool exists(std::string_view path) const;

  private:
    /// Whether the path is below the user's home while root acts for them.
    [[nodiscard]] bool guarded(std::string_view path) const;
    /// The folder opened level by level, links below the home not followed
    /// when guarded; the error is errno.
    [[nodiscard]] std::expected<util::OpenedFolder, int> open_for(std::string_view folder,
                                                                  bool create) const;

    const Roots& m_roots;
    const UserContext& m_user;
};

}  // namespace bootsmith::linux_backend
