#include "engine/since_backup.hpp"

#include <algorithm>
#include <optional>

#include "engine/backups.hpp"
#include "engine/restore.hpp"
#include "foundation/file_bytes.hpp"

namespace bootsmith::engine {

namespace {

constexpr std::size_t names_shown = 10;

// A file's stamp comes from its name, since its contents cannot be trusted:
// "auto-bootsmith-backup-20261208T044659-host.json" gives "20261208T044659".
std::string stamp_in_name(const std::string& name) {
    constexpr std::string_view marker = "bootsmith-backup-";
    std::size_t at = name.find(marker);
    return at == std::string::npos ? std::string() : name.substr(at + marker.size(), 15);
}

struct Newest {
    BackupListing listing;
    json::JsonValue document;
};

std::optional<Newest> newest_readable(const std::vector<BackupListing>& listings,
                                      std::vector<std::string>& damaged) {
    for (const auto& listing : listings) {
        auto text = util::read_file_bytes(listing.path);
        auto document = text ? parse_backup(*text) : Result<json::JsonValue>(fail(""));
        if (document) {
            return Newest{listing, std::move(*document)};
        }
        damaged.push_back(listing.name);
    }
    return std::nullopt;
}

// Files named like our backups that the listing left out could not be read;
// only those newer than the one compared matter to the user.
void add_unlisted_damaged(const platform::SystemInfo& system,
                          const std::vector<BackupListing>& listings, const std::string& after,
                          std::vector<std::string>& damaged) {
    for (const auto& path : backup_files(system)) {
        std::string name = path.filename().string();
        bool listed = std::any_of(listings.begin(), listings.end(),
                                  [&name](const BackupListing& b) { return b.name == name; });
        if (!listed && stamp_in_name(name) > after) {
            damaged.push_back(name);
        }
    }
}

void sort_changes(const RestorePlan& plan, SinceBackup& since) {
    for (const auto& change : plan.changes) {
        if (change.what == "state" && change.request) {
            (change.request->action == "enable" ? since.switched_off : since.switched_on)
                .push_back(change.name);
        } else if (change.what == "remove") {
            since.appeared.push_back(change.name);
        } else if (change.what == "missing" || change.what == "recreate") {
            since.disappeared.push_back(change.name);
        }
    }
    since.appeared.insert(since.appeared.end(), plan.appeared_names.begin(),
                          plan.appeared_names.end());
}

std::string names_line(std::string_view label, const std::vector<std::string>& names) {
    std::string line(label);
    for (std::size_t i = 0; i < names.size() && i < names_shown; ++i) {
        line += (i == 0 ? " " : ", ") + names[i];
    }
    if (names.size() > names_shown) {
        line += " and " + std::to_string(names.size() - names_shown) + " more";
    }
    return line + ".";
}

}  // namespace

SinceBackup since_last_backup(Engine& engine) {
    const platform::SystemInfo& system = engine.system();
    std::vector<BackupListing> listings = list_backups(system);
    std::vector<std::string> damaged;
    std::optional<Newest> newest = newest_readable(listings, damaged);
    add_unlisted_damaged(system, listings, newest ? stamp_of(newest->listing.created) : "",
                         damaged);
    SinceBackup since;
    for (const auto& name : damaged) {
        since.notes.push_back("The backup " + name + " is damaged and was passed over.");
    }
    if (!newest) {
        return since;
    }
    since.compared = true;
    since.backup = newest->listing.name;
    since.created = newest->listing.created;
    RestorePlan plan = restore_plan(engine, newest->document);
    sort_changes(plan, since);
    if (plan.wrong_machine) {
        since.notes.push_back("That backup was taken on another computer (" +
                              newest->document.get_str("host") + ").");
    }
    return since;
}

std::vector<std::string> since_backup_lines(const SinceBackup& since) {
    std::vector<std::string> lines;
    if (!since.compared) {
        lines.push_back(since.notes.empty() ? "No backup yet."
                                            : "No backup that can be read, so nothing to compare "
                                              "with.");
    } else {
        lines.push_back("Since your last backup (" + since.created +
                        " UTC): " + std::to_string(since.appeared.size()) + " entries appeared, " +
                        std::to_string(since.switched_on.size()) + " were switched on, " +
                        std::to_string(since.switched_off.size()) + " were switched off, " +
                        std::to_string(since.disappeared.size()) + " disappeared.");
        const std::pair<std::string_view, const std::vector<std::string>*> kinds[] = {
            {"Appeared:", &since.appeared},
            {"Switched on:", &since.switched_on},
            {"Switched off:", &since.switched_off},
            {"Disappeared:", &since.disappeared}};
        for (const auto& [label, names] : kinds) {
            if (!names->empty()) {
                lines.push_back(names_line(label, *names));
            }
        }
    }
    lines.insert(lines.end(), since.notes.begin(), since.notes.end());
    return lines;
}

}  // namespace bootsmith::engine
