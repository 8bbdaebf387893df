#pragma once

// Fake /proc entries for a LinuxTree.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/linux_tree.hpp"

namespace bootsmith::testing {

inline constexpr const char* session_cgroup = "0::/user.slice/user-1000.slice/session-2.scope";

/// A process: `exe` is the link target ("" for a link that cannot be read).
inline void add_process(const LinuxTree& tree, std::uint32_t pid,
                        const std::vector<std::string>& argv, const std::string& exe,
                        unsigned uid = 1000, const std::string& cgroup = session_cgroup,
                        const std::string& cwd = "") {
    const std::string base = "/proc/" + std::to_string(pid);
    std::string cmdline;
    for (const auto& arg : argv) {
        cmdline += arg;
        cmdline += '\0';
    }
    tree.write(base + "/cmdline", cmdline);
    if (!exe.empty()) {
        tree.link(base + "/exe", exe);
    }
    if (!cwd.empty()) {
        tree.link(base + "/cwd", cwd);
    }
    const std::string real_uid = std::to_string(uid);
    tree.write(base + "/status", "Name:\tx\nUid:\t" + real_uid + "\t0\t0\t0\nGid:\t0\t0\t0\t0\n");
    tree.write(base + "/cgroup", cgroup + "\n");
}

}  // namespace bootsmith::testing
