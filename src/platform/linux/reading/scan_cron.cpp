// cron @reboot lines and /etc/rc.local.
#include <sys/stat.h>

#include <array>
#include <map>

#include "foundation/process.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_cron.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/lines.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view rc_local = "/etc/rc.local";

struct CronFile {
    CronSource source;
    std::string location;
};

model::Item cron_item(const CronFile& file, const CronEntry& entry, const CronCommand& parts,
                      bool admin) {
    const bool user = file.source == CronSource::user_crontab;
    model::Item item("cron", "cron @reboot", user ? "user" : "machine", file.location,
                     "@reboot " + util::shorten(parts.command, 48));
    item.command = parts.command;
    item.exe = program_of(shell_words(parts.command));
    item.enabled = entry.enabled;
    item.state_text = entry.enabled ? "Enabled (runs at boot)" : "Disabled";
    if (!user && !admin) {
        item.toggle = "admin";
    }
    if (!parts.tag.empty()) {
        item.managed = true;
        item.origin = "Created by Bootsmith";
    }
    item.extra.set("short", util::file_name_text(item.exe));
    item.extra.set("line_cmd", parts.command);
    item.extra.set("runs_as", parts.runs_as);
    return item;
}

// Lines of one file with the same command are told apart by their place
// among those lines: every one of such a group gets its number as `twin`, so
// that switching finds exactly that line again.
void number_twins(std::vector<model::Item>& items) {
    std::map<std::string, int> total;
    for (const auto& item : items) {
        ++total[item.extra.get("line_cmd")];
    }
    std::map<std::string, int> place;
    for (auto& item : items) {
        const std::string command = item.extra.get("line_cmd");
        if (total[command] > 1) {
            item.extra.set("twin", std::to_string(++place[command]));
        }
    }
}

void add_cron_lines(const CronFile& file, std::string_view text, bool admin,
                    platform::ScanResult& result) {
    std::vector<model::Item> items;
    for_each_line(text, [&](std::string_view line) {
        auto entry = parse_cron_line(line);
        if (!entry) {
            return;
        }
        CronCommand parts = split_cron_command(entry->command, file.source);
        if (util::trim(parts.command).empty()) {
            return;  // "@reboot root" with no command runs nothing
        }
        items.push_back(cron_item(file, *entry, parts, admin));
    });
    number_twins(items);
    for (auto& item : items) {
        result.items.push_back(std::move(item));
    }
}

// cron ignores editor and package-manager leftovers, and on Debian any name with a dot.
bool skipped_cron_name(std::string_view name, bool debian) {
    static constexpr std::array<std::string_view, 8> leftovers = {
        ".bak", ".orig", ".rpmsave", ".rpmnew", ".dpkg-old", ".dpkg-dist", ".dpkg-new", ".swp"};
    if (name.ends_with('~')) {
        return true;
    }
    for (std::string_view suffix : leftovers) {
        if (name.ends_with(suffix)) {
            return true;
        }
    }
    return debian && name.find('.') != std::string_view::npos;
}

void scan_user_crontab(const ScanContext& context, platform::ScanResult& result) {
    if (!on_path("crontab")) {
        return;
    }
    std::vector<std::string> args = {"-l"};
    if (context.user.via_root) {
        args = {"-u", context.user.user, "-l"};
    }
    auto run = util::run_program("crontab", args, {}, std::nullopt, context.options.limits.crontab);
    if (run.ok()) {
        add_cron_lines({CronSource::user_crontab, "crontab"}, run.out, context.info.admin, result);
    }
}

}  // namespace

void scan_cron(const ScanContext& context, platform::ScanResult& result) {
    const Roots& roots = context.options.roots;
    const bool admin = context.info.admin;
    scan_user_crontab(context, result);
    if (auto text = read_config_text(roots.at("/etc/crontab"))) {
        add_cron_lines({CronSource::system_file, "/etc/crontab"}, *text, admin, result);
    }
    const bool debian = exists_at(roots.at("/etc/debian_version"));
    auto names = list_names(roots.at("/etc/cron.d"));
    if (!names) {
        return;
    }
    for (const auto& name : *names) {
        if (skipped_cron_name(name, debian)) {
            continue;
        }
        std::string path = "/etc/cron.d/" + name;
        if (auto text = read_config_text(roots.at(path))) {
            add_cron_lines({CronSource::system_file, path}, *text, admin, result);
        }
    }
}

void scan_rc_local(const ScanContext& context, platform::ScanResult& result) {
    const auto real = context.options.roots.at(rc_local);
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || (info.st_mode & 0111) == 0) {
        return;
    }
    auto text = read_config_text(real);
    if (!text) {
        return;
    }
    std::vector<std::string> commands;
    for_each_line(*text, [&commands](std::string_view line) {
        std::string_view trimmed = util::trim(line);
        if (!trimmed.empty() && !trimmed.starts_with('#') && trimmed != "exit 0") {
            commands.emplace_back(trimmed);
        }
    });
    if (commands.empty()) {
        return;
    }
    std::string joined;
    for (const auto& command : commands) {
        joined += (joined.empty() ? "" : "; ") + command;
    }
    model::Item item("rc", "rc.local script", "machine", std::string(rc_local), "rc.local");
    item.command = std::string(rc_local);
    item.exe = std::string(rc_local);
    item.description =
        std::to_string(commands.size()) + " command(s) run at boot: " + util::shorten(joined, 100);
    item.state_text = "Runs at boot";
    item.enabled = true;
    item.origin = "Installed program";
    item.toggle = "locked";
    item.toggle_note =
        "It is a shell script. Edit /etc/rc.local by hand, or `chmod -x` it to stop it running.";
    item.extra.set("short", "rc.local");
    result.items.push_back(std::move(item));
}

}  // namespace bootsmith::linux_backend
