#include "platform/linux/reading/boot_phases.hpp"

#include "foundation/process.hpp"
#include "foundation/text.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/text/boot_text.hpp"

namespace bootsmith::linux_backend {

Result<platform::BootPhases> read_boot_phases(const LinuxOptions& options) {
    if (!systemd_present(options.roots)) {
        return std::unexpected(
            "This computer does not use systemd, so how long it took to start is not known.");
    }
    std::vector<std::string> args = {"show", "--no-pager"};
    for (std::string_view property : boot_phase_properties) {
        args.insert(args.end(), {"-p", std::string(property)});
    }
    auto run =
        util::run_program("systemctl", args, {}, std::nullopt, options.limits.systemctl_system);
    auto blocks = parse_show(run.out);
    if (!run.ok() || blocks.empty() || !blocks.front().contains("FinishTimestampMonotonic")) {
        std::string cause(util::trim(run.out + run.err));
        if (cause.empty()) {
            cause = run.timed_out ? "systemctl did not answer in time." : "no answer.";
        }
        return std::unexpected("systemd did not say how long the computer took to start: " +
                               util::shorten(cause, 160));
    }
    return boot_phases_of(blocks.front());
}

}  // namespace bootsmith::linux_backend
