#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bootsmith::linux_backend {

// Pure text rules for the files that decide what else starts a unit. None
// fails: bad input gives an empty or "not found" answer.

/// The [Install] keys of a unit file that `systemctl enable` and `disable` act on.
struct InstallSection {
    std::vector<std::string> also;   ///< units enabled and disabled together with it
    std::vector<std::string> alias;  ///< other names its enable links create
};

/// The [Install] section of a unit file's text. Values are white-space
/// separated and add up over repeated lines; an empty value clears the list,
/// as systemd reads them.
[[nodiscard]] InstallSection parse_install_section(std::string_view text);

/// One D-Bus service file: the bus name it activates and how.
struct BusService {
    std::string name;             ///< Name=, the bus name
    std::string systemd_service;  ///< SystemdService=, the unit D-Bus asks systemd to start
    std::string exec;             ///< Exec=, run directly when there is no unit
};

/// The [D-BUS Service] group of a service file's bytes; nothing when the
/// bytes are not UTF-8 (the bus itself rejects such a file), the group is
/// missing or it names no bus name.
[[nodiscard]] std::optional<BusService> parse_bus_service(std::string_view bytes);

}  // namespace bootsmith::linux_backend
