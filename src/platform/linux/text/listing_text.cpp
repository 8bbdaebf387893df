// crontab lines and the listings that systemctl prints.
#include "platform/linux/text/listing_text.hpp"

#include "foundation/text.hpp"
#include "platform/linux/text/lines.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view off_marker_word = "#bootsmith-off#";
constexpr std::string_view reboot_word = "@reboot";
// The field systemctl prints after an ExecStart's argv[].
constexpr std::string_view argv_end = " ; ignore_errors=";

std::string_view trim_start(std::string_view text) {
    std::size_t length = 0;
    while (util::starts_with_space(text, length)) {
        text.remove_prefix(length);
    }
    return text;
}

// Fields separated by runs of white space (systemctl pads with spaces).
std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t length = 0;
        if (util::starts_with_space(line.substr(pos), length)) {
            pos += length;
            continue;
        }
        std::size_t start = pos;
        while (pos < line.size() && !util::starts_with_space(line.substr(pos), length)) {
            pos += util::read_utf8_char(line, pos).length;
        }
        fields.push_back(line.substr(start, pos - start));
    }
    return fields;
}

// The status glyphs systemctl puts before a unit ("●", "*", "×") and spaces.
std::string_view skip_status_marks(std::string_view line) {
    while (true) {
        if (line.starts_with(" ") || line.starts_with("*")) {
            line.remove_prefix(1);
        } else if (line.starts_with("\u25cf") || line.starts_with("\u00d7")) {
            line.remove_prefix(line.starts_with("\u25cf") ? 3 : 2);
        } else {
            return line;
        }
    }
}

std::string first_word(std::string_view text) {
    auto fields = fields_of(text);
    return fields.empty() ? std::string() : std::string(fields.front());
}

}  // namespace

std::optional<CronEntry> parse_cron_line(std::string_view line) {
    std::string_view text = util::trim(line);
    CronEntry entry;
    if (text.starts_with(off_marker_word)) {
        text = trim_start(text.substr(off_marker_word.size()));
        entry.enabled = false;
    } else if (text.starts_with('#')) {
        return std::nullopt;
    }
    if (!text.starts_with(reboot_word)) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(reboot_word.size());
    std::size_t space = 0;
    // "@rebootx" is not the @reboot keyword; cron would reject it as well.
    if (!rest.empty() && !util::starts_with_space(rest, space)) {
        return std::nullopt;
    }
    rest = util::trim(rest);
    if (rest.empty()) {
        return std::nullopt;
    }
    entry.command = std::string(rest);
    return entry;
}

CronCommand split_cron_command(std::string_view command, CronSource source) {
    CronCommand parts;
    std::string_view rest = util::trim(command);
    if (source == CronSource::system_file) {
        parts.runs_as = first_word(rest);
        rest = trim_start(rest.substr(rest.find(parts.runs_as) + parts.runs_as.size()));
    }
    // The tag ends the line; the command before it may hold the same text.
    std::size_t tag = rest.rfind(cron_tag);
    if (tag != std::string_view::npos) {
        parts.tag = std::string(rest.substr(tag));
        rest = rest.substr(0, tag);
    }
    parts.command = std::string(rest);
    return parts;
}

std::vector<std::string> white_space_fields(std::string_view line) {
    std::vector<std::string> fields;
    for (std::string_view field : fields_of(line)) {
        fields.emplace_back(field);
    }
    return fields;
}

std::string show_value(const ShowRecord& record, const std::string& key) {
    auto found = record.find(key);
    return found == record.end() ? std::string() : found->second;
}

std::vector<UnitFileRow> parse_unit_files(std::string_view text) {
    std::vector<UnitFileRow> rows;
    for_each_line(text, [&rows](std::string_view line) {
        auto fields = fields_of(line);
        if (fields.size() < 2 || fields[0].find('.') == std::string_view::npos) {
            return;
        }
        rows.push_back({std::string(fields[0]), std::string(fields[1])});
    });
    return rows;
}

