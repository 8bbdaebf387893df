#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// One running process as /proc shows it.
struct ProcessInfo {
    std::uint32_t pid = 0;
    std::vector<std::string> argv;
    std::string exe;               ///< the program file (" (deleted)" removed)
    std::string cwd;               ///< "" when it cannot be read
    unsigned uid = 0;              ///< the real user id
    std::string unit;              ///< the systemd service it belongs to, or ""
    bool in_user_manager = false;  ///< runs under a user's own systemd instance
};

/// The unit and user-manager flag of a /proc/<pid>/cgroup text ("0::" line).
void read_cgroup(std::string_view text, ProcessInfo& process);

/// The processes whose program can be seen, in process-id order. Kernel threads
/// and other accounts' processes that cannot be inspected are left out.
[[nodiscard]] std::vector<ProcessInfo> read_processes(const Roots& roots);

/// The program file of this very process (links resolved).
[[nodiscard]] std::string own_executable(const Roots& roots);

}  // namespace bootsmith::linux_backend
