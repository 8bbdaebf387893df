// Failure sentences of file operations.
#include <cerrno>

#include "foundation/files.hpp"
#include "platform/linux/os/file_paths.hpp"

namespace bootsmith::linux_backend {

std::string describe(const FileError& error) {
    if (error.error_number == EACCES || error.error_number == EPERM) {
        return "ADMIN: Permission was refused to " + error.action + ".";
    }
    return "Could not " + error.action + ": " + util::system_error_text(error.error_number);
}

}  // namespace bootsmith::linux_backend
