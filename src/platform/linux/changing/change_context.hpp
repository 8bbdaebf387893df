#pragma once

#include <string>
#include <vector>

#include "foundation/process.hpp"
#include "platform/linux/os/safe_files.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// What every change shares; built at the start of each operation and never
/// copied (its file access refers to its own user record).
struct ChangeContext {
    ChangeContext(const LinuxOptions& options_in, const platform::SystemInfo& info_in)
        : options(options_in),
          info(info_in),
          user(user_context(options_in, info_in)),
          files(options_in.roots, user) {}
    ChangeContext(const ChangeContext&) = delete;
    ChangeContext& operator=(const ChangeContext&) = delete;

    const LinuxOptions& options;
    const platform::SystemInfo& info;
    const UserContext user;
    const SafeFiles files;
};

enum class UnitKind { system, user };

/// The unit kind of an item of kind "systemd" or "systemd-user".
[[nodiscard]] UnitKind unit_kind_of(const model::Item& item);

/// Runs `systemctl <args>`: directly for a system unit (the change time limit),
/// or with "--user" first as the user for a user unit.
[[nodiscard]] util::RunResult run_systemctl(const ChangeContext& context, UnitKind kind,
                                            std::vector<std::string> args);

/// The standard output and standard error of a call, each trimmed, joined by a space.
[[nodiscard]] std::string call_output(const util::RunResult& run);

/// The user's folder of systemd user units: home + "/.config/systemd/user".
[[nodiscard]] std::string user_unit_folder(const UserContext& user);

/// The first target that a unit file's WantedBy= names; "default.target" when none.
[[nodiscard]] std::string wanted_by_target(std::string_view unit_text);

/// The link that switches a user unit on: <user unit folder>/<target>.wants/<unit>.
[[nodiscard]] std::string wants_link(const UserContext& user, std::string_view target,
                                     std::string_view unit);

}  // namespace bootsmith::linux_backend
