#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.hpp"
#include "foundation/text.hpp"

namespace bootsmith::linux_backend {

// Pure text functions shared by the scan, the switches and the creation of
// entries. None fails: bad input gives an empty or "not found" answer. Only the
// PATH lookups look at the file system.

// ---- Command lines ----

/// The words of a command line as a POSIX shell splits them.
[[nodiscard]] std::vector<std::string> shell_words(std::string_view line);

/// One word quoted for a shell: unchanged when it is made only of letters,
/// digits and "/._-=:,+@%", else in single quotes.
[[nodiscard]] std::string quote_word(std::string_view word);
/// Every word quoted, joined with one space.
[[nodiscard]] std::string quote_command(const std::vector<std::string>& words);

/// Fails with "The <what> contains a line break or control character, which is
/// not allowed." when the text holds a character below 32 other than the tab, or 127.
[[nodiscard]] Status check_one_line(std::string_view text, std::string_view what);

/// The first folder of `path_list` (colon-separated) holding `word`, joined
/// with it; nothing for an empty word, a word with "/" or no hit.
[[nodiscard]] std::optional<std::string> find_in_path_list(std::string_view word,
                                                           std::string_view path_list);
/// find_in_path_list with the PATH of this process.
[[nodiscard]] std::optional<std::string> find_on_path(std::string_view word);
/// Whether the program word exists in a folder of PATH.
[[nodiscard]] bool on_path(std::string_view word);

/// The index of the program word of a command: after a leading `env` and its
/// settings and options; words.size() when there is none.
[[nodiscard]] std::size_t program_word_index(const std::vector<std::string>& words);
/// The program file a command starts: the program word as written when it holds
/// "/", else its PATH hit, else the bare word ("" without one).
[[nodiscard]] std::string program_of(const std::vector<std::string>& words);

/// Whether a file name names an interpreter ("python3", "python3.12", "lua5.4").
[[nodiscard]] bool is_interpreter(std::string_view file_name);

/// The index of the script an interpreter command runs: the first word after
/// the interpreter word that does not start with "-"; nothing when the program
/// word is not an interpreter or no such word follows.
[[nodiscard]] std::optional<std::size_t> script_word_index(const std::vector<std::string>& words);

/// What tells two commands apart: the program file, or for an interpreter the
/// program file, "|" and the script's file name ("/usr/bin/python3.12|server.py").
[[nodiscard]] std::string program_identity(std::string_view program,
                                           const std::vector<std::string>& words);

// ---- Desktop entries ----

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

// ---- crontab ----

/// The marker put in front of a crontab line that is switched off.
inline constexpr std::string_view cron_off_marker = "#bootsmith-off# ";
/// What follows the command of a cron line this program created.
inline constexpr std::string_view cron_tag = " # bootsmith:";

struct CronEntry {
    bool enabled = true;
    std::string command;  ///< everything after "@reboot", trimmed
};

/// An "@reboot" line, possibly switched off with the marker; nothing for any other line.
[[nodiscard]] std::optional<CronEntry> parse_cron_line(std::string_view line);

/// The parts of a cron entry's command.
struct CronCommand {
    std::string runs_as;  ///< the account field of a computer-wide line
    std::string command;  ///< without account and tag
    std::string tag;      ///< from " # bootsmith:" on, or ""
};

enum class CronSource { user_crontab, system_file };

/// Splits the account field (system files only) and this program's tag off a command.
[[nodiscard]] CronCommand split_cron_command(std::string_view command, CronSource source);

// ---- systemctl ----

struct UnitFileRow {
    std::string unit;
    std::string state;
};

struct UnitRow {
    std::string unit;
    std::string load;
    std::string active;
    std::string sub;
    std::string description;
};

/// The fields of a line separated by runs of white space, nothing unquoted or
/// unescaped (unit names keep systemd's own "\\x2d" escapes).
[[nodiscard]] std::vector<std::string> white_space_fields(std::string_view line);

/// One block of `systemctl show`: property name to value.
using ShowRecord = std::map<std::string, std::string>;

/// The value of a property, or "".
[[nodiscard]] std::string show_value(const ShowRecord& record, const std::string& key);

/// Rows of `systemctl list-unit-files --no-legend --plain`.
[[nodiscard]] std::vector<UnitFileRow> parse_unit_files(std::string_view text);
/// Rows of `systemctl list-units --all --no-legend --plain`, by unit name.
[[nodiscard]] std::map<std::string, UnitRow> parse_units(std::string_view text);
/// The blocks of `systemctl show`, in order.
[[nodiscard]] std::vector<ShowRecord> parse_show(std::string_view text);

struct ExecStart {
    std::string path;     ///< the program ("path=")
    std::string command;  ///< the command line ("argv[]=")
};

/// The program and command of an ExecStart value as `systemctl show` prints it.
[[nodiscard]] ExecStart parse_exec_start(std::string_view value);

/// A record with Id, FragmentPath, Description and ExecStart built from
/// `systemctl cat` output, for template units that `show` cannot describe.
[[nodiscard]] ShowRecord parse_unit_cat(std::string_view text, std::string_view unit);

/// The unit type: the part after the last ".", "service" when there is none.
[[nodiscard]] std::string unit_type(std::string_view unit);
/// Whether the unit is a template ("getty@.service").
[[nodiscard]] bool is_template_unit(std::string_view unit);

}  // namespace bootsmith::linux_backend
