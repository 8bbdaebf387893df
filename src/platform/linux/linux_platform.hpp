#pragma once

#include <memory>

#include "platform/linux/roots.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// The real computer. Holds only its options and the system record read once at
/// construction, so it may be used from several threads.
class LinuxPlatform final : public platform::Platform {
  public:
    explicit LinuxPlatform(LinuxOptions options);

    [[nodiscard]] platform::SystemInfo system_info() const override;
    [[nodiscard]] platform::ScanResult scan() override;
    [[nodiscard]] platform::CandidateList running_programs(
        const std::vector<model::Item>& items) override;
    [[nodiscard]] platform::CandidateList installed_apps(
        const std::vector<model::Item>& items) override;
    [[nodiscard]] Result<platform::ChangeOutcome> toggle(const model::Item& item, bool enable,
                                                         bool now) override;
    [[nodiscard]] std::vector<std::string> creation_problems(
        const model::CreateRequest& request,
        const std::vector<model::Item>& present) const override;
    [[nodiscard]] Result<model::Item> create(const model::CreateRequest& request) override;
    [[nodiscard]] Result<platform::ChangeOutcome> remove(const model::Item& item) override;
    [[nodiscard]] Status elevate(const std::vector<std::string>& args) override;
    void open_browser(const std::string& address) override;
    [[nodiscard]] std::vector<platform::Probe> doctor() override;
    [[nodiscard]] Result<platform::BootPhases> boot_phases() override;

    [[nodiscard]] const LinuxOptions& options() const { return m_options; }

  private:
    const LinuxOptions m_options;
    const platform::SystemInfo m_info;
};

/// The platform of the real computer: roots at "/", this process's environment.
[[nodiscard]] std::unique_ptr<platform::Platform> make_linux_platform();

}  // namespace bootsmith::linux_backend
