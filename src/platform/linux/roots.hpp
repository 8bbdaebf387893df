#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/text.hpp"
#include "knowledge/pack.hpp"

namespace bootsmith::linux_backend {

/// Where the system's files are found. Production uses "/"; tests point the
/// prefix at a temporary tree holding etc/, proc/, run/, home/ and so on.
///
/// Every path the back end shows or hands on (item locations, the `file`
/// extra, unit file paths) is a path as the system itself knows it, without
/// the prefix; `at` turns such a path into the one to open.
struct Roots {
    std::filesystem::path prefix = "/";

    /// The file to open for a path as the system knows it ("/etc/passwd").
    [[nodiscard]] std::filesystem::path at(std::string_view system_path) const;
    /// The path as the system knows it for a file found under the prefix; a
    /// path outside the prefix is returned unchanged.
    [[nodiscard]] std::string shown(const std::filesystem::path& real) const;
    /// The system path with links resolved (inside the prefix), or the path as
    /// given when that fails.
    [[nodiscard]] std::string canonical(std::string_view system_path) const;
};

/// The environment variables the back end reads, taken once at start.
struct Environment {
    std::string user;
    std::string logname;
    std::string home;
    std::string sudo_user;
    std::string pkexec_uid;
    /// XDG_DATA_HOME: where the user's own session bus services live when
    /// set (only the user's own value counts, never root's under sudo).
    std::string data_home;
    /// The desktop-session variables handed on to programs started for the
    /// user (DISPLAY, XAUTHORITY, WAYLAND_DISPLAY, XDG_RUNTIME_DIR,
    /// DBUS_SESSION_BUS_ADDRESS): those set and not empty, in this order.
    util::Pairs session;

    /// The value of a session variable, or "".
    [[nodiscard]] std::string session_value(std::string_view name) const;

    [[nodiscard]] static Environment from_process();
};

/// Time limits of the external programs, in seconds.
struct TimeLimits {
    int systemctl_system = 40;
    int systemctl_user = 30;
    int systemctl_change = 60;  ///< enable, disable and daemon-reload of system units
    int systemctl_check = 30;   ///< the doctor's listings
    int systemctl_version = 10;
    int package_query = 30;  ///< dpkg-query and rpm
    int pacman = 10;
    int crontab = 10;
    int getent = 5;

    /// Every limit set to `seconds` (tests use 1).
    [[nodiscard]] static TimeLimits all(int seconds);
};

/// Everything a LinuxPlatform is built from.
struct LinuxOptions {
    Roots roots;
    Environment env;
    TimeLimits limits;
    /// The start-up locations to use instead of the knowledge store's (tests).
    std::optional<knowledge::KnowledgeLocations> locations;

    /// The real computer: roots at "/", the process's environment, the normal limits.
    [[nodiscard]] static LinuxOptions from_process();
};

/// The pack's locations: the override when set, else the current knowledge store's.
[[nodiscard]] knowledge::KnowledgeLocations linux_locations(const LinuxOptions& options);

}  // namespace bootsmith::linux_backend
