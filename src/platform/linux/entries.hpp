#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/change_context.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Creates a start-up entry by the request's method ("login", "user-service",
/// "boot", "cron"), tagged as this program's own; returns it as a later scan
/// shows it (the same id).
[[nodiscard]] Result<model::Item> create_entry(const ChangeContext& context,
                                               const model::CreateRequest& request);

/// Deletes an entry this program created, from the places where it creates
/// them; refuses every other.
[[nodiscard]] Result<platform::ChangeOutcome> remove_entry(const ChangeContext& context,
                                                           const model::Item& item);

[[nodiscard]] Result<model::Item> create_unit(const ChangeContext& context,
                                              const model::CreateRequest& request,
                                              std::vector<std::string> words);

// ---- Names ----

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

// ---- File texts ----

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
