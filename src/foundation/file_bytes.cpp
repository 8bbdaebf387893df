#include "foundation/file_bytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"
#include "foundation/folder_walk.hpp"

namespace bootsmith::util {

namespace {

// Opens the file for reading the way open_folder walks: a link in a folder
// another account can change is not followed, so root running for a user
// never reads a file that user merely points it at.
std::expected<Descriptor, std::string> open_for_reading(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) {
        return std::unexpected(system_error_text(ec.value()));
    }
    if (!whole.has_filename()) {
        return std::unexpected(system_error_text(EISDIR));
    }
    auto folder = open_folder("/", whole.parent_path().string(), WalkRules{});
    if (!folder) {
        return std::unexpected(opening_error_text(whole.parent_path(), folder.error()));
    }
    // O_NONBLOCK: opening a pipe planted where a file was expected must not wait
    // for a writer that never comes.
    const int flags =
        O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (folder->guarded ? O_NOFOLLOW : 0);
    Descriptor file(::openat(folder->fd.get(), whole.filename().c_str(), flags));
    if (!file.valid()) {
        const int error_number = errno;
        return std::unexpected(folder->guarded && error_number == ELOOP
                                   ? refused_link_text()
                                   : system_error_text(error_number));
    }
    return file;
}

}  // namespace

Result<std::string> read_file_bytes(const std::filesystem::path& path, std::size_t limit) {
    auto file = open_for_reading(path);
    if (!file) {
        return fail(file.error());
    }
    struct stat info {};
    if (::fstat(file->get(), &info) != 0) {
        return fail(system_error_text(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return fail(system_error_text(EISDIR));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(not_regular_text);
    }
    auto bytes = read_all(file->get(), limit);
    if (!bytes) {
        return fail(system_error_text(bytes.error()));
    }
    return std::move(*bytes);
}

}  // namespace bootsmith::util
