#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

// Pure text rules for desktop entries. None fails: bad input gives an empty
// or "not found" answer.

enum class Tristate { unset, no, yes };

struct DesktopEntry {
    std::string name;
    std::string exec;
    std::string comment;
    std::string only_show_in;
    std::string path;  ///< the working folder (`Path`)
    std::string file_name;
    bool hidden = false;
    bool no_display = false;
    Tristate autostart_enabled = Tristate::unset;  ///< X-GNOME-Autostart-enabled
    util::Pairs pairs;                             ///< the whole [Desktop Entry] group

    /// The value of the first pair with the key, or "".
    [[nodiscard]] std::string value(std::string_view key) const;
};

/// The entry of a desktop file's text; nothing when its group has no keys.
[[nodiscard]] std::optional<DesktopEntry> parse_desktop_entry(std::string_view text,
                                                              std::string file_name);

/// The words an Exec value starts, field codes (%f, %U, ...) dropped and "%%" made "%".
[[nodiscard]] std::vector<std::string> desktop_command_words(std::string_view exec);

/// An Exec value that desktop_command_words reads back as the same words.
[[nodiscard]] std::string exec_value(const std::vector<std::string>& words);

/// The desktop text with `key=value` set in its [Desktop Entry] group (replacing
/// the first such line, or added at the group's end, or with a new group in front).
[[nodiscard]] std::string set_desktop_key(std::string_view text, std::string_view key,
                                          std::string_view value);

}  // namespace bootsmith::linux_backend
