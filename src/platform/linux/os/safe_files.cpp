// Reading, writing, linking and deleting the files of the start-up configuration.
#include "platform/linux/os/safe_files.hpp"
#include "platform/linux/os/file_paths.hpp"
#include "platform/linux/os/file_reading.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/files.hpp"
#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

namespace {

// Reads a whole regular file from an open descriptor; the error is errno.
std::expected<std::string, int> read_regular_file(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::unexpected(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::unexpected(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    return util::read_all(fd, max_config_bytes);
}

unsigned mode_of(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<unsigned>(info.st_mode & 07777) : 0644u;
}

// A file path split into its folder and name; nothing when it has no folder.
struct Place {
    std::string folder;
    std::string name;
};

std::optional<Place> place_of(std::string_view path) {
    auto parts = path_components(path);
    std::string folder = parent_of(path);
    if (parts.empty() || folder.empty()) {
        return std::nullopt;
    }
    return Place{std::move(folder), std::string(parts.back())};
}

// Makes the link, or replaces a link already standing there; 0 or errno.
int place_link(const Descriptor& folder, const std::string& name, const std::string& target) {
    if (::symlinkat(target.c_str(), folder.get(), name.c_str()) == 0) {
        return 0;
    }
    if (errno != EEXIST) {
        return errno;
    }
    struct stat info {};
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (!S_ISLNK(info.st_mode)) {
        return EEXIST;  // a real file is never replaced by a link
    }
    if (::unlinkat(folder.get(), name.c_str(), 0) != 0 ||
        ::symlinkat(target.c_str(), folder.get(), name.c_str()) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

bool SafeFiles::guarded(std::string_view path) const {
    return m_user.via_root && !path_components(m_user.home).empty() && is_inside(path, m_user.home);
}

std::expected<util::OpenedFolder, int> SafeFiles::open_for(std::string_view folder,
                                                           bool create) const {
    util::WalkRules rules;
    rules.create = create;
    if (guarded(folder)) {
        const std::size_t home_depth = path_components(m_user.home).size();
        rules.no_follow_from = home_depth;
        rules.hand_from = home_depth - 1;
        rules.owner = util::FileOwner{m_user.uid, m_user.gid};
    }
    return util::open_folder(m_roots.prefix, folder, rules);
}

FileResult<void> SafeFiles::create_folder(std::string_view folder) const {
    auto opened = open_for(folder, true);
    if (!opened) {
        return std::unexpected(FileError{"create " + std::string(folder), opened.error()});
    }
    return {};
}

Status SafeFiles::write(std::string_view path, std::string_view text, unsigned mode,
                        Replace replace) const {
    auto place = place_of(path);
    if (!place) {
        return fail("The file has no folder.");
    }
    auto folder = open_for(place->folder, true);
    if (!folder) {
        return fail(describe({"create " + place->folder, folder.error()}));
    }
    util::WriteOptions options;
    options.mode = mode;
    options.replace = replace;
    if (guarded(path)) {
        options.owner = util::FileOwner{m_user.uid, m_user.gid};
    }
    auto written = util::write_in_folder(folder->fd, place->folder, place->name, text, options);
    if (!written) {
        const bool writing = written.error().step == util::WriteFailure::Step::write_temp;
        return fail(describe(
            {writing ? "write " + written.error().temp_path : "replace " + std::string(path),
             written.error().error_number}));
    }
    return {};
}

Result<FileText> SafeFiles::read_for_rewrite(std::string_view path) const {
    const std::string action = "read " + std::string(path);
    auto place = place_of(path);
    if (!place) {
        return fail("The file has no folder.");
    }
    auto folder = open_for(place->folder, false);
    if (!folder) {
        return fail(describe({action, folder.error()}));
    }
    const bool no_follow = guarded(path) || folder->guarded;
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (no_follow ? O_NOFOLLOW : 0);
    Descriptor file(::openat(folder->fd.get(), place->name.c_str(), flags));
    if (!file.valid()) {
        return fail(describe({action, errno}));
    }
    auto bytes = read_regular_file(file.get());
    if (!bytes) {
        return fail(describe({action, bytes.error()}));
    }
    if (!util::is_valid_utf8(*bytes)) {
        return fail(std::string(path) +
                    " is not UTF-8 text, so Bootsmith will not rewrite it. Edit it by hand.");
    }
    return FileText{std::move(*bytes), mode_of(file.get())};
}

FileResult<void> SafeFiles::remove(std::string_view path, std::string action) const {
    auto place = place_of(path);
    if (!place) {
        return std::unexpected(FileError{std::move(action), EINVAL});
    }
    auto folder = open_for(place->folder, false);
    if (!folder) {
        return std::unexpected(FileError{std::move(action), folder.error()});
    }
    if (::unlinkat(folder->fd.get(), place->name.c_str(), 0) != 0) {
        return std::unexpected(FileError{std::move(action), errno});
    }
    return {};
}

FileResult<void> SafeFiles::link(std::string_view path, std::string_view target) const {
    const std::string action = "link " + std::string(path);
    auto place = place_of(path);
    if (!place) {
        return std::unexpected(FileError{action, EINVAL});
    }
    auto folder = open_for(place->folder, true);
    if (!folder) {
        return std::unexpected(FileError{action, folder.error()});
    }
    const std::string target_text(target);
    if (int error_number = place_link(folder->fd, place->name, target_text)) {
        return std::unexpected(FileError{action, error_number});
    }
    if (guarded(path)) {
        (void)::fchownat(folder->fd.get(), place->name.c_str(), m_user.uid, m_user.gid,
                         AT_SYMLINK_NOFOLLOW);
    }
    return {};
}

bool SafeFiles::exists(std::string_view path) const {
    struct stat info {};
    return ::lstat(m_roots.at(path).c_str(), &info) == 0;
}

}  // namespace bootsmith::linux_backend
