#include "platform/linux/linux_platform.hpp"

#include "platform/linux/candidates.hpp"
#include "platform/linux/doctor.hpp"
#include "platform/linux/scan.hpp"
#include "platform/linux/system.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr const char* not_yet = "This change is not available on Linux in this version yet.";

}  // namespace

LinuxPlatform::LinuxPlatform(LinuxOptions options)
    : m_options(std::move(options)), m_info(linux_system_info(m_options)) {}

platform::SystemInfo LinuxPlatform::system_info() const {
    return m_info;
}

platform::ScanResult LinuxPlatform::scan() {
    return scan_all(m_options, m_info);
}

platform::CandidateList LinuxPlatform::running_programs(const std::vector<model::Item>& items) {
    return linux_backend::running_programs(m_options, m_info, items);
}

platform::CandidateList LinuxPlatform::installed_apps(const std::vector<model::Item>& items) {
    return linux_backend::installed_apps(m_options, m_info, items);
}

// FIXME: switching units, autostart overrides and cron lines on and off is not written yet.
Result<platform::ChangeOutcome> LinuxPlatform::toggle(const model::Item& /*item*/, bool /*enable*/,
                                                      bool /*now*/) {
    return fail(not_yet);
}

// FIXME: creating desktop, systemd and cron entries is not written yet.
Result<model::Item> LinuxPlatform::create(const model::CreateRequest& /*request*/) {
    return fail(not_yet);
}

// FIXME: removing this program's own entries is not written yet.
Result<platform::ChangeOutcome> LinuxPlatform::remove(const model::Item& /*item*/) {
    return fail(not_yet);
}

// FIXME: restarting through pkexec is not written yet.
Status LinuxPlatform::elevate(const std::vector<std::string>& /*args*/) {
    return fail(not_yet);
}

// FIXME: opening the browser (xdg-open, through runuser under sudo) is not written yet.
void LinuxPlatform::open_browser(const std::string& /*address*/) {}

std::vector<platform::Probe> LinuxPlatform::doctor() {
    return linux_doctor(m_options, m_info);
}

std::unique_ptr<platform::Platform> make_linux_platform() {
    return std::make_unique<LinuxPlatform>(LinuxOptions::from_process());
}

}  // namespace bootsmith::linux_backend
