#include "platform/demo/demo_platform.hpp"

#include <algorithm>
#include <cstdlib>

#include "foundation/text.hpp"
#include "platform/demo/demo_boot.hpp"
#include "platform/demo/demo_data.hpp"

namespace bootsmith::demo {

namespace {

const char* const not_found = "The item was not found.";

bool has_program(const std::vector<model::Item>& items, const std::string& exe) {
    return std::any_of(items.begin(), items.end(), [&exe](const model::Item& item) {
        return util::equals_ignore_ascii_case(item.exe, exe);
    });
}

std::vector<model::Candidate> not_yet_starting(std::vector<model::Candidate> candidates,
                                               const std::vector<model::Item>& items) {
    std::erase_if(candidates, [&items](const model::Candidate& candidate) {
        return has_program(items, candidate.exe);
    });
    return candidates;
}

model::Item created_item(const model::CreateRequest& request) {
    bool boot = request.mode == "boot";
    model::Item item = boot ? model::Item("task", "Scheduled task", "machine",
                                          "\\Bootsmith\\" + request.name, request.name)
                            : model::Item("run", "Registry (Run, this user)", "user",
                                          "HKCU\\Run\\64", "Bootsmith-" + request.name);
    if (boot) {
        item.extra.set("uri", item.location);
    }
    item.state_text = boot ? "Enabled (runs at boot)" : "Enabled";
    item.command = request.command;
    item.exe = request.exe;
    item.enabled = true;
    item.managed = true;
    item.origin = "Created by Bootsmith";
    return item;
}

}  // namespace

DemoPlatform::DemoPlatform()
    : m_items(initial_items(std::getenv("BOOTSMITH_TEST_XSS") != nullptr)) {
    add_boot_figures(m_items);
}

platform::SystemInfo DemoPlatform::system_info() const {
    return {"windows",
            "Windows 11 Pro 24H2 (demonstration data)",
            "DEMO-PC",
            "demouser",
            "C:\\Users\\demouser",
            true,
            true};
}

platform::ScanResult DemoPlatform::scan() {
    std::lock_guard lock(m_mutex);
    std::vector<model::Item> items = m_items;
    refresh_start_paths(items);
    return {std::move(items),
            {"Demonstration data: nothing here is read from, or written to, a real "
             "computer."}};
}

platform::CandidateList DemoPlatform::running_programs(const std::vector<model::Item>&) {
    std::lock_guard lock(m_mutex);
    platform::CandidateList list{not_yet_starting(process_candidates(), m_items), {}};
    list.candidates.push_back(service_candidate());
    return list;
}

platform::CandidateList DemoPlatform::installed_apps(const std::vector<model::Item>&) {
    std::lock_guard lock(m_mutex);
    return {not_yet_starting(app_candidates(), m_items), {}};
}

Result<platform::ChangeOutcome> DemoPlatform::toggle(const model::Item& wanted, bool enable,
                                                     bool now) {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_items.begin(), m_items.end(),
                           [&wanted](const model::Item& item) { return item.id == wanted.id; });
    if (it == m_items.end()) {
        return fail(not_found);
    }
    it->enabled = enable;
    if (it->kind == "service") {
        it->state_text = enable ? "Automatic" : "Disabled";
        if (!enable && now) {
            it->running = false;
        }
    } else {
        it->state_text = enable ? "Enabled" : "Disabled";
    }
    return platform::ChangeOutcome{
        it->name + (enable ? " will start with Windows" : " will no longer start with Windows") +
            " (demonstration only).",
        {}};
}

std::vector<std::string> DemoPlatform::creation_problems(
    const model::CreateRequest& request, const std::vector<model::Item>& present) const {
    const std::string id = created_item(request).id;
    for (const auto& item : present) {
        if (item.id == id) {
            return {"An entry called \"" + item.name +
                    "\" starts with the computer already, and two entries of one name could not "
                    "be told apart; choose another name with --name."};
        }
    }
    return {};
}

Result<model::Item> DemoPlatform::create(const model::CreateRequest& request) {
    std::lock_guard lock(m_mutex);
    model::Item item = created_item(request);
    // Two entries with one id could not be told apart; the plan says so first.
    for (const auto& existing : m_items) {
        if (existing.id == item.id) {
            return fail("An entry with this name starts with the computer already.");
        }
    }
    m_items.push_back(std::move(item));
    return m_items.back();
}

Result<platform::ChangeOutcome> DemoPlatform::remove(const model::Item& wanted) {
    std::lock_guard lock(m_mutex);
    auto removed =
        std::erase_if(m_items, [&wanted](const model::Item& item) { return item.id == wanted.id; });
    if (removed == 0) {
        return fail(not_found);
    }
    return platform::ChangeOutcome{"Removed " + wanted.name + " (demonstration only).", {}};
}

Status DemoPlatform::elevate(const std::vector<std::string>&) {
    return fail("The demonstration is already shown with administrator rights.");
}

void DemoPlatform::open_browser(const std::string&) {}

std::vector<platform::Probe> DemoPlatform::doctor() {
    return {{"Demonstration data", "The demonstration reads nothing from a real computer.", "ok"}};
}

Result<platform::BootPhases> DemoPlatform::boot_phases() {
    return demo_boot_phases();
}

}  // namespace bootsmith::demo
