// What else starts a unit: D-Bus activation, links that pull it in and that
// disabling it leaves in place, and the units switched together with it.
#include "platform/linux/reading/unit_start_paths.hpp"

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/text/activation_text.hpp"

namespace bootsmith::linux_backend {

namespace {

// Where the scope's unit links live, by who made them.
struct UnitFolders {
    std::string own;                   ///< enable makes links here and disable removes them
    std::vector<std::string> lasting;  ///< packages, runtime and global links disable leaves
};

UnitFolders unit_folders(const ScanContext& context, UnitScope scope) {
    if (scope == UnitScope::user) {
        // `systemctl --user disable` touches only the user's own folder; links
        // for every user (--global) stay.
        return {context.user.home + "/.config/systemd/user",
                {"/etc/systemd/user", "/run/systemd/user", "/usr/lib/systemd/user",
                 "/lib/systemd/user"}};
    }
    return {"/etc/systemd/system",
            {"/run/systemd/system", "/usr/lib/systemd/system", "/lib/systemd/system"}};
}

// The folders whose service files the scope's bus reads, first one first.
std::vector<std::string> bus_service_folders(const ScanContext& context, UnitScope scope) {
    if (scope == UnitScope::user) {
        const std::string& data_home = context.options.env.data_home;
        const bool own = !context.user.via_root && data_home.starts_with('/');
        return {(own ? data_home : context.user.home + "/.local/share") + "/dbus-1/services",
                "/usr/local/share/dbus-1/services", "/usr/share/dbus-1/services"};
    }
    return {"/usr/local/share/dbus-1/system-services", "/usr/share/dbus-1/system-services",
            "/lib/dbus-1/system-services"};
}

void add_unique(std::vector<std::string>& list, std::string name) {
    if (std::find(list.begin(), list.end(), name) == list.end()) {
        list.push_back(std::move(name));
    }
}

bool has_entry(const Roots& roots, const std::string& path) {
    std::error_code error;
    return std::filesystem::symlink_status(roots.at(path), error).type() !=
           std::filesystem::file_type::not_found;
}

std::vector<std::string> sorted_names(const Roots& roots, const std::string& folder) {
    auto names = list_names(roots.at(folder));
    if (!names) {
        return {};
    }
    std::sort(names->begin(), names->end());
    return std::move(*names);
}

// The units a folder's "X.wants/" and "X.requires/" links pull in, with X.
void read_pull_links(const Roots& roots, const std::string& folder,
                     std::map<std::string, std::vector<std::string>>& pullers) {
    for (const auto& name : sorted_names(roots, folder)) {
        std::string_view puller(name);
        if (puller.ends_with(".wants")) {
            puller.remove_suffix(6);
        } else if (puller.ends_with(".requires")) {
            puller.remove_suffix(9);
        } else {
            continue;
        }
        for (auto& unit : sorted_names(roots, folder + "/" + name)) {
            add_unique(pullers[unit], std::string(puller));
        }
    }
}

bool switched_on_or_static(std::string_view state) {
    return state == "enabled" || state == "enabled-runtime" || state == "static" ||
           state == "generated";
}

// A puller counts as on when it runs, is switched on or static; one of a type
// the listing does not cover (mostly the targets the boot reaches) counts as
// on unless systemd knows no such unit.
bool puller_on(const UnitFacts& facts, const std::string& puller) {
    auto row = facts.loaded.find(puller);
    if (row != facts.loaded.end()) {
        if (row->second.active == "active") {
            return true;
        }
        if (row->second.load == "not-found") {
            return false;
        }
    }
    auto state = facts.file_states.find(puller);
    return state == facts.file_states.end() || switched_on_or_static(state->second);
}

const ShowRecord* record_of(const UnitFacts& facts, const std::string& unit) {
    auto found = facts.records.find(unit);
    return found == facts.records.end() ? nullptr : &found->second;
}

class Reader {
  public:
    Reader(const ScanContext& context, const UnitFacts& facts)
        : m_roots(context.options.roots),
          m_facts(facts),
          m_folders(unit_folders(context, facts.scope)),
          m_bus_folders(bus_service_folders(context, facts.scope)) {}

    UnitStartPaths read(const std::vector<std::string>& units) {
        for (const auto& folder : m_folders.lasting) {
            read_pull_links(m_roots, folder, m_lasting_pullers);
        }
        for (const auto& unit : units) {
            m_units.insert(unit);
            m_unit_by_name.emplace(unit, unit);
        }
        for (const auto& unit : units) {
            read_unit(unit);
        }
        add_bus_paths();
        for (const auto& unit : units) {
            add_wanted_paths(unit);
            note_missing_trigger_targets(unit);
        }
        return std::move(m_result);
    }

  private:
    // Names, aliases and Also= of one unit.
    void read_unit(const std::string& unit) {
        const ShowRecord* record = record_of(m_facts, unit);
        if (record == nullptr) {
            return;
        }
        for (auto& name : white_space_fields(show_value(*record, "Names"))) {
            m_unit_by_name.emplace(std::move(name), unit);
        }
        std::string file = show_value(*record, "FragmentPath");
        auto text = file.empty() ? std::nullopt : read_config_text(m_roots.at(file));
        if (!text) {
            return;
        }
        InstallSection install = parse_install_section(*text);
        for (const auto& alias : install.alias) {
            m_unit_by_name.emplace(alias, unit);
        }
        m_aliases[unit] = std::move(install.alias);
        if (!install.also.empty()) {
            m_result.also[unit] = std::move(install.also);
        }
    }

