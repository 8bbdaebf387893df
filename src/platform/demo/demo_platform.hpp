#pragma once

#include <mutex>
#include <vector>

#include "platform/platform.hpp"

namespace bootsmith::demo {

/// A fixed, invented Windows computer held in memory. Switching, creating and
/// removing change only the list, for the life of the process.
class DemoPlatform final : public platform::Platform {
  public:
    DemoPlatform();

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

  private:
    mutable std::mutex m_mutex;
    std::vector<model::Item> m_items;
};

}  // namespace bootsmith::demo
