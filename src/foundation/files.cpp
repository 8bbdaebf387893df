// Writing files so that readers see either the old or the new content whole.
#include "foundation/files.hpp"

#include "foundation/descriptor.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <system_error>

namespace bootsmith::util {
namespace {

// strerror_r comes in a GNU form (returns the text) and a POSIX form (fills the
// buffer); these two overloads accept whichever the C library declares.
[[maybe_unused]] const char* error_text_of(const char* text, const char*) {
    return text;
}
[[maybe_unused]] const char* error_text_of(int status, const char* buffer) {
    return status == 0 ? buffer : "Unknown error";
}

// Names may collide when two threads write into one folder within the same
// nanosecond reading; O_EXCL catches that and a new name is tried.
constexpr int temp_name_attempts = 100;

// Opens a new temporary file beside `path`; never follows or reuses an
// existing name.
int open_temp(const std::filesystem::path& path, std::filesystem::path& temp) {
    for (int attempt = 0; attempt < temp_name_attempts; ++attempt) {
        temp = path.parent_path() / temporary_file_name();
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Fills and settles the open temporary file; on failure says which step broke.
std::expected<void, WriteFailure::Step> fill_temp(int fd, std::string_view data, unsigned mode,
                                                  std::optional<FileOwner> owner) {
    if (!write_all(fd, data)) {
        return std::unexpected(WriteFailure::Step::write_temp);
    }
    if (::fchmod(fd, static_cast<mode_t>(mode & 07777)) != 0) {
        return std::unexpected(WriteFailure::Step::replace);
    }
    // fchown clears set-id bits, so the mode is set again afterwards.
    if (owner && (::fchown(fd, owner->uid, owner->gid) != 0 ||
                  ::fchmod(fd, static_cast<mode_t>(mode & 07777)) != 0)) {
        return std::unexpected(WriteFailure::Step::replace);
    }
    if (::fsync(fd) != 0) {
        return std::unexpected(WriteFailure::Step::write_temp);
    }
    return {};
}

// Whether the open file's last byte is there and is not a line feed.
bool ends_unfinished(int fd) {
    struct stat info {};
    char last = '\n';
    return ::fstat(fd, &info) == 0 && info.st_size > 0 &&
           ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n';
}

// Makes the rename itself durable; a failure here changes nothing for readers.
void sync_folder(const std::filesystem::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

int rename_without_replacing(int from_folder, const char* from, int to_folder, const char* to) {
    if (::renameat2(from_folder, from, to_folder, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL) {
        return errno;
    }
    // File systems without RENAME_NOREPLACE: a hard link also refuses an existing name.
    if (::linkat(from_folder, from, to_folder, to, 0) != 0) {
        return errno;
    }
    ::unlinkat(from_folder, from, 0);
    return 0;
}

std::string system_error_text(int error_number) {
    char buffer[256] = {};
    return error_text_of(::strerror_r(error_number, buffer, sizeof buffer), buffer);
}

namespace {

// Puts the finished temporary file at `path`: over what is there, or only
// where nothing is (EEXIST otherwise). Returns 0 or errno.
int place_temp(const std::filesystem::path& temp, const std::filesystem::path& path,
               bool may_replace) {
    if (may_replace) {
        return ::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
    }
    return rename_without_replacing(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str());
}

std::expected<void, WriteFailure> write_through_temp(const std::filesystem::path& path,
                                                     std::string_view data, unsigned mode,
                                                     std::optional<FileOwner> owner,
                                                     bool may_replace) {
    std::filesystem::path temp;
    int fd = open_temp(path, temp);
    if (fd < 0) {
        return std::unexpected(WriteFailure{WriteFailure::Step::write_temp, temp.string(), errno});
    }
    auto filled = fill_temp(fd, data, mode, owner);
    int error_number = errno;
    if (::close(fd) != 0 && filled) {
        filled = std::unexpected(WriteFailure::Step::write_temp);
        error_number = errno;
    }
    if (filled) {
        error_number = place_temp(temp, path, may_replace);
        if (error_number != 0) {
            filled = std::unexpected(WriteFailure::Step::replace);
        }
    }
    if (!filled) {
        ::unlink(temp.c_str());
        return std::unexpected(WriteFailure{filled.error(), temp.string(), error_number});
    }
    sync_folder(path.parent_path());
    return {};
}

std::expected<void, int> replaced_whole(const std::filesystem::path& path, std::string_view data,
                                        unsigned mode) {
    auto written = write_through_temp(path, data, mode, std::nullopt, true);
    if (!written) {
        return std::unexpected(written.error().error_number);
    }
    return {};
}

// A link someone else left in a folder everyone may write into (sticky, as
// /tmp is) is not theirs to point us with: following it would let another
// account choose which file root replaces. The kernel refuses the same when
// fs.protected_symlinks is set; this holds where it is not.
bool planted_in_shared_folder(const std::filesystem::path& link, const struct stat& named) {
    struct stat folder {};
    const std::filesystem::path parent = link.parent_path();
    if (::stat(parent.empty() ? "." : parent.c_str(), &folder) != 0) {
        return true;
    }
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && named.st_uid != ::geteuid() && named.st_uid != folder.st_uid;
}

}  // namespace

std::expected<void, WriteFailure> write_file_atomic(const std::filesystem::path& path,
                                                    std::string_view data, unsigned mode,
                                                    std::optional<FileOwner> owner) {
    return write_through_temp(path, data, mode, owner, true);
}

std::expected<void, WriteFailure> write_new_file(const std::filesystem::path& path,
                                                 std::string_view data, unsigned mode) {
    return write_through_temp(path, data, mode, std::nullopt, false);
}

std::expected<void, int> write_output_file(const std::filesystem::path& path, std::string_view data,
                                           unsigned mode) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
        if (errno != ENOENT) {
            return std::unexpected(errno);
        }
        return replaced_whole(path, data, mode);
    }
    if (S_ISREG(named.st_mode)) {
        return replaced_whole(path, data, mode);
    }
    if (S_ISLNK(named.st_mode) && planted_in_shared_folder(path, named)) {
        return std::unexpected(EACCES);
    }
    // A link or a device (as /dev/stdout is both). Not blocking, so that a
    // pipe nobody reads fails instead of waiting for ever.
    Descriptor file(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!file.valid() || ::fstat(file.get(), &opened) != 0) {
        return std::unexpected(errno);
    }
    if (S_ISREG(opened.st_mode)) {
        // The file the link leads to is replaced whole; the link stays.
        std::error_code ec;
        auto target =
            std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(file.get()), ec);
        if (ec) {
            return std::unexpected(ec.value());
        }
        file.reset();
        return replaced_whole(target, data, mode);
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        !write_all(file.get(), data)) {
        return std::unexpected(errno);
    }
    return {};
}

Status replace_file(const std::filesystem::path& path, std::string_view data, unsigned mode) {
    auto written = write_file_atomic(path, data, mode);
    if (!written) {
        return fail(system_error_text(written.error().error_number));
    }
    return {};
}

Status append_line(const std::filesystem::path& path, std::string_view line) {
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        return fail("cannot write " + path.string() + ": " + system_error_text(errno));
    }
    // One write call, so that lines appended by other writers never interleave.
    // A last line cut short (a full disk, a power cut) is ended first, so that
    // it does not swallow this one; the lock keeps other writers' lines whole
    // while the end is looked at.
    ::flock(fd, LOCK_EX);
    std::string whole = ends_unfinished(fd) ? "\n" : "";
    whole += line;
    whole += '\n';
    bool written = write_all(fd, whole);
    int error_number = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error_number = errno;
    }
    if (!written) {
        return fail(system_error_text(error_number));
    }
    return {};
}

Status create_folders(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return fail("cannot create " + folder.string() + ": " + error.message());
    }
    return {};
}

}  // namespace bootsmith::util
