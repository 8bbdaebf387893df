#include "foundation/file_bytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"

namespace bootsmith::util {

Result<std::string> read_file_bytes(const std::filesystem::path& path, std::size_t limit) {
    // O_NONBLOCK: opening a pipe planted where a file was expected must not wait
    // for a writer that never comes.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        return fail(system_error_text(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return fail(system_error_text(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return fail(system_error_text(EISDIR));
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(not_regular_text);
    }
    auto bytes = read_all(file.get(), limit);
    if (!bytes) {
        return fail(system_error_text(bytes.error()));
    }
    return std::move(*bytes);
}

}  // namespace bootsmith::util
