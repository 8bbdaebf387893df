// Opening folders one level at a time, so that a link someone else planted on
// the way is never followed.
#include "foundation/folder_walk.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "foundation/files.hpp"
#include "foundation/paths.hpp"

namespace bootsmith::util {

namespace {

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

// What the walk knows about the level it stands on.
struct LevelFacts {
    bool guarded = false;
    bool owners = false;  // owned by the rules' owner
};

// Whether links in the folder may be followed depends only on who can write
// into it: a real folder reached without following a link, that only root
// and we can change, holds only links root or we made.
LevelFacts facts_of(int fd, const WalkRules& rules, bool below_no_follow) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return {true, false};
    }
    return {below_no_follow || others_can_change(info.st_uid, info.st_gid, info.st_mode),
            rules.owner && info.st_uid == rules.owner->uid};
}

// Whether a part of the path is a link in a folder another account can change.
bool has_foreign_link_on_the_way(const std::filesystem::path& path) {
    std::filesystem::path prefix;
    for (const auto& part : path) {
        const std::filesystem::path holder = prefix.empty() ? std::filesystem::path("/") : prefix;
        prefix /= part;
        struct stat link {};
        struct stat folder {};
        if (::lstat(prefix.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
            ::stat(holder.c_str(), &folder) == 0 &&
            others_can_change(folder.st_uid, folder.st_gid, folder.st_mode)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string refused_link_text() {
    return "the way to it leads through a link in a folder that another account can change, "
           "and Bootsmith does not follow such links. Name a file in a folder of your own.";
}

std::string opening_error_text(const std::filesystem::path& path, int error_number) {
    // A link opened without following it fails with ENOTDIR as a folder and
    // ELOOP as the file.
    if ((error_number == ENOTDIR || error_number == ELOOP) && has_foreign_link_on_the_way(path)) {
        return refused_link_text();
    }
    return system_error_text(error_number);
}

bool others_can_change(unsigned uid, unsigned gid, unsigned mode) {
    const unsigned self = ::geteuid();
    if (uid != 0 && uid != self) {
        return true;
    }
    if ((mode & S_IWOTH) != 0) {
        return true;
    }
    return (mode & S_IWGRP) != 0 && gid != 0 && gid != ::getegid();
}

std::expected<OpenedFolder, int> open_folder(const std::filesystem::path& top,
                                             std::string_view folder, const WalkRules& rules) {
    const std::string top_text = top.empty() ? std::string("/") : top.string();
    Descriptor current(::open(top_text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current.valid()) {
        return std::unexpected(errno);
    }
    LevelFacts here = facts_of(current.get(), rules, rules.no_follow_from == 0);
    const auto parts = path_components(folder);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string name(parts[i]);
        if (name == "..") {
            return std::unexpected(EINVAL);
        }
        const bool follow = !here.guarded && i < rules.no_follow_from;
        const int flags = O_PATH | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
        bool made = false;
        auto next = open_level(current, name, flags, rules.create, made);
        if (!next) {
            return std::unexpected(next.error());
        }
        if (made && rules.owner && (i >= rules.hand_from || here.owners)) {
            // On the descriptor just opened, so a link swapped in by name is never changed.
            (void)::fchownat(next->get(), "", rules.owner->uid, rules.owner->gid, AT_EMPTY_PATH);
        }
        here = facts_of(next->get(), rules, i + 1 >= rules.no_follow_from);
        current = std::move(*next);
    }
    const bool inside_handed = !parts.empty() && parts.size() - 1 >= rules.hand_from;
    return OpenedFolder{std::move(current), here.guarded,
                        rules.owner.has_value() && (inside_handed || here.owners)};
}

}  // namespace bootsmith::util
