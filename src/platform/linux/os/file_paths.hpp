#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

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

/// The components of a path: no empty ones and no ".".
[[nodiscard]] std::vector<std::string_view> path_components(std::string_view path);
/// Whether `path` is `folder` or lies below it, comparing whole components.
[[nodiscard]] bool is_inside(std::string_view path, std::string_view folder);
/// The folder part of a path ("/a/b" for "/a/b/c"), "" when it has none.
[[nodiscard]] std::string parent_of(std::string_view path);

}  // namespace bootsmith::linux_backend
