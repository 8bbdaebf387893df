#pragma once

#include <string>
#include <vector>

#include "platform/linux/roots.hpp"

namespace bootsmith::linux_backend {

/// One installed desktop application.
struct AppEntry {
    std::string name;
    std::string exe;
    std::vector<std::string> words;  ///< the command words, field codes removed
    std::string comment;
    std::string file;       ///< the desktop file's path
    std::string file_name;  ///< its last component
    bool no_display = false;
};

/// The applications of the configured folders ("~" is the home folder), in
/// folder order and by file name within a folder. Entries that are not of type
/// Application, are hidden or start nothing are left out.
[[nodiscard]] std::vector<AppEntry> read_apps(const Roots& roots,
                                              const std::vector<std::string>& folders,
                                              const std::string& home);

}  // namespace bootsmith::linux_backend
