#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/item.hpp"
#include "platform/linux/os/system.hpp"

namespace bootsmith::linux_backend {

/// The folder where "login" entries go: home + "/.config/autostart".
[[nodiscard]] std::string user_autostart_folder(const UserContext& user);

/// The desktop entry of a "login" request.
[[nodiscard]] std::string desktop_file_text(const model::CreateRequest& request,
                                            const std::vector<std::string>& words);

/// An ExecStart= value that systemd splits back into exactly these words.
[[nodiscard]] std::string exec_start_value(const std::vector<std::string>& words);

/// systemd expands "%" specifiers in most settings; "%%" stands for "%".
[[nodiscard]] std::string escape_specifiers(std::string_view text);

/// The cron command of a request: bare "%" escaped, and "cd 'DIR' && " in
/// front when there is a working folder.
[[nodiscard]] std::string cron_command_text(std::string_view command, std::string_view workdir);

}  // namespace bootsmith::linux_backend
