// Desktop autostart entries of the computer and of the user.
#include <algorithm>
#include <set>

#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_autostart.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view machine_note =
    "Switching it off here is a personal setting for this account; other users are not "
    "affected.";

struct FolderEntries {
    ExpandedFolder folder;
    std::vector<DesktopEntry> entries;  ///< sorted by file name
};

bool is_desktop_file_name(std::string_view name) {
    return name.size() > 8 && name.ends_with(".desktop");
}

std::vector<DesktopEntry> read_folder(const Roots& roots, const std::string& folder) {
    std::vector<DesktopEntry> entries;
    auto names = list_names(roots.at(folder));
    if (!names) {
        return entries;
    }
    std::sort(names->begin(), names->end());
    for (const auto& name : *names) {
        if (!is_desktop_file_name(name)) {
            continue;
        }
        auto text = read_config_text(roots.at(folder + "/" + name));
        if (!text) {
            continue;
        }
        if (auto entry = parse_desktop_entry(*text, name)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::string display_name(const DesktopEntry& entry) {
    if (!entry.name.empty()) {
        return entry.name;
    }
    std::string_view stem(entry.file_name);
    stem.remove_suffix(8);  // ".desktop"
    return util::decode_text(stem);
}

std::string entry_description(const DesktopEntry& entry) {
    std::string description = entry.comment;
    if (!entry.only_show_in.empty()) {
        description += (description.empty() ? "" : " ") + ("(only in: " + entry.only_show_in + ")");
    }
    return description;
}

bool switched_on(const DesktopEntry& entry) {
    return !entry.hidden && entry.autostart_enabled != Tristate::no;
}

model::Item autostart_item(const FolderEntries& source, const DesktopEntry& entry,
                           const DesktopEntry* override_entry, const std::string& user_dir) {
    const bool user = source.folder.belongs_to_user;
    model::Item item("autostart",
                     user ? "Desktop autostart (this user)" : "Desktop autostart (all users)",
                     user ? "user" : "machine", source.folder.path, display_name(entry));
    auto words = desktop_command_words(entry.exec);
    for (std::size_t i = 0; i < words.size(); ++i) {
        item.command += (i > 0 ? " " : "") + words[i];
    }
    item.exe = program_of(words);
    item.description = entry_description(entry);
    const DesktopEntry& effective = override_entry ? *override_entry : entry;
    item.enabled = switched_on(effective);
    item.state_text = item.enabled ? "Enabled" : "Disabled";
    item.extra.set("file", source.folder.path + "/" + entry.file_name);
    item.extra.set("fname", entry.file_name);
    item.extra.set("user_dir", user_dir);
    if (!user) {
        item.toggle_note = std::string(machine_note);
        if (override_entry) {
            item.extra.set("has_override", "1");
        }
    }
    item.extra.set("short", entry.file_name);
    if (entry.file_name.starts_with("bootsmith-")) {
        item.managed = true;
        item.origin = "Created by Bootsmith";
    }
    return item;
}

void add_packages(const ScanContext& context, std::vector<model::Item>& items) {
    std::vector<std::string> programs;
    for (const auto& item : items) {
        programs.push_back(item.exe);
    }
    auto owners = package_owners(context.manager, programs, context.options.limits);
    std::vector<std::string> packages;
    for (const auto& [program, package] : owners) {
        packages.push_back(package);
    }
    auto priorities = package_priorities(context.manager, packages, context.options.limits);
    for (auto& item : items) {
        auto owner = owners.find(item.exe);
        item.package = owner == owners.end() ? "" : owner->second;
        auto priority = priorities.find(item.package);
        std::string pkg_priority = priority == priorities.end() ? "" : priority->second;
        if (!pkg_priority.empty()) {
            item.extra.set("pkg_priority", pkg_priority);
        }
        if (item.origin.empty()) {
            item.origin =
                is_system_priority(pkg_priority) ? "Operating system" : "Installed program";
        }
    }
}

}  // namespace

void scan_autostart(const ScanContext& context, platform::ScanResult& result) {
    const Roots& roots = context.options.roots;
    std::vector<FolderEntries> sources;
    std::string user_dir;
    for (const auto& configured : context.locations.linux_autostart_dirs) {
        ExpandedFolder folder = expand_home(configured, context.user.home);
        if (folder.belongs_to_user && user_dir.empty()) {
            user_dir = folder.path;
        }
        sources.push_back({folder, {}});
    }
    if (user_dir.empty()) {
        user_dir = expand_home("~/.config/autostart", context.user.home).path;
    }
    const auto user_entries = read_folder(roots, user_dir);
    std::set<std::string> computer_names;
    for (auto& source : sources) {
        source.entries =
            source.folder.path == user_dir ? user_entries : read_folder(roots, source.folder.path);
        if (!source.folder.belongs_to_user) {
            for (const auto& entry : source.entries) {
                computer_names.insert(entry.file_name);
            }
        }
    }
    auto override_for = [&user_entries](const std::string& name) -> const DesktopEntry* {
        for (const auto& entry : user_entries) {
            if (entry.file_name == name) {
                return &entry;
            }
        }
        return nullptr;
    };
    std::vector<model::Item> items;
    for (const auto& source : sources) {
        const bool users_own = source.folder.path == user_dir;
        for (const auto& entry : source.entries) {
            if (users_own && computer_names.contains(entry.file_name)) {
                continue;  // a personal override, shown with the entry it overrides
            }
            const DesktopEntry* override_entry =
                source.folder.belongs_to_user ? nullptr : override_for(entry.file_name);
            items.push_back(autostart_item(source, entry, override_entry, user_dir));
        }
    }
    add_packages(context, items);
    for (auto& item : items) {
        result.items.push_back(std::move(item));
    }
}

}  // namespace bootsmith::linux_backend
