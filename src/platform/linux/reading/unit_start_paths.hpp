#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/item.hpp"
#include "platform/linux/reading/scan.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace bootsmith::linux_backend {

/// What one scope's listing already knows about its units.
struct UnitFacts {
    UnitScope scope;
    const std::map<std::string, std::string>& file_states;
    const std::map<std::string, UnitRow>& loaded;
    const std::map<std::string, ShowRecord>&
        records;  ///< with Names, BusName, WantedBy, RequiredBy
};

/// Ways units start besides their own switch and their triggers, read from
/// files (unit folders, unit files, D-Bus service files): no process is run.
struct UnitStartPaths {
    /// Per unit: D-Bus activation ("dbus"), then units that pull it in
    /// through links `systemctl disable` does not remove ("wanted").
    std::map<std::string, std::vector<model::StartPath>> paths;
    /// Per unit: its [Install] Also= units, which systemctl switches with it.
    std::map<std::string, std::vector<std::string>> also;
    /// Sentences for the scan's notes (a trigger whose unit does not exist).
    std::vector<std::string> notes;
};

/// The other ways each of `units` starts. Unreadable folders and files, D-Bus
/// files that are not UTF-8 or name no known unit, and pullers that do not
/// exist contribute nothing.
[[nodiscard]] UnitStartPaths read_unit_start_paths(const ScanContext& context,
                                                   const UnitFacts& facts,
                                                   const std::vector<std::string>& units);

}  // namespace bootsmith::linux_backend
