#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/process.hpp"
#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// One account of the computer.
struct Account {
    std::string name;
    std::string home;
    unsigned uid = 0;
    unsigned gid = 0;
};

/// The account of an /etc/passwd line; nothing for a malformed one.
[[nodiscard]] std::optional<Account> parse_passwd_line(std::string_view line);

/// The account with this name: /etc/passwd first, then `getent passwd`.
[[nodiscard]] std::optional<Account> account_by_name(const LinuxOptions& options,
                                                     std::string_view name);
/// The account with this user id: /etc/passwd first, then `getent passwd`.
[[nodiscard]] std::optional<Account> account_by_uid(const LinuxOptions& options, unsigned uid);

/// The effective user id from /proc/self/status; 1000 when it cannot be read,
/// so that an unreadable file never makes the program believe it is root.
[[nodiscard]] unsigned own_effective_uid(const Roots& roots);

/// The account the program acts for (the invoking user under sudo or pkexec).
[[nodiscard]] std::string acting_account(const LinuxOptions& options, unsigned euid);

/// The system record of this computer, filled once at start.
[[nodiscard]] platform::SystemInfo linux_system_info(const LinuxOptions& options);

/// Whose things are read and changed, built at the start of each operation.
struct UserContext {
    std::string user;
    std::string home;
    unsigned uid = 0;
    unsigned gid = 0;
    bool via_root = false;  ///< root acting for an ordinary account
};

[[nodiscard]] UserContext user_context(const LinuxOptions& options,
                                       const platform::SystemInfo& info);

/// Runs `systemctl <args>` (args start with "--user") as the context's user:
/// directly, or through `runuser` with the user's session variables when root
/// acts for the user.
[[nodiscard]] util::RunResult run_user_systemctl(const UserContext& context,
                                                 const std::vector<std::string>& args,
                                                 int limit_seconds);

/// Whether "/run/systemd/system" exists.
[[nodiscard]] bool systemd_present(const Roots& roots);

/// A configured folder with "~" made the home folder; `belongs_to_user` is set
/// for those that started with "~/".
struct ExpandedFolder {
    std::string path;
    bool belongs_to_user = false;
};
[[nodiscard]] ExpandedFolder expand_home(std::string_view folder, std::string_view home);

}  // namespace bootsmith::linux_backend
