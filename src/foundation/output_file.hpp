#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/folder_walk.hpp"
#include "foundation/result.hpp"

namespace bootsmith::util {

/// The account the program acts for while it runs as root (under sudo or
/// pkexec): its home and whom to hand its files to.
struct ActingAccount {
    FileOwner owner;
    std::string home;
};

/// Writes an output file the user named. Its folder is opened level by level;
/// a link is followed only in a folder that nobody but root and we can change
/// (as /dev/stdout is), never in a user's home or another account's folder or
/// one everyone may write into: such a link gives refused_link_text(). A plain
/// file (or none) is replaced whole; a file a followed link leads to is
/// replaced whole while the link stays; a terminal, pipe or device is written
/// into (a pipe without a reader fails with the system's words for ENXIO
/// rather than waiting). For `account`, files inside its home or in a folder it
/// owns are handed to it. The error is the reason, without the path.
[[nodiscard]] Status write_output_file(const std::filesystem::path& path, std::string_view data,
                                       unsigned mode,
                                       const std::optional<ActingAccount>& account = std::nullopt);

}  // namespace bootsmith::util
