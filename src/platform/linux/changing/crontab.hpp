#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/descriptor.hpp"
#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

/// Held while a crontab text is read, changed and written back, so that two
/// runs at once cannot install each other's old copy: an exclusive lock on the
/// folder the text belongs to (the user's home for their crontab), or nothing
/// held when that folder cannot be opened. Fails when another holder keeps it
/// for 30 seconds.
[[nodiscard]] Result<util::Descriptor> lock_for_editing(const ChangeContext& context,
                                                        const std::string& folder);

/// The user's crontab through `crontab -l` ("" when they have none).
[[nodiscard]] Result<std::string> read_user_crontab(const ChangeContext& context);

/// Installs the text as the user's crontab: written whole to a private
/// temporary file first, whose name is then given to `crontab` (with
/// `-u USER` when acting for the user), so that a run cut short can never
/// leave a crontab that ends where the input stopped.
[[nodiscard]] Status write_user_crontab(const ChangeContext& context, const std::string& text);

/// The lines of a text; a final line feed ends the last line rather than
/// starting an empty one, so join_lines gives the text back unchanged.
[[nodiscard]] std::vector<std::string> text_lines(std::string_view text);
/// Every line followed by a line feed (cron needs one after the last line too).
[[nodiscard]] std::string join_lines(const std::vector<std::string>& lines);

/// An @reboot line as the scan sees it.
struct CronLine {
    bool enabled = true;
    std::string command;  ///< without off-marker, account field and tag
    bool tagged = false;  ///< carries this program's " # bootsmith:" tag
};

/// The @reboot entry of a line; nothing for any other line.
[[nodiscard]] std::optional<CronLine> read_cron_line(std::string_view line, CronSource source);

/// Which of several lines with the same command an item is: its `twin` extra
/// (1, 2, ... set by the scan when a file holds the command more than once),
/// or 0 for a command the scan found once.
[[nodiscard]] int twin_number(const model::Item& item);

/// The place of the `twin`-th @reboot line (counting from 1) whose command is
/// `command`; nothing when there are fewer such lines.
[[nodiscard]] std::optional<std::size_t> nth_cron_line(const std::vector<std::string>& lines,
                                                       CronSource source, std::string_view command,
                                                       int twin);

/// The line switched off: the marker in front, the line itself kept whole.
[[nodiscard]] std::string switched_off(std::string_view line);
/// The line switched on: the marker and the white space after it removed.
[[nodiscard]] std::string switched_on(std::string_view line);

}  // namespace bootsmith::linux_backend
