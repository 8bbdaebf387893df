#include "platform/linux/reading/scan.hpp"

#include <set>

#include "platform/linux/reading/oversized_files.hpp"
#include "platform/linux/reading/same_program.hpp"
#include "platform/linux/reading/scan_autostart.hpp"
#include "platform/linux/reading/scan_cron.hpp"
#include "platform/linux/reading/scan_units.hpp"

namespace bootsmith::linux_backend {

namespace {

// Two entries can come out with the same id (the same cron line twice, the
// same Name in two autostart files of one folder). The second and later get
// "#2", "#3" ... in scan order, skipping any id another entry already has, so
// that every id names exactly one entry and stays the same from scan to scan.
void make_ids_unique(std::vector<model::Item>& items) {
    std::set<std::string> original;
    for (const auto& item : items) {
        original.insert(item.id);
    }
    std::set<std::string> used;
    for (auto& item : items) {
        if (used.contains(item.id)) {
            const std::string base = item.id;
            for (int n = 2; used.contains(item.id) || original.contains(item.id); ++n) {
                item.id = base + "#" + std::to_string(n);
            }
        }
        used.insert(item.id);
    }
}

}  // namespace

platform::ScanResult scan_all(const LinuxOptions& options, const platform::SystemInfo& info) {
    ScanContext context{options, info, user_context(options, info), find_package_manager(),
                        linux_locations(options)};
    platform::ScanResult result;
    if (systemd_present(options.roots)) {
        scan_units(context, UnitScope::system, result);
        if (context.user.uid != 0) {
            scan_units(context, UnitScope::user, result);
        }
    } else {
        result.notes.push_back(
            "This computer does not use systemd, so services are not listed. Desktop autostart "
            "entries and cron @reboot jobs still are.");
    }
    scan_autostart(context, result);
    scan_cron(context, result);
    scan_rc_local(context, result);
    add_same_program_paths(options.roots, result.items);
    for (const auto& path :
         oversized_startup_files(options.roots, context.locations, context.user.home)) {
        result.notes.push_back(oversized_note(path));
    }
    make_ids_unique(result.items);
    return result;
}

}  // namespace bootsmith::linux_backend
