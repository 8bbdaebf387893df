#include "platform/linux/reading/scan.hpp"
#include "platform/linux/reading/oversized_files.hpp"
#include "platform/linux/reading/scan_autostart.hpp"
#include "platform/linux/reading/scan_cron.hpp"
#include "platform/linux/reading/scan_units.hpp"

namespace bootsmith::linux_backend {

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
    for (const auto& path :
         oversized_startup_files(options.roots, context.locations, context.user.home)) {
        result.notes.push_back(oversized_note(path));
    }
    return result;
}

}  // namespace bootsmith::linux_backend
