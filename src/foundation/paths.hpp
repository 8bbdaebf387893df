#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bootsmith::util {

/// The components of a path: no empty ones and no ".".
[[nodiscard]] std::vector<std::string_view> path_components(std::string_view path);
/// Whether `path` is `folder` or lies below it, comparing whole components.
[[nodiscard]] bool is_inside(std::string_view path, std::string_view folder);
/// The folder part of an absolute path ("/a/b" for "/a/b/c"), "" when it has none.
[[nodiscard]] std::string parent_of(std::string_view path);

}  // namespace bootsmith::util
