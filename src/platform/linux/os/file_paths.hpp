#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/paths.hpp"

namespace bootsmith::linux_backend {

/// A file operation that failed: what was being done ("write /etc/x",
/// "remove the override") and the errno value.
struct FileError {
    std::string action;
    int error_number = 0;
};

template <typename T>
using FileResult = std::expected<T, FileError>;

/// "ADMIN: Permission was refused to <action>." when the system refused
/// permission (EACCES, EPERM), else "Could not <action>: <system error text>".
[[nodiscard]] std::string describe(const FileError& error);

// Comparing paths by their components is shared with foundation's writer.
using util::is_inside;
using util::parent_of;
using util::path_components;

}  // namespace bootsmith::linux_backend
