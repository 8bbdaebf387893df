// systemd units of the computer and of the user's own instance.
#include <algorithm>
#include <filesystem>
#include <set>

#include "foundation/text.hpp"
#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/scan_units.hpp"
#include "platform/linux/reading/unit_records.hpp"
#include "platform/linux/reading/unit_start_paths.hpp"
#include "platform/linux/text/boot_text.hpp"

namespace bootsmith::linux_backend {

namespace {

struct ToggleRule {
    std::string_view state;
    std::string_view note;
};

// Unit-file states that leave nothing to switch, and why.
constexpr ToggleRule locked_states[] = {
    {"static",
     "It has no start-up switch (no [Install] section): the system starts it only when another "
     "unit needs it."},
    {"indirect",
     "It is switched on indirectly through another unit, so it has no switch of its own."},
    {"generated",
     "It is generated at boot from other settings (for example /etc/fstab), so it has no switch."},
    {"transient", "It was created for this session only."},
    {"alias", "It is another name for a unit, so it has no switch of its own."},
    {"linked", "It is linked in from elsewhere, so it has no switch here."},
    {"linked-runtime", "It is linked in from elsewhere, so it has no switch here."},
    {"masked",
     "An administrator blocked it on purpose (masked). Use `systemctl unmask` if you want it "
     "back."},
    {"masked-runtime",
     "An administrator blocked it on purpose (masked). Use `systemctl unmask` if you want it "
     "back."},
    {"bad", "systemd reports its unit file as faulty."},
};

bool is_switched_on(std::string_view state) {
    return state == "enabled" || state == "enabled-runtime";
}

bool is_listed_state(std::string_view state) {
    return is_switched_on(state) || state == "disabled" || state == "masked" ||
           state == "masked-runtime";
}

// The facts about all units of one scope that every item is built from.
struct UnitListing {
    UnitScope scope;
    std::map<std::string, std::string> file_states;
    std::map<std::string, UnitRow> loaded;
    std::map<std::string, ShowRecord> records;
    std::map<std::string, std::string> owners;
    std::map<std::string, std::string> priorities;
    UnitStartPaths start_paths;
};

bool is_active(const UnitListing& listing, const std::string& unit) {
    auto row = listing.loaded.find(unit);
    return row != listing.loaded.end() && row->second.active == "active";
}

// A socket, timer or path unit starts the service it triggers; that service
// usually requires it back, which does not make the service something that
// breaks when the trigger is switched off.
std::vector<std::string> dependents_of(const UnitListing& listing, const std::string& unit,
                                       const ShowRecord& record) {
    std::set<std::string> names;
    std::vector<std::string> triggered = white_space_fields(show_value(record, "Triggers"));
    for (const char* property : {"RequiredBy", "BoundBy"}) {
        for (const auto& other : white_space_fields(show_value(record, property))) {
            auto state = listing.file_states.find(other);
            bool on = state != listing.file_states.end() && is_switched_on(state->second);
            bool its_own = std::find(triggered.begin(), triggered.end(), other) != triggered.end();
            if (other != unit && !its_own && (is_active(listing, other) || on)) {
                names.insert(other);
            }
        }
    }
    return {names.begin(), names.end()};
}

std::string unit_origin(UnitScope scope, const std::string& unit, const std::string& file,
                        const std::string& package, const std::string& priority) {
    const bool systemd_named = unit.starts_with("systemd");
    if (is_system_priority(priority)) {
        return "Operating system";
    }
    if (!package.empty()) {
        return priority.empty() && systemd_named ? "Operating system" : "Installed program";
    }
    if (scope == UnitScope::system && file.starts_with("/etc/")) {
        return "Installed program";
    }
    return systemd_named ? "Operating system" : "Installed program";
}

void set_toggle(model::Item& item, const std::string& state, UnitScope scope, bool admin) {
    for (const auto& rule : locked_states) {
        if (rule.state == state) {
            item.toggle = "locked";
            item.toggle_note = std::string(rule.note);
            return;
        }
    }
    item.toggle = scope == UnitScope::system && !admin ? "admin" : "ok";
}

// A unit that systemd calls disabled can still start at every boot when
// another unit wants or requires it through a link that `systemctl disable`
// does not remove (such as one its package placed under /usr/lib/systemd).
// Showing it as an ordinary "off" entry would be wrong, and switching it off
// cannot work without masking, which Bootsmith never does.
void lock_if_pulled_in(model::Item& item, const std::string& state) {
    if (state != "disabled") {
        return;
    }
    std::vector<std::string> pullers;
    for (const auto& path : item.also_started_by) {
        if (path.how == "wanted") {
            pullers.push_back(path.name);
        }
    }
    if (pullers.empty()) {
        return;
    }
    item.toggle = "locked";
    item.toggle_note = "systemd calls it disabled, but " + util::join(pullers, ", ") +
                       " start(s) it through a link that switching it off does not remove "
                       "(often one its package placed under /usr/lib/systemd).";
}

// Socket, timer and path units start their service on demand, whatever the
// service's own switch says; any other triggering unit is named as a unit.
std::vector<model::StartPath> triggers_of(const UnitListing& listing, const std::string& unit,
                                          const ShowRecord& record) {
    std::vector<model::StartPath> paths;
    for (auto& other : white_space_fields(show_value(record, "TriggeredBy"))) {
        if (other == unit) {
            continue;
        }
        std::string type = unit_type(other);
        bool known = type == "socket" || type == "timer" || type == "path";
        auto state = listing.file_states.find(other);
        bool on = (state != listing.file_states.end() && is_switched_on(state->second)) ||
                  is_active(listing, other);
        paths.push_back({std::move(other), known ? type : "unit", on});
    }
    return paths;
}

// Triggers first, then what the unit folders and the bus add; a path that
// systemctl switches off together with the unit (its Also=) is marked so.
std::vector<model::StartPath> start_paths_of(const UnitListing& listing, const std::string& unit,
                                             const ShowRecord& record) {
    std::vector<model::StartPath> paths = triggers_of(listing, unit, record);
    auto more = listing.start_paths.paths.find(unit);
    if (more != listing.start_paths.paths.end()) {
        for (const auto& path : more->second) {
            bool known = std::any_of(paths.begin(), paths.end(), [&](const model::StartPath& p) {
                return p.name == path.name;
            });
            if (!known) {
                paths.push_back(path);
            }
        }
    }
    auto state = listing.file_states.find(unit);
    if (state != listing.file_states.end() && state->second.starts_with("masked")) {
        for (auto& path : paths) {
            path.on = false;  // nothing starts a masked unit
        }
    }
    auto also = listing.start_paths.also.find(unit);
    if (also != listing.start_paths.also.end()) {
        for (auto& path : paths) {
            path.with_it = std::find(also->second.begin(), also->second.end(), path.name) !=
                           also->second.end();
        }
    }
    return paths;
}

void fill_command(model::Item& item, const std::string& type, const ShowRecord& record) {
    ExecStart exec = parse_exec_start(show_value(record, "ExecStart"));
    item.command = exec.command;
    item.exe = exec.path;
    std::string triggers = show_value(record, "Triggers");
    if (type == "timer" && !triggers.empty()) {
        item.command = "(timer: runs " + triggers + ")";
    }
    if ((type == "timer" || type == "socket" || type == "path") && !triggers.empty()) {
        item.extra.set("triggers", triggers);
    }
}

// The user's own units start when the user signs in, after the boot, which
// never waits for them.
void fill_boot_timing(model::Item& item, UnitScope scope, const ShowRecord& record) {
    UnitTiming timing = unit_timing(record);
    item.boot_ms = timing.ms;
    item.boot_done_us = timing.done_us;
    item.boot_target_after = scope == UnitScope::system && timing.target_after;
}

model::Item unit_item(const UnitListing& listing, const std::string& unit, bool admin) {
    static const ShowRecord no_record;
    auto found = listing.records.find(unit);
    const ShowRecord& record = found == listing.records.end() ? no_record : found->second;
    const std::string type = unit_type(unit);
    const bool user = listing.scope == UnitScope::user;
    const std::string file = show_value(record, "FragmentPath");
    auto state_row = listing.file_states.find(unit);
    const std::string state = state_row == listing.file_states.end() ? "" : state_row->second;
    auto row = listing.loaded.find(unit);

    model::Item item(user ? "systemd-user" : "systemd",
                     "systemd " + type + (user ? " (this user)" : ""), user ? "user" : "machine",
                     file.empty() ? "(no unit file)" : file, unit);
    item.description = show_value(record, "Description");
    if (item.description.empty() && row != listing.loaded.end()) {
        item.description = row->second.description;
    }
    fill_command(item, type, record);
    auto owner = listing.owners.find(file);
    item.package = owner == listing.owners.end() ? "" : owner->second;
    auto priority = listing.priorities.find(item.package);
    std::string pkg_priority = priority == listing.priorities.end() ? "" : priority->second;
    item.dependents = dependents_of(listing, unit, record);
    item.also_started_by = start_paths_of(listing, unit, record);
    fill_boot_timing(item, listing.scope, record);
    item.enabled = is_switched_on(state);
    item.running = is_active(listing, unit);
    item.state_text = state;
    if (row != listing.loaded.end()) {
        item.state_text += " \u00b7 " + row->second.sub;
    }
    item.origin = unit_origin(listing.scope, unit, file, item.package, pkg_priority);
    if (unit.starts_with("bootsmith-")) {
        item.managed = true;
        item.origin = "Created by Bootsmith";
    }
    set_toggle(item, state, listing.scope, admin);
    lock_if_pulled_in(item, state);
    item.extra.set("unit", unit);
    item.extra.set("state", state);
    if (!pkg_priority.empty()) {
        item.extra.set("pkg_priority", pkg_priority);
    }
    return item;
}

bool links_to_null(const Roots& roots, const std::string& path) {
    std::error_code error;
    std::filesystem::path target = std::filesystem::read_symlink(roots.at(path), error);
    return !error && target == "/dev/null";
}

// Packages mask units they replace or that must never run under systemd
// (Debian links rc, rcS, hwclock, cryptdisks, x11-common and sudo to /dev/null
// under /lib/systemd/system). Such a mask is the distribution's own: the unit
// never starts and asks nothing of the user. A mask an administrator made lies
// under /etc (or the user's own folder) and stays one. Links are only read,
// never followed.
bool masked_by_vendor(const ScanContext& context, UnitScope scope, const std::string& unit) {
    const bool user = scope == UnitScope::user;
    std::vector<std::string> admin_dirs = {user ? "/etc/systemd/user" : "/etc/systemd/system",
                                           user ? "/run/systemd/user" : "/run/systemd/system"};
    if (user) {
        admin_dirs.push_back(context.user.home + "/.config/systemd/user");
    }
    for (const auto& dir : admin_dirs) {
        std::error_code error;
        if (std::filesystem::symlink_status(context.options.roots.at(dir + "/" + unit), error)
                .type() != std::filesystem::file_type::not_found) {
            return false;
        }
    }
    const char* vendor_dirs[] = {"/usr/lib/systemd/system", "/lib/systemd/system"};
    const char* vendor_user_dirs[] = {"/usr/lib/systemd/user", "/lib/systemd/user"};
    for (const char* dir : user ? vendor_user_dirs : vendor_dirs) {
        if (links_to_null(context.options.roots, std::string(dir) + "/" + unit)) {
            return true;
        }
    }
    return false;
}

void mark_vendor_masked(model::Item& item) {
    item.toggle = "locked";
    item.toggle_note =
        "Its package switched it off for good (linked to /dev/null) because something else does "
        "its work; it never starts.";
    item.extra.set("vendor_masked", "1");
}

SystemctlRunner runner_for(const ScanContext& context, UnitScope scope) {
    if (scope == UnitScope::user) {
        return [&context](std::vector<std::string> args) {
            args.insert(args.begin(), "--user");
            return run_user_systemctl(context.user, args, context.options.limits.systemctl_user);
        };
    }
    return [&context](std::vector<std::string> args) {
        return util::run_program("systemctl", args, {}, std::nullopt,
                                 context.options.limits.systemctl_system);
    };
}

std::string unit_types_argument(const knowledge::KnowledgeLocations& locations) {
    std::string types;
    for (const auto& type : locations.linux_unit_types) {
        types += (types.empty() ? "" : ",") + type;
    }
    return types.empty() ? "service,timer,socket,path" : types;
}

std::string unreadable_note(UnitScope scope, const util::RunResult& run) {
    if (scope == UnitScope::user) {
        return "Your own systemd units could not be read (no user session is running for this "
               "account); "
               "they are left out.";
    }
    std::string cause(util::trim(run.out + run.err));
    if (cause.empty() && run.timed_out) {
        cause = "systemctl did not answer in time.";
    }
    return "systemd's unit list could not be read: " + util::shorten(cause, 160);
}

// Units to list: the switchable states always, every other state only while running.
std::vector<std::string> select_units(const std::vector<UnitFileRow>& rows, UnitListing& listing) {
    std::vector<std::string> selected;
    for (const auto& row : rows) {
        if (!listing.file_states.emplace(row.unit, row.state).second) {
            continue;  // a repeated row would give two items with one id
        }
        if (is_listed_state(row.state) || is_active(listing, row.unit)) {
            selected.push_back(row.unit);
        }
    }
    return selected;
}

// "postgresql@.service" for the instance "postgresql@15-main.service"; "" for
// any name that is not an instance.
std::string template_of(std::string_view unit) {
    std::size_t at = unit.find('@');
    std::size_t dot = unit.rfind('.');
    if (at == std::string_view::npos || dot == std::string_view::npos || dot <= at + 1) {
        return "";
    }
    return std::string(unit.substr(0, at + 1)) + std::string(unit.substr(dot));
}

// Instances never appear in the unit-file list, yet a running instance of a
// template that starts at boot (postgresql@15-main.service, which
// postgresql.service pulls in) is the program that actually runs: it is
// listed with its template's unit file.
std::vector<std::string> running_instances(const UnitListing& listing) {
    std::vector<std::string> instances;
    for (const auto& [unit, row] : listing.loaded) {
        if (row.active != "active" || listing.file_states.contains(unit)) {
            continue;
        }
        auto state = listing.file_states.find(template_of(unit));
        if (state != listing.file_states.end() &&
            (is_switched_on(state->second) || state->second == "indirect")) {
            instances.push_back(unit);
        }
    }
    return instances;
}

// An instance that is not enabled by its own link (one a generator or another
// unit made at run time) cannot be switched off by disabling it.
void lock_unless_enabled_itself(model::Item& item, const std::string& state,
                                const ShowRecord& record) {
    if (state == "enabled") {
        return;
    }
    std::string starters = util::join(white_space_fields(show_value(record, "WantedBy")), ", ");
    item.toggle = "locked";
    item.toggle_note = "It is an instance of " + template_of(item.name) +
                       (starters.empty() ? " started at boot through a link made at run time"
                                         : " that " + starters + " start(s) at boot") +
                       ", so it has no switch of its own" +
                       (starters.empty() ? "." : "; switch " + starters + " instead.");
}

void look_up_packages(const ScanContext& context, const std::vector<std::string>& units,
                      UnitListing& listing) {
    std::vector<std::string> files;
    for (const auto& unit : units) {
        auto record = listing.records.find(unit);
        if (record != listing.records.end()) {
            files.push_back(show_value(record->second, "FragmentPath"));
        }
    }
    listing.owners = package_owners(context.manager, files, context.options.limits);
    std::vector<std::string> packages;
    for (const auto& [file, package] : listing.owners) {
        packages.push_back(package);
    }
    listing.priorities = package_priorities(context.manager, packages, context.options.limits);
}

}  // namespace

void scan_units(const ScanContext& context, UnitScope scope, platform::ScanResult& result) {
    SystemctlRunner systemctl = runner_for(context, scope);
    const std::string types = "--type=" + unit_types_argument(context.locations);
    auto files = systemctl({"list-unit-files", types, "--no-legend", "--no-pager", "--plain"});
    if (!files.ok() || util::trim(files.out).empty()) {
        result.notes.push_back(unreadable_note(scope, files));
        return;
    }
    UnitListing listing{scope, {}, {}, {}, {}, {}, {}};
    auto loaded = systemctl({"list-units", types, "--all", "--no-legend", "--no-pager", "--plain"});
    if (loaded.ok()) {
        listing.loaded = parse_units(loaded.out);
    }
    std::vector<std::string> selected = select_units(parse_unit_files(files.out), listing);
    std::vector<std::string> instances = running_instances(listing);
    selected.insert(selected.end(), instances.begin(), instances.end());
    listing.records = describe_units(systemctl, selected);
    for (const auto& unit : instances) {
        listing.file_states[unit] = show_value(listing.records[unit], "UnitFileState");
    }
    listing.start_paths = read_unit_start_paths(
        context, {scope, listing.file_states, listing.loaded, listing.records}, selected);
    result.notes.insert(result.notes.end(), listing.start_paths.notes.begin(),
                        listing.start_paths.notes.end());
    if (scope == UnitScope::system) {
        look_up_packages(context, selected, listing);
    }
    for (const auto& unit : selected) {
        result.items.push_back(unit_item(listing, unit, context.info.admin));
        if (std::find(instances.begin(), instances.end(), unit) != instances.end()) {
            lock_unless_enabled_itself(result.items.back(), listing.file_states[unit],
                                       listing.records[unit]);
        }
        if (listing.file_states[unit] == "masked" && masked_by_vendor(context, scope, unit)) {
            mark_vendor_masked(result.items.back());
        }
    }
}

}  // namespace bootsmith::linux_backend
