#include "platform/linux/os/folder_walk.hpp"
#include "platform/linux/os/file_paths.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace bootsmith::linux_backend {

namespace {

int folder_flags(std::size_t index, const WalkRules& rules) {
    int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    if (index >= rules.no_follow_from) {
        flags |= O_NOFOLLOW;
    }
    return flags;
}

// Opens one level below `parent`, making it first when it is missing and that
// is wanted; `made` tells whether this call created it.
std::expected<Descriptor, int> open_level(const Descriptor& parent, const std::string& name,
                                          int flags, bool create, bool& made) {
    made = false;
    Descriptor next(::openat(parent.get(), name.c_str(), flags));
    if (next.valid()) {
        return next;
    }
    if (errno != ENOENT || !create) {
        return std::unexpected(errno);
    }
    if (::mkdirat(parent.get(), name.c_str(), 0755) == 0) {
        made = true;
    } else if (errno != EEXIST) {
        return std::unexpected(errno);
    }
    // Opened again by name: whatever stands there now must pass the same flags.
    next = Descriptor(::openat(parent.get(), name.c_str(), flags));
    if (!next.valid()) {
        return std::unexpected(errno);
    }
    return next;
}

}  // namespace

std::expected<Descriptor, int> open_folder(const Roots& roots, std::string_view folder,
                                           const WalkRules& rules) {
    const std::string top = roots.prefix.empty() ? std::string("/") : roots.prefix.string();
    Descriptor current(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid()) {
        return std::unexpected(errno);
    }
    const auto parts = path_components(folder);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string name(parts[i]);
        if (name == "..") {
            return std::unexpected(EINVAL);
        }
        bool made = false;
        auto next = open_level(current, name, folder_flags(i, rules), rules.create, made);
        if (!next) {
            return std::unexpected(next.error());
        }
        if (made && rules.owner && i >= rules.hand_from) {
            // On the descriptor just opened, so a link swapped in by name is never changed.
            (void)::fchownat(next->get(), "", rules.owner->uid, rules.owner->gid, AT_EMPTY_PATH);
        }
        current = std::move(*next);
    }
    return current;
}

}  // namespace bootsmith::linux_backend
