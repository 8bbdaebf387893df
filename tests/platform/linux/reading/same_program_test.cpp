#include <gtest/gtest.h>

#include "platform/linux/linux_tree.hpp"
#include "platform/linux/reading/same_program.hpp"

namespace bootsmith::model {
void PrintTo(const StartPath& path, std::ostream* out);
void PrintTo(const StartPath& path, std::ostream* out) {
    *out << "{" << path.name << ", " << path.how << ", " << path.on << ", " << path.with_it << "}";
}
}  // namespace bootsmith::model

namespace bootsmith::linux_backend {
namespace {

using Paths = std::vector<model::StartPath>;

model::Item entry(const char* kind, const char* name, const char* command, const char* exe,
                  bool enabled) {
    model::Item item(kind, "", "user", "", name);
    item.command = command;
    item.exe = exe;
    item.enabled = enabled;
    if (std::string_view(kind).starts_with("systemd")) {
        item.extra.set("unit", name);
    }
    return item;
}

TEST(SameProgram, EntriesThatRunTheSameProgramNameEachOther) {
    bootsmith::testing::LinuxTree tree;
    tree.write("/opt/sync/syncd", "#!/bin/sh\n");
    tree.link("/usr/bin/syncd", "../../opt/sync/syncd");
    std::vector<model::Item> items = {
        entry("autostart", "Sync", "/usr/bin/syncd --tray", "/usr/bin/syncd", false),
        entry("autostart", "Sync (old)", "/opt/sync/syncd", "/opt/sync/syncd", true),
        entry("systemd-user", "syncd.service", "/opt/sync/syncd -q", "/opt/sync/syncd", true),
        entry("systemd-user", "syncd-2.service", "/opt/sync/syncd", "/opt/sync/syncd", false),
        entry("systemd", "syncd-system.service", "/opt/sync/syncd", "/opt/sync/syncd", true),
        entry("cron", "@reboot /opt/sync/syncd", "/opt/sync/syncd", "/opt/sync/syncd", true),
        entry("cron", "@reboot syncd -x", "syncd -x", "/usr/bin/syncd", false),
        entry("cron", "@reboot sleep 9 && a", "sleep 9 && a", "/bin/sleep", true),
        entry("cron", "@reboot sleep 9 && b", "sleep 9 && b", "/bin/sleep", true),
        entry("autostart", "App one", "flatpak run org.one", "/usr/bin/flatpak", true),
        entry("autostart", "App two", "flatpak run org.two", "/usr/bin/flatpak", true),
        entry("autostart", "Script a", "python3 /srv/a.py", "/usr/bin/python3", true),
        entry("autostart", "Script b", "python3 /srv/b.py", "/usr/bin/python3", true),
        entry("autostart", "No program", "", "", true),
    };
    add_same_program_paths(tree.options().roots, items);
    const Paths expected[] = {
        {{"Sync (old)", "autostart", true},
         {"syncd.service", "unit", true},
         {"syncd-2.service", "unit", false}},
        {{"Sync", "autostart", false},
         {"syncd.service", "unit", true},
         {"syncd-2.service", "unit", false}},
        {{"Sync", "autostart", false}, {"Sync (old)", "autostart", true}},
        {{"Sync", "autostart", false}, {"Sync (old)", "autostart", true}},
        {},  // a system unit is not the user's session
        {{"@reboot syncd -x", "cron", false}},
        {{"@reboot /opt/sync/syncd", "cron", true}},
        {},  // a shell line is compared whole
        {},
        {},  // a launcher starts what its arguments name
        {},
        {},  // an interpreter runs its script
        {},
        {},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].also_started_by, expected[i]) << items[i].name;
    }
}

}  // namespace
}  // namespace bootsmith::linux_backend
