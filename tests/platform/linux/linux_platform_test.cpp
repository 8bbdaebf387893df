#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/store.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;

TEST(LinuxPlatform, ScansEverySourceInOrder) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "cron.service enabled enabled\n");
    tree.answer("user/unit-files", "sync.service enabled enabled\n");
    tree.write("/etc/xdg/autostart/tray.desktop", "[Desktop Entry]\nName=Tray\nExec=tray\n");
    tree.write("/home/alice/.config/autostart/mine.desktop",
               "[Desktop Entry]\nName=Mine\nExec=m\n");
    tree.fakes().add("crontab", "echo '@reboot /opt/boot.sh'");
    tree.write("/etc/crontab", "@reboot root /opt/machine.sh\n");
    tree.write("/etc/rc.local", "/opt/rc\n");
    tree.set_mode("/etc/rc.local", 0755);
    auto result = LinuxPlatform(tree.options()).scan();
    std::vector<std::string> kinds;
    for (const auto& item : result.items) {
        kinds.push_back(item.kind + ":" + item.name);
    }
    EXPECT_THAT(kinds, ElementsAre("systemd:cron.service", "systemd-user:sync.service",
                                   "autostart:Tray", "autostart:Mine", "cron:@reboot /opt/boot.sh",
                                   "cron:@reboot /opt/machine.sh", "rc:rc.local"));
    EXPECT_TRUE(result.notes.empty());
}

TEST(LinuxPlatform, WithoutSystemdTheOtherSourcesAreStillListed) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.remove("/run/systemd");
    tree.answer("system/unit-files", "cron.service enabled enabled\n");
    tree.write("/etc/xdg/autostart/tray.desktop", "[Desktop Entry]\nName=Tray\nExec=tray\n");
    tree.fakes().add("crontab", "echo '@reboot /opt/boot.sh'");
    tree.write("/etc/rc.local", "/opt/rc\n");
    tree.set_mode("/etc/rc.local", 0755);
    auto result = LinuxPlatform(tree.options()).scan();
    std::vector<std::string> kinds;
    for (const auto& item : result.items) {
        kinds.push_back(item.kind + ":" + item.name);
    }
    EXPECT_THAT(kinds, ElementsAre("autostart:Tray", "cron:@reboot /opt/boot.sh", "rc:rc.local"));
    EXPECT_THAT(result.notes,
                ElementsAre("This computer does not use systemd, so services are not listed. "
                            "Desktop autostart entries and cron @reboot jobs still are."));
    EXPECT_EQ(tree.call_count("systemctl"), 0u);
}

TEST(LinuxPlatform, TheSystemRecordIsReadOnce) {
    LinuxTree tree;
    tree.write("/proc/sys/kernel/hostname", "first\n");
    LinuxPlatform platform(tree.options());
    tree.write("/proc/sys/kernel/hostname", "second\n");
    auto info = platform.system_info();
    EXPECT_EQ(info.host, "first");
    EXPECT_EQ(info.os, "linux");
    EXPECT_FALSE(info.demo);
    EXPECT_EQ(info.user, "alice");
}

TEST(LinuxPlatform, LocationsComeFromTheKnowledgeStoreUnlessGiven) {
    LinuxTree tree;
    LinuxOptions options = tree.options();
    options.locations->linux_autostart_dirs = {"/only/here"};
    EXPECT_THAT(linux_locations(options).linux_autostart_dirs, ElementsAre("/only/here"));
    options.locations.reset();
    EXPECT_EQ(linux_locations(options).linux_autostart_dirs,
              knowledge::current_store()->locations.linux_autostart_dirs);
}

TEST(LinuxPlatform, FactoryBuildsTheRealOne) {
    auto platform = make_linux_platform();
    ASSERT_NE(platform, nullptr);
    auto info = platform->system_info();
    EXPECT_EQ(info.os, "linux");
    EXPECT_FALSE(info.demo);
    EXPECT_FALSE(info.os_version.empty());
}

}  // namespace
}  // namespace bootsmith::linux_backend
