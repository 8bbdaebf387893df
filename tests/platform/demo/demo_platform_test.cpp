#include <gtest/gtest.h>

#include <algorithm>

#include "platform/demo/demo_platform.hpp"
#include "support/result_matchers.hpp"
#include "support/scoped_env.hpp"

namespace bootsmith::demo {
namespace {

using testing::FailsWith;
using testing::IsOk;

// A copy, so that looking into the result of a fresh scan stays valid.
std::optional<model::Item> find(const std::vector<model::Item>& items, std::string_view name) {
    auto it = std::find_if(items.begin(), items.end(),
                           [name](const model::Item& i) { return i.name == name; });
    return it == items.end() ? std::nullopt : std::optional<model::Item>(*it);
}

std::vector<std::string> ids(const std::vector<model::Candidate>& list) {
    std::vector<std::string> result;
    for (const auto& c : list)
        result.push_back(c.id);
    return result;
}

TEST(DemoPlatform, SystemRecordIsTheInventedWindowsComputer) {
    DemoPlatform demo;
    auto system = demo.system_info();
    EXPECT_EQ(system.os, "windows");
    EXPECT_EQ(system.host, "DEMO-PC");
    EXPECT_TRUE(system.admin);
    EXPECT_TRUE(system.demo);
}

TEST(DemoPlatform, ScanListsTheItemsInTableOrder) {
    testing::ScopedEnv no_markup("BOOTSMITH_TEST_XSS", std::nullopt);
    DemoPlatform demo;
    auto scan = demo.scan();
    ASSERT_EQ(scan.items.size(), 26u);
    EXPECT_EQ(scan.notes, std::vector<std::string>{"Demonstration data: nothing here is read "
                                                   "from, or written to, a real computer."});
    EXPECT_EQ(scan.items[0].id, "service|machine|Services|RpcSs");
    EXPECT_EQ(scan.items[0].extra.get("label"), "Remote Procedure Call (RPC)");
    EXPECT_EQ(scan.items[0].command, "\"C:\\Windows\\System32\\svchost.exe\"");
    EXPECT_EQ(scan.items[0].dependents.size(), 5u);
    EXPECT_EQ(scan.items[13].name, "AcmeDevServer");
    EXPECT_EQ(scan.items[15].id, "run|user|HKCU\\Run\\64|OneDrive");
    EXPECT_EQ(scan.items[25].kind, "folder");
    EXPECT_EQ(scan.items[25].extra.get("fname"), "Acme Screenshot.lnk");

    auto health = find(scan.items, "SecurityHealth");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->location, "HKLM\\Run\\64");
    EXPECT_EQ(health->kind_label, "Registry (Run, all users)");
    EXPECT_EQ(health->origin, "Operating system");
    EXPECT_EQ(find(scan.items, "Steam")->state_text, "Disabled");
    EXPECT_EQ(find(scan.items, "Steam")->origin, "Installed program");
    auto defrag = find(scan.items, "ScheduledDefrag");
    EXPECT_EQ(defrag->extra.get("uri"), "\\Microsoft\\Windows\\Defrag\\ScheduledDefrag");
    EXPECT_EQ(defrag->origin, "Operating system");
    auto panel = find(scan.items, "OemPanelHost");
    EXPECT_TRUE(panel->publisher.empty());
    EXPECT_TRUE(panel->description.empty());
}

TEST(DemoPlatform, MarkupItemOnlyWhenTheVariableIsPresent) {
    testing::ScopedEnv markup("BOOTSMITH_TEST_XSS", "");
    DemoPlatform demo;
    auto items = demo.scan().items;
    ASSERT_EQ(items.size(), 27u);
    EXPECT_EQ(items.back().name, "<img src=x onerror=\"window.__pwned=1\">Evil");
    EXPECT_EQ(items.back().publisher, "<b>Bad Inc</b>");
}

TEST(DemoPlatform, TheUpdaterTaskStartsTheUpdaterServiceWhileItIsOn) {
    DemoPlatform demo;
    auto started_by = [&demo] { return find(demo.scan().items, "gupdate")->also_started_by; };
    EXPECT_EQ(started_by(),
              (std::vector<model::StartPath>{{"GoogleUpdateTaskMachineCore", "timer", true}}));
    auto task = find(demo.scan().items, "GoogleUpdateTaskMachineCore");
    ASSERT_TRUE(task);
    ASSERT_TRUE(demo.toggle(*task, false, false));
    EXPECT_FALSE(started_by().front().on);
}

TEST(DemoPlatform, SwitchingAServiceSetsItsStateText) {
    DemoPlatform demo;
    auto items = demo.scan().items;
    auto update = find(items, "wuauserv");
    auto on = demo.toggle(*update, true, false);
    ASSERT_THAT(on, IsOk());
    EXPECT_EQ(on->message, "wuauserv will start with Windows (demonstration only).");
    EXPECT_TRUE(on->notes.empty());
    EXPECT_EQ(find(demo.scan().items, "wuauserv")->state_text, "Automatic");

    auto spooler = find(items, "Spooler");
    ASSERT_THAT(demo.toggle(*spooler, false, true), IsOk());
    auto after = find(demo.scan().items, "Spooler");
    EXPECT_EQ(after->state_text, "Disabled");
    EXPECT_FALSE(after->running);
    EXPECT_FALSE(after->enabled);

    auto spotify = demo.toggle(*find(items, "Spotify"), false, true);
    ASSERT_THAT(spotify, IsOk());
    EXPECT_EQ(spotify->message, "Spotify will no longer start with Windows (demonstration only).");
    EXPECT_EQ(find(demo.scan().items, "Spotify")->state_text, "Disabled");
}

TEST(DemoPlatform, CreateThenRemove) {
    DemoPlatform demo;
    model::CreateRequest request{"Mozilla Firefox",
                                 "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"",
                                 "C:\\Program Files\\Mozilla Firefox\\firefox.exe",
                                 "",
                                 "login",
                                 "demouser",
                                 ""};
    auto created = demo.create(request);
    ASSERT_THAT(created, IsOk());
    EXPECT_EQ(created->name, "Bootsmith-Mozilla Firefox");
    EXPECT_EQ(created->id, "run|user|HKCU\\Run\\64|Bootsmith-Mozilla Firefox");
    EXPECT_TRUE(created->managed);
    EXPECT_EQ(created->origin, "Created by Bootsmith");
    EXPECT_TRUE(find(demo.scan().items, "Bootsmith-Mozilla Firefox"));

    // Firefox now starts with the computer, so it is no longer offered.
    auto running = ids(demo.running_programs({}).candidates);
    EXPECT_EQ(running, (std::vector<std::string>{"proc|code", "proc|keepass", "proc|node",
                                                 "proc|explorer", "svc|wuauserv"}));

    auto removed = demo.remove(*created);
    ASSERT_THAT(removed, IsOk());
    EXPECT_EQ(removed->message, "Removed Bootsmith-Mozilla Firefox (demonstration only).");
    EXPECT_THAT(demo.remove(*created), FailsWith("The item was not found."));
    EXPECT_THAT(demo.toggle(*created, true, false), FailsWith("The item was not found."));
}

TEST(DemoPlatform, BootMethodCreatesAMachineTask) {
    DemoPlatform demo;
    auto created = demo.create({"Backup", "b.exe", "b.exe", "", "boot", "", ""});
    ASSERT_THAT(created, IsOk());
    EXPECT_EQ(created->kind, "task");
    EXPECT_EQ(created->scope, "machine");
    EXPECT_EQ(created->location, "\\Bootsmith\\Backup");
    EXPECT_EQ(created->extra.get("uri"), "\\Bootsmith\\Backup");
    EXPECT_EQ(created->state_text, "Enabled (runs at boot)");
}

TEST(DemoPlatform, CandidatesAndTheirModes) {
    DemoPlatform demo;
    auto running = demo.running_programs({}).candidates;
    ASSERT_EQ(running.size(), 6u);
    EXPECT_EQ(running[0].pids, (std::vector<std::uint32_t>{4120, 4188, 4260, 5012}));
    EXPECT_EQ(running[0].command, "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"");
    EXPECT_EQ(running[0].user, "demouser");
    ASSERT_EQ(running[0].modes.size(), 2u);
    EXPECT_TRUE(running[0].modes[0].recommended);
    EXPECT_TRUE(running[0].modes[1].needs_admin);
    const auto& explorer = running[4];
    EXPECT_TRUE(explorer.system);
    EXPECT_FALSE(explorer.modes[0].recommended);
    EXPECT_FALSE(explorer.modes[1].recommended);
    const auto& service = running[5];
    EXPECT_EQ(service.entry_id, "service|machine|Services|wuauserv");
    ASSERT_EQ(service.modes.size(), 1u);
    EXPECT_EQ(service.modes[0].id, "service-auto");

    auto apps = demo.installed_apps({}).candidates;
    EXPECT_EQ(ids(apps), (std::vector<std::string>{"app|vlc", "app|npp", "app|7zip", "app|calc"}));
    EXPECT_EQ(apps[3].command, "C:\\Windows\\System32\\calc.exe");
    EXPECT_TRUE(apps[3].system);
    EXPECT_TRUE(apps[0].pids.empty());
}

TEST(DemoPlatform, ElevationAndDoctor) {
    DemoPlatform demo;
    EXPECT_THAT(demo.elevate({"serve"}),
                FailsWith("The demonstration is already shown with administrator rights."));
    auto probes = demo.doctor();
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].status, "ok");
}

}  // namespace
}  // namespace bootsmith::demo
