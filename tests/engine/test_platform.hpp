#pragma once

#include <functional>
#include <optional>

#include "platform/demo/demo_platform.hpp"

namespace bootsmith::engine {

/// The demonstration computer with knobs for the cases it never shows: items
/// changed after every scan, switches, creations or removals that fail, and
/// doctor probes that are not all well.
class TestPlatform final : public platform::Platform {
  public:
    std::function<void(std::vector<model::Item>&)> after_scan;
    std::optional<std::string> toggle_failure;
    std::optional<std::string> create_failure;
    std::optional<std::vector<platform::Probe>> probes;  ///< instead of the demonstration's
    int toggles = 0;
    std::optional<model::Item> last_toggled;

    [[nodiscard]] platform::SystemInfo system_info() const override {
        platform::SystemInfo info = m_demo.system_info();
        if (system_override) {
            info = *system_override;
        }
        return info;
    }
    [[nodiscard]] platform::ScanResult scan() override {
        platform::ScanResult result = m_demo.scan();
        if (after_scan) {
            after_scan(result.items);
        }
        return result;
    }
    [[nodiscard]] platform::CandidateList running_programs(
        const std::vector<model::Item>& items) override {
        return m_demo.running_programs(items);
    }
    [[nodiscard]] platform::CandidateList installed_apps(
        const std::vector<model::Item>& items) override {
        return m_demo.installed_apps(items);
    }
    [[nodiscard]] Result<platform::ChangeOutcome> toggle(const model::Item& item, bool enable,
                                                         bool now) override {
        ++toggles;
        last_toggled = item;
        if (toggle_failure) {
            return fail(*toggle_failure);
        }
        return m_demo.toggle(item, enable, now);
    }
    [[nodiscard]] std::vector<std::string> creation_problems(
        const model::CreateRequest& request,
        const std::vector<model::Item>& present) const override {
        return m_demo.creation_problems(request, present);
    }
    [[nodiscard]] Result<model::Item> create(const model::CreateRequest& request) override {
        if (create_failure) {
            return fail(*create_failure);
        }
        return m_demo.create(request);
    }
    [[nodiscard]] Result<platform::ChangeOutcome> remove(const model::Item& item) override {
        return m_demo.remove(item);
    }
    [[nodiscard]] Status elevate(const std::vector<std::string>& args) override {
        return m_demo.elevate(args);
    }
    void open_browser(const std::string&) override {}
    [[nodiscard]] std::vector<platform::Probe> doctor() override {
        return probes ? *probes : m_demo.doctor();
    }

    std::optional<platform::SystemInfo> system_override;

  private:
    demo::DemoPlatform m_demo;
};

}  // namespace bootsmith::engine
