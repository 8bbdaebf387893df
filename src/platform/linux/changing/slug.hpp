#pragma once

#include <string>
#include <string_view>

#include "platform/linux/os/safe_files.hpp"
#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// ASCII letters (made small) and digits kept, every other run made one "-",
/// none at the ends; "item" when nothing is left; at most 48 bytes.
[[nodiscard]] std::string slug_of(std::string_view name);

/// The first "bootsmith-<slug>[-2..-99]<extension>" that does not exist in the
/// folder; after that the slug, "-" and the time in seconds since 1970.
[[nodiscard]] std::string free_file_name(const SafeFiles& files, std::string_view folder,
                                         std::string_view slug, std::string_view extension);

/// Whether the file is one of ours in `folder`: its name starts with
/// "bootsmith-", its folder is exactly `folder` (component by component), and,
/// when it is a link, what it points to passes the same check.
[[nodiscard]] bool in_own_place(const Roots& roots, std::string_view path, std::string_view folder);

}  // namespace bootsmith::linux_backend
