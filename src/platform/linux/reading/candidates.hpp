#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// The identities (program_identity of the canonical program file and the
/// command words) of every item that names a program: what already starts.
[[nodiscard]] std::set<std::string> starting_identities(const Roots& roots,
                                                        const std::vector<model::Item>& items);

/// Installed desktop applications that do not start with the computer yet.
[[nodiscard]] platform::CandidateList installed_apps(const LinuxOptions& options,
                                                     const platform::SystemInfo& info,
                                                     const std::vector<model::Item>& items);

}  // namespace bootsmith::linux_backend
