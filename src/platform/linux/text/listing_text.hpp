#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bootsmith::linux_backend {

// Pure text rules for crontab lines and systemctl listings. None fails: bad
// input gives an empty or "not found" answer.

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
