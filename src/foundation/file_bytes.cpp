#include "foundation/file_bytes.hpp"

#include <fcntl.h>

#include <cerrno>

#include "foundation/descriptor.hpp"
#include "foundation/files.hpp"

namespace bootsmith::util {

Result<std::string> read_file_bytes(const std::filesystem::path& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return fail(system_error_text(errno));
    }
    auto bytes = read_all(file.get());
    if (!bytes) {
        return fail(system_error_text(bytes.error()));
    }
    return std::move(*bytes);
}

}  // namespace bootsmith::util
