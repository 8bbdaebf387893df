// Writing files so that readers see either the old or the new content whole.
#include "foundation/files.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "foundation/temporaries.hpp"

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

std::string joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && !path.ends_with('/')) {
        path += '/';
    }
    return path + std::string(name);
}

// Creates the temporary file beside the target; never opens an existing name.
std::expected<Descriptor, int> open_temp(const Descriptor& folder, std::string& name) {
    for (int attempt = 0; attempt < temp_name_attempts; ++attempt) {
        name = temporary_file_name();
        Descriptor fd(::openat(folder.get(), name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.valid()) {
            return fd;
        }
        if (errno != EEXIST) {
            return std::unexpected(errno);
        }
    }
    return std::unexpected(EEXIST);
}

struct StepFailure {
    WriteFailure::Step step;
    int error_number;
};

// Fills the temporary file, gives it its mode and owner, and closes it.
std::expected<void, StepFailure> fill_temp(Descriptor file, std::string_view data,
                                           const WriteOptions& options) {
    using Step = WriteFailure::Step;
    if (!write_all(file.get(), data)) {
        return std::unexpected(StepFailure{Step::write_temp, errno});
    }
    const auto bits = static_cast<mode_t>(options.mode & 07777);
    if (::fchmod(file.get(), bits) != 0) {
        return std::unexpected(StepFailure{Step::replace, errno});
    }
    // A home that cannot change owners (a FAT stick, some containers) must not
    // stop the write: the file then stays ours, and the user can still delete it.
    // fchown clears set-id bits, so the mode is set again after it.
    if (options.owner && ::fchown(file.get(), options.owner->uid, options.owner->gid) == 0 &&
        ::fchmod(file.get(), bits) != 0) {
        return std::unexpected(StepFailure{Step::replace, errno});
    }
    if (::fsync(file.get()) != 0) {
        return std::unexpected(StepFailure{Step::write_temp, errno});
    }
    if (::close(file.release()) != 0) {
        return std::unexpected(StepFailure{Step::write_temp, errno});
    }
    return {};
}

// Puts the finished temporary file in place of the target; 0 or errno.
int rename_into_place(const Descriptor& folder, const std::string& temp, const std::string& name,
                      Replace replace) {
    if (replace == Replace::allowed) {
        return ::renameat(folder.get(), temp.c_str(), folder.get(), name.c_str()) == 0 ? 0 : errno;
    }
    return rename_without_replacing(folder.get(), temp.c_str(), folder.get(), name.c_str());
}

// Makes the rename itself durable; a failure here changes nothing for readers.
void sync_folder(const Descriptor& folder) {
    Descriptor fd(::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

// Whether the open file's last byte is there and is not a line feed.
bool ends_unfinished(int fd) {
    struct stat info {};
    char last = '\n';
    return ::fstat(fd, &info) == 0 && info.st_size > 0 &&
           ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n';
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

std::expected<void, WriteFailure> write_in_folder(const Descriptor& folder,
                                                  std::string_view shown_folder,
                                                  std::string_view name, std::string_view data,
                                                  const WriteOptions& options) {
    if (options.sweep == Sweep::own_folder) {
        remove_stale_temporaries(folder);
    }
    std::string temp;
    auto file = open_temp(folder, temp);
    if (!file) {
        return std::unexpected(
            WriteFailure{WriteFailure::Step::write_temp, joined(shown_folder, temp), file.error()});
    }
    const std::string target(name);
    auto filled = fill_temp(std::move(*file), data, options);
    const int renamed = filled ? rename_into_place(folder, temp, target, options.replace) : 0;
    if (!filled || renamed != 0) {
        ::unlinkat(folder.get(), temp.c_str(), 0);
        const StepFailure failure =
            filled ? StepFailure{WriteFailure::Step::replace, renamed} : filled.error();
        return std::unexpected(
            WriteFailure{failure.step, joined(shown_folder, temp), failure.error_number});
    }
    sync_folder(folder);
    return {};
}

std::expected<void, WriteFailure> write_file(const std::filesystem::path& path,
                                             std::string_view data, const WriteOptions& options) {
    std::error_code ec;
    // A ".." (as in XDG_DATA_HOME=~/a/../b) is resolved by the name, since
    // the level-by-level walk refuses it.
    const std::filesystem::path whole = std::filesystem::absolute(path, ec).lexically_normal();
    const std::filesystem::path shown_folder = path.parent_path();
    if (ec || !whole.has_filename()) {
        return std::unexpected(WriteFailure{WriteFailure::Step::write_temp,
                                            (shown_folder / temporary_file_name()).string(),
                                            ec ? ec.value() : EISDIR});
    }
    auto folder = open_folder("/", whole.parent_path().string(), WalkRules{});
    if (!folder) {
        return std::unexpected(WriteFailure{WriteFailure::Step::write_temp,
                                            (shown_folder / temporary_file_name()).string(),
                                            folder.error()});
    }
    return write_in_folder(folder->fd, shown_folder.string(), whole.filename().string(), data,
                           options);
}

WriteOptions own_folder_options(unsigned mode, Replace replace) {
    WriteOptions options;
    options.mode = mode;
    options.replace = replace;
    options.sweep = Sweep::own_folder;
    return options;
}

std::expected<void, WriteFailure> write_file_atomic(const std::filesystem::path& path,
                                                    std::string_view data, unsigned mode,
                                                    std::optional<FileOwner> owner) {
    WriteOptions options;
    options.mode = mode;
    options.owner = owner;
    return write_file(path, data, options);
}

std::expected<void, WriteFailure> write_new_file(const std::filesystem::path& path,
                                                 std::string_view data, unsigned mode) {
    WriteOptions options;
    options.mode = mode;
    options.replace = Replace::never;
    return write_file(path, data, options);
}

Status replace_file(const std::filesystem::path& path, std::string_view data,
                    const WriteOptions& options) {
    auto written = write_file(path, data, options);
    if (!written) {
        return fail(system_error_text(written.error().error_number));
    }
    return {};
}

Status replace_file(const std::filesystem::path& path, std::string_view data, unsigned mode) {
    WriteOptions options;
    options.mode = mode;
    return replace_file(path, data, options);
}

Status append_line(const std::filesystem::path& path, std::string_view line) {
    // The folder is reached as every writer reaches its folder, so a link
    // another account planted on the way or in place of the file is not
    // followed.
    std::error_code ec;
    const std::filesystem::path normal = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec || !normal.has_filename()) {
        return fail("cannot write " + path.string() + ": " +
                    system_error_text(ec ? ec.value() : EISDIR));
    }
    auto folder = open_folder("/", normal.parent_path().string(), WalkRules{});
    if (!folder) {
        return fail("cannot write " + path.string() + ": " +
                    opening_error_text(path, folder.error()));
    }
    const int flags =
        O_APPEND | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (folder->guarded ? O_NOFOLLOW : 0);
    const std::string name = normal.filename().string();
    int fd = ::openat(folder->fd.get(), name.c_str(), O_RDWR | flags, 0666);
    if (fd < 0 && errno == EACCES) {
        fd = ::openat(folder->fd.get(), name.c_str(), O_WRONLY | flags, 0666);
    }
    if (fd < 0) {
        // The kernel may answer such a link with EACCES rather than ELOOP.
        const int error_number = errno;
        struct stat named {};
        const bool link =
            folder->guarded &&
            ::fstatat(folder->fd.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(named.st_mode);
        return fail("cannot write " + path.string() + ": " +
                    (link ? refused_link_text() : system_error_text(error_number)));
    }
    // A pipe in place of the history would make the write wait for ever.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISFIFO(info.st_mode)) {
        ::close(fd);
        return fail("cannot write " + path.string() + ": it is not a regular file");
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