    // The unit a link of this name in the unit folders points to, when we know it.
    std::string linked_unit(const std::string& name) const {
        std::vector<std::string> folders = m_folders.lasting;
        folders.insert(folders.begin(), m_folders.own);
        for (const auto& folder : folders) {
            if (auto target = read_link_text(m_roots.at(folder + "/" + name))) {
                std::string unit = util::file_name_text(*target);
                if (m_units.contains(unit)) {
                    return unit;
                }
            }
        }
        return "";
    }

    // Whether D-Bus can still start the unit by this name once the unit is
    // switched off: its own name always can; an alias only through a link
    // disable does not remove.
    bool name_lasts(const std::string& unit, const std::string& name) const {
        if (name == unit) {
            return true;
        }
        for (const auto& folder : m_folders.lasting) {
            if (has_entry(m_roots, folder + "/" + name)) {
                return true;
            }
        }
        auto aliases = m_aliases.find(unit);
        bool from_install = aliases != m_aliases.end() &&
                            std::find(aliases->second.begin(), aliases->second.end(), name) !=
                                aliases->second.end();
        return !from_install && !has_entry(m_roots, m_folders.own + "/" + name);
    }

    std::string unit_with_bus_name(const std::string& bus_name) const {
        for (const auto& unit : m_units) {
            const ShowRecord* record = record_of(m_facts, unit);
            if (record != nullptr && show_value(*record, "BusName") == bus_name) {
                return unit;
            }
        }
        return "";
    }

    void add_bus_path(const BusService& service) {
        std::string unit;
        bool on = true;
        if (service.systemd_service.empty()) {
            // The bus runs Exec= itself: the program starts, outside its unit.
            unit = unit_with_bus_name(service.name);
        } else {
            auto named = m_unit_by_name.find(service.systemd_service);
            unit = named != m_unit_by_name.end() ? named->second
                                                 : linked_unit(service.systemd_service);
            on = !unit.empty() && name_lasts(unit, service.systemd_service);
        }
        if (unit.empty()) {
            return;
        }
        m_result.paths[unit].push_back({service.name, "dbus", on});
    }

    void add_bus_paths() {
        std::set<std::string> seen;  // the first file for a bus name is the one the bus uses
        for (const auto& folder : m_bus_folders) {
            for (const auto& name : sorted_names(m_roots, folder)) {
                if (!name.ends_with(".service")) {
                    continue;
                }
                auto bytes = read_regular_bytes(m_roots.at(folder + "/" + name), max_config_bytes);
                auto service = bytes ? parse_bus_service(*bytes) : std::nullopt;
                if (service && seen.insert(service->name).second) {
                    add_bus_path(*service);
                }
            }
        }
    }

    // Pullers from the package's links, then the ones systemd reports whose
    // link is not one that disabling the unit removes (a Wants= line of
    // another unit, a runtime or generated link).
    void add_wanted_paths(const std::string& unit) {
        std::vector<std::string> pullers;
        auto lasting = m_lasting_pullers.find(unit);
        if (lasting != m_lasting_pullers.end()) {
            pullers = lasting->second;
        }
        if (const ShowRecord* record = record_of(m_facts, unit)) {
            for (const char* property : {"WantedBy", "RequiredBy"}) {
                for (auto& puller : white_space_fields(show_value(*record, property))) {
                    const std::string own = m_folders.own + "/" + puller;
                    if (!has_entry(m_roots, own + ".wants/" + unit) &&
                        !has_entry(m_roots, own + ".requires/" + unit)) {
                        add_unique(pullers, std::move(puller));
                    }
                }
            }
        }
        for (const auto& puller : pullers) {
            if (puller != unit) {
                m_result.paths[unit].push_back({puller, "wanted", puller_on(m_facts, puller)});
            }
        }
    }

    void note_missing_trigger_targets(const std::string& unit) {
        const ShowRecord* record = record_of(m_facts, unit);
        auto state = m_facts.file_states.find(unit);
        if (record == nullptr || state == m_facts.file_states.end() ||
            !state->second.starts_with("enabled")) {
            return;
        }
        for (const auto& target : white_space_fields(show_value(*record, "Triggers"))) {
            auto row = m_facts.loaded.find(target);
            if (row != m_facts.loaded.end() && row->second.load == "not-found") {
                m_result.notes.push_back(unit + " is set to start " + target +
                                         ", which does not exist, so nothing starts through it.");
            }
        }
    }

    const Roots& m_roots;
    const UnitFacts& m_facts;
    UnitFolders m_folders;
    std::vector<std::string> m_bus_folders;
    std::set<std::string> m_units;
    std::map<std::string, std::string> m_unit_by_name;
    std::map<std::string, std::vector<std::string>> m_aliases;
    std::map<std::string, std::vector<std::string>> m_lasting_pullers;
    UnitStartPaths m_result;
};

}  // namespace

UnitStartPaths read_unit_start_paths(const ScanContext& context, const UnitFacts& facts,
                                     const std::vector<std::string>& units) {
    return Reader(context, facts).read(units);
}

}  // namespace bootsmith::linux_backend
