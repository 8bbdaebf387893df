#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/descriptor.hpp"

namespace bootsmith::util {

struct FileOwner {
    unsigned uid = 0;
    unsigned gid = 0;
};

inline constexpr std::size_t no_component = std::numeric_limits<std::size_t>::max();

/// How a folder is opened level by level.
struct WalkRules {
    bool create = false;  ///< make missing levels (0755 before the umask)
    /// Components from this index on are opened without following links.
    std::size_t no_follow_from = no_component;
    /// Levels created from this index on are handed to `owner`.
    std::size_t hand_from = no_component;
    /// Who gets what is made where it is handed over: below `hand_from`, and
    /// in every folder this account owns.
    std::optional<FileOwner> owner;
};

/// An opened folder and what the walk learnt on its way to it.
struct OpenedFolder {
    Descriptor fd;         ///< O_PATH, for the *at calls
    bool guarded = false;  ///< links in it are not to be followed
    bool handing = false;  ///< a file made in it goes to the rules' owner
};

/// Whether an account other than root and us can change what a folder with
/// these facts holds: it owns the folder, or may write into it (as into /tmp).
[[nodiscard]] bool others_can_change(unsigned uid, unsigned gid, unsigned mode);

/// Opens a folder one component at a time below `top` (a ".." component is
/// refused). Links are followed only where nobody but root and this program's
/// account can have put them: inside a folder that another account can change
/// (its home, a folder it owns, a folder everyone may write into), and from
/// `no_follow_from` on, no link is followed. Levels created for the
/// rules' owner are handed to it through their descriptor; a failed hand-over
/// is ignored. The error is the errno value.
[[nodiscard]] std::expected<OpenedFolder, int> open_folder(const std::filesystem::path& top,
                                                           std::string_view folder,
                                                           const WalkRules& rules);

/// The reason given when a file cannot be reached without following a link
/// that another account could have planted.
[[nodiscard]] std::string refused_link_text();

/// The reason to give for a failure with `error_number` to open `path` (or
/// its folder) the way open_folder does: refused_link_text() when a link
/// that was not followed is the cause, else the system's words.
[[nodiscard]] std::string opening_error_text(const std::filesystem::path& path, int error_number);

}  // namespace bootsmith::util