std::map<std::string, UnitRow> parse_units(std::string_view text) {
    std::map<std::string, UnitRow> rows;
    for_each_line(text, [&rows](std::string_view line) {
        auto fields = fields_of(skip_status_marks(line));
        if (fields.size() < 4 || fields[0].find('.') == std::string_view::npos) {
            return;
        }
        UnitRow row{std::string(fields[0]),
                    std::string(fields[1]),
                    std::string(fields[2]),
                    std::string(fields[3]),
                    {}};
        for (std::size_t i = 4; i < fields.size(); ++i) {
            row.description += (i > 4 ? " " : "") + std::string(fields[i]);
        }
        rows.emplace(row.unit, std::move(row));
    });
    return rows;
}

std::vector<ShowRecord> parse_show(std::string_view text) {
    std::vector<ShowRecord> records;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("\n\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view block = text.substr(start, end - start);
        start = end + 2;
        if (util::trim(block).empty()) {
            continue;
        }
        ShowRecord record;
        for_each_line(block, [&record](std::string_view line) {
            std::size_t equals = line.find('=');
            if (equals != std::string_view::npos) {
                record[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
            }
        });
        if (!record.empty()) {
            records.push_back(std::move(record));
        }
    }
    return records;
}

ExecStart parse_exec_start(std::string_view value) {
    ExecStart exec;
    std::size_t open = value.find('{');
    std::size_t close = value.rfind('}');
    if (open == std::string_view::npos || close == std::string_view::npos || close <= open) {
        return exec;
    }
    std::string_view inner = value.substr(open + 1, close - open - 1);
    bool have_command = false;
    bool have_path = false;
    while (true) {
        std::size_t separator = inner.find(" ; ");
        std::string_view part = util::trim(inner.substr(0, separator));
        if (!have_command && part.starts_with("argv[]=")) {
            // systemctl joins the words unquoted, so the command may itself hold
            // " ; " (sh -c "a ; b"); it runs up to the field that follows it.
            separator = inner.rfind(argv_end);
            part = util::trim(inner.substr(0, separator));
            exec.command = std::string(part.substr(7));
            have_command = true;
        } else if (!have_path && part.starts_with("path=")) {
            exec.path = std::string(part.substr(5));
            have_path = true;
        }
        if (separator == std::string_view::npos) {
            return exec;
        }
        inner.remove_prefix(separator + 3);
    }
}

ShowRecord parse_unit_cat(std::string_view text, std::string_view unit) {
    std::string fragment;
    std::string description;
    std::string command;
    bool have_fragment = false;
    bool have_description = false;
    bool have_command = false;
    for_each_line(text, [&](std::string_view raw) {
        std::string_view line = util::trim(raw);
        if (!have_fragment && line.starts_with("# /")) {
            fragment = std::string(line.substr(2));
            have_fragment = true;
        } else if (!have_description && line.starts_with("Description=")) {
            description = std::string(line.substr(12));
            have_description = true;
        } else if (!have_command && line.starts_with("ExecStart=")) {
            std::string_view value = line.substr(10);
            value.remove_prefix(std::min(value.find_first_not_of("-@+!:"), value.size()));
            command = std::string(value);
            have_command = true;
        }
    });
    ShowRecord record;
    record["Id"] = std::string(unit);
    record["FragmentPath"] = fragment;
    record["Description"] = description;
    if (have_command) {
        record["ExecStart"] =
            "{ path=" + first_word(command) + " ; argv[]=" + command + " ; ignore_errors=no }";
    }
    return record;
}

std::string unit_type(std::string_view unit) {
    std::size_t dot = unit.rfind('.');
    if (dot == std::string_view::npos) {
        return "service";
    }
    return std::string(unit.substr(dot + 1));
}

bool is_template_unit(std::string_view unit) {
    std::size_t dot = unit.rfind('.');
    std::string_view stem = dot == std::string_view::npos ? unit : unit.substr(0, dot);
    return stem.ends_with('@');
}

}  // namespace bootsmith::linux_backend
