#pragma once

#include <unistd.h>

#include <cstddef>
#include <expected>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

using Descriptor = util::Descriptor;

inline constexpr std::size_t no_component = std::numeric_limits<std::size_t>::max();

/// How a folder is opened level by level.
struct WalkRules {
    bool create = false;  ///< make missing levels (0755 before the umask)
    /// Components from this index on are opened without following links.
    std::size_t no_follow_from = no_component;
    /// Levels created from this index on are handed to `owner`.
    std::size_t hand_from = no_component;
    std::optional<util::FileOwner> owner;
};

/// Opens a folder, given as the system knows it, one component at a time from
/// the roots' top (an O_PATH descriptor, usable with the *at calls). A ".."
/// component is refused. The error is the errno value.
[[nodiscard]] std::expected<Descriptor, int> open_folder(const Roots& roots,
                                                         std::string_view folder,
                                                         const WalkRules& rules);

}  // namespace bootsmith::linux_backend
