#include "platform/linux/linux_platform.hpp"
#include "platform/linux/changing/create_entry.hpp"
#include "platform/linux/changing/remove_entry.hpp"
#include "platform/linux/changing/switching.hpp"
#include "platform/linux/os/elevation.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/reading/boot_phases.hpp"
#include "platform/linux/reading/candidates.hpp"
#include "platform/linux/reading/doctor.hpp"
#include "platform/linux/reading/running_programs.hpp"
#include "platform/linux/reading/scan.hpp"

namespace bootsmith::linux_backend {

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

Result<platform::ChangeOutcome> LinuxPlatform::toggle(const model::Item& item, bool enable,
                                                      bool now) {
    const ChangeContext context(m_options, m_info);
    return toggle_item(context, item, enable, now);
}

std::vector<std::string> LinuxPlatform::creation_problems(
    const model::CreateRequest& request, const std::vector<model::Item>& present) const {
    const ChangeContext context(m_options, m_info);
    return linux_backend::creation_problems(context, request, present);
}

Result<model::Item> LinuxPlatform::create(const model::CreateRequest& request) {
    const ChangeContext context(m_options, m_info);
    return create_entry(context, request);
}

Result<platform::ChangeOutcome> LinuxPlatform::remove(const model::Item& item) {
    const ChangeContext context(m_options, m_info);
    return remove_entry(context, item);
}

Status LinuxPlatform::elevate(const std::vector<std::string>& args) {
    return elevate_program(m_options, args);
}

void LinuxPlatform::open_browser(const std::string& address) {
    open_in_browser(m_options, m_info, address);
}

std::vector<platform::Probe> LinuxPlatform::doctor() {
    return linux_doctor(m_options, m_info);
}

Result<platform::BootPhases> LinuxPlatform::boot_phases() {
    return read_boot_phases(m_options);
}

std::unique_ptr<platform::Platform> make_linux_platform() {
    return std::make_unique<LinuxPlatform>(LinuxOptions::from_process());
}

}  // namespace bootsmith::linux_backend
