#include "platform/linux/reading/processes.hpp"
#include "platform/linux/process_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::add_process;
using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;

TEST(Cgroup, FindsTheServiceAndTheUserManager) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"0::/system.slice/cron.service", "cron.service", false},
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/syncthing.service",
         "syncthing.service", true},
        {"0::/user.slice/user-1000.slice/session-2.scope", "", false},
        {"0::/user.slice/user-1000.slice/user@1000.service/init.scope", "", true},
        {"0::/user.slice/user-1000.slice/user@1000.service", "", true},
        {"12:pids:/system.slice/ssh.service\n1:name=systemd:/system.slice/ssh.service", "", false},
        {"1:name=systemd:/x\n0::/system.slice/ssh.service\n0::/system.slice/other.service",
         "ssh.service", false},
        {"0::/", "", false},
        {"", "", false},
    };
    for (const auto& [text, unit, user_manager] : cases) {
        ProcessInfo process;
        read_cgroup(text, process);
        EXPECT_EQ(process.unit, unit) << text;
        EXPECT_EQ(process.in_user_manager, user_manager) << text;
    }
}

TEST(Processes, ReadsWhatProcShows) {
    LinuxTree tree;
    add_process(tree, 300, {"/usr/bin/app", "--x", ""}, "/usr/bin/app", 1000,
                "0::/system.slice/app.service", "/srv");
    add_process(tree, 20, {"old"}, "/opt/old/bin/old (deleted)", 0);
    add_process(tree, 2, {}, "/kthread");  // kernel thread
    add_process(tree, 7, {"hidden"}, "");  // another account's
    tree.write("/proc/self/status", "Uid:\t1000\t1000\t1000\t1000\n");
    tree.write("/proc/cpuinfo", "");
    tree.write("/proc/4000x/cmdline", std::string("x\0", 2));
    auto processes = read_processes(tree.options().roots);
    ASSERT_EQ(processes.size(), 2u);
    EXPECT_EQ(processes[0].pid, 20u);
    EXPECT_EQ(processes[0].exe, "/opt/old/bin/old");
    EXPECT_EQ(processes[0].uid, 0u);
    EXPECT_EQ(processes[0].cwd, "");
    EXPECT_EQ(processes[1].pid, 300u);
    EXPECT_THAT(processes[1].argv, ElementsAre("/usr/bin/app", "--x"));
    EXPECT_EQ(processes[1].cwd, "/srv");
    EXPECT_EQ(processes[1].unit, "app.service");
    EXPECT_FALSE(processes[1].in_user_manager);
}

TEST(Processes, MissingStatusMeansUidZeroAndNoProcIsEmpty) {
    LinuxTree tree;
    add_process(tree, 5, {"a"}, "/bin/a");
    tree.remove("/proc/5/status");
    auto processes = read_processes(tree.options().roots);
    ASSERT_EQ(processes.size(), 1u);
    EXPECT_EQ(processes[0].uid, 0u);
    tree.remove("/proc");
    EXPECT_TRUE(read_processes(tree.options().roots).empty());
}

TEST(Processes, OwnExecutableIsResolved) {
    LinuxTree tree;
    tree.write("/usr/lib/bootsmith/bootsmith", "");
    tree.link("/usr/bin/bootsmith", "../lib/bootsmith/bootsmith");
    tree.link("/proc/self/exe", "/usr/bin/bootsmith");
    EXPECT_EQ(own_executable(tree.options().roots), "/usr/lib/bootsmith/bootsmith");
    tree.remove("/proc/self/exe");
    EXPECT_EQ(own_executable(tree.options().roots), "");
}

}  // namespace
}  // namespace bootsmith::linux_backend
