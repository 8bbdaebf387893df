#include "platform/linux/os/system.hpp"
#include "platform/linux/linux_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::HasSubstr;

TEST(PasswdLine, ReadsNameUidGidAndHome) {
    auto alice = parse_passwd_line("alice:x:1000:1000:Alice A:/home/alice:/bin/bash");
    ASSERT_TRUE(alice.has_value());
    EXPECT_EQ(alice->name, "alice");
    EXPECT_EQ(alice->uid, 1000u);
    EXPECT_EQ(alice->gid, 1000u);
    EXPECT_EQ(alice->home, "/home/alice");
    auto odd_gid = parse_passwd_line("svc:x:120:abc::/var/svc");
    ASSERT_TRUE(odd_gid.has_value());
    EXPECT_EQ(odd_gid->gid, 0u);
    for (const char* bad : {"short:x:1:1:x", "nouid:x::1::/h:/s", "neg:x:-1:1::/h:/s",
                            "big:x:99999999999:1::/h:/s", "text:x:12a:1::/h:/s", ""}) {
        EXPECT_FALSE(parse_passwd_line(bad).has_value()) << bad;
    }
}

TEST(OwnUid, ReadsTheEffectiveIdAndAssumesAnOrdinaryUserOtherwise) {
    LinuxTree tree;
    const std::pair<const char*, unsigned> cases[] = {
        {"Name:\tx\nUid:\t1000\t0\t0\t0\n", 0},
        {"Uid:\t0\t1234\t1234\t1234\n", 1234},
        {"Name:\tx\n", 1000},
        {"Uid:\t5\n", 1000},
        {"Uid:\t5\tzero\t0\t0\n", 1000},
        {"", 1000},
    };
    for (const auto& [status, uid] : cases) {
        tree.write("/proc/self/status", status);
        EXPECT_EQ(own_effective_uid(tree.options().roots), uid) << status;
    }
    tree.remove("/proc/self/status");
    EXPECT_EQ(own_effective_uid(tree.options().roots), 1000u);
}

TEST(OwnUid, UnreadableStatusIsNotRoot) {
    LinuxTree tree;
    tree.remove("/proc/self/status");
    tree.make_folder("/proc/self/status");  // exists, but is not a readable file
    LinuxOptions options = tree.options();
    EXPECT_EQ(own_effective_uid(options.roots), 1000u);
    EXPECT_FALSE(linux_system_info(options).admin);
}

Environment env_of(const char* user, const char* logname, const char* home, const char* sudo_user,
                   const char* pkexec_uid) {
    Environment env;
    env.user = user;
    env.logname = logname;
    env.home = home;
    env.sudo_user = sudo_user;
    env.pkexec_uid = pkexec_uid;
    return env;
}

struct AccountCase {
    const char* label;
    unsigned euid;
    Environment env;
    const char* expected;
};

TEST(ActingAccount, FollowsSudoPkexecAndTheEnvironment) {
    LinuxTree tree;
    const AccountCase cases[] = {
        {"sudo", 0, env_of("root", "", "", "alice", ""), "alice"},
        {"sudo root falls to USER", 0, env_of("carol", "", "", "root", ""), "carol"},
        {"sudo root falls to LOGNAME", 0, env_of("", "dave", "", "root", ""), "dave"},
        {"nothing set", 0, env_of("", "", "", "", ""), "root"},
        {"pkexec", 0, env_of("root", "", "", "", "1001"), "bob"},
        {"pkexec unknown uid", 0, env_of("root", "", "", "", "4242"), "root"},
        {"pkexec not a number", 0, env_of("", "erin", "", "", "10x"), "erin"},
        {"sudo wins over pkexec", 0, env_of("", "", "", "alice", "1001"), "alice"},
        {"ordinary user by uid", 1001, env_of("mallory", "", "", "", ""), "bob"},
        {"unknown uid takes USER", 4242, env_of("frank", "gina", "", "", ""), "frank"},
        {"unknown uid takes LOGNAME", 4242, env_of("", "gina", "", "", ""), "gina"},
    };
    for (const auto& c : cases) {
        LinuxOptions options = tree.options();
        options.env = c.env;
        EXPECT_EQ(acting_account(options, c.euid), c.expected) << c.label;
    }
}

TEST(AccountLookup, PasswdFirstThenGetent) {
    LinuxTree tree;
    tree.fakes().add_logged(
        "getent",
        "case \"$2\" in\n"
        "  ldapuser|2000) echo 'ldapuser:*:2000:100:LDAP:/net/home/ldapuser:/bin/sh';;\n"
        "  liar) echo 'someoneelse:*:3000:100::/x:/bin/sh';;\n"
        "  *) exit 2;;\n"
        "esac");
    LinuxOptions options = tree.options();
    auto alice = account_by_name(options, "alice");
    ASSERT_TRUE(alice.has_value());
    EXPECT_EQ(alice->uid, 1000u);
    EXPECT_EQ(tree.call_count("getent"), 0u);

    auto ldap = account_by_name(options, "ldapuser");
    ASSERT_TRUE(ldap.has_value());
    EXPECT_EQ(ldap->home, "/net/home/ldapuser");
    auto by_uid = account_by_uid(options, 2000);
    ASSERT_TRUE(by_uid.has_value());
    EXPECT_EQ(by_uid->name, "ldapuser");
    EXPECT_EQ(account_by_uid(options, 1001)->name, "bob");

    EXPECT_FALSE(account_by_name(options, "liar").has_value());
    EXPECT_FALSE(account_by_name(options, "nobody-here").has_value());
    EXPECT_FALSE(account_by_name(options, "").has_value());
    EXPECT_FALSE(account_by_name(options, "a:b").has_value());
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("getent passwd 2000"));
}

TEST(AccountLookup, WithoutPasswdOrGetentTheAccountIsUnknown) {
    LinuxTree tree;
    tree.remove("/etc/passwd");
    EXPECT_FALSE(account_by_name(tree.options(), "alice").has_value());
    EXPECT_FALSE(account_by_uid(tree.options(), 0).has_value());
}

TEST(SystemInfo, DescribesTheComputerOnce) {
    LinuxTree tree;
    tree.write("/etc/os-release",
               "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    tree.write("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    tree.write("/proc/sys/kernel/hostname", "  desk  \n");
    auto info = linux_system_info(tree.options());
    EXPECT_EQ(info.os, "linux");
    EXPECT_EQ(info.os_version, "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0-18-amd64)");
    EXPECT_EQ(info.host, "desk");
    EXPECT_EQ(info.user, "alice");
    EXPECT_EQ(info.home, "/home/alice");
    EXPECT_FALSE(info.admin);
    EXPECT_FALSE(info.demo);
}

TEST(SystemInfo, FallsBackWhenFilesAreMissing) {
    LinuxTree tree;
    tree.write("/proc/sys/kernel/osrelease", "  \n");
    tree.write("/etc/os-release", "NAME=Something\nPRETTY_NAME=\n");
    tree.set_uid(4242);
    LinuxOptions options = tree.options();
    options.env = env_of("ghost", "", "/tmp/ghost-home", "", "");
    auto info = linux_system_info(options);
    EXPECT_EQ(info.os_version, "Linux");
    EXPECT_EQ(info.host, "");
    EXPECT_EQ(info.user, "ghost");
    EXPECT_EQ(info.home, "/tmp/ghost-home");
}

TEST(SystemInfo, UnquotedPrettyNameAndRoot) {
    LinuxTree tree;
    tree.write("/etc/os-release", "PRETTY_NAME=Alpine Linux v3.19\n");
    tree.set_uid(0);
    LinuxOptions options = tree.options();
    options.env = env_of("root", "", "", "alice", "");
    auto info = linux_system_info(options);
    EXPECT_EQ(info.os_version, "Alpine Linux v3.19");
    EXPECT_TRUE(info.admin);
    EXPECT_EQ(info.user, "alice");
    EXPECT_EQ(info.home, "/home/alice");
}

TEST(UserContext, ViaRootOnlyWhenRootActsForSomeoneElse) {
    LinuxTree tree;
    LinuxOptions options = tree.options();
    platform::SystemInfo info{"linux", "", "", "alice", "/home/alice", true, false};
    auto sudo = user_context(options, info);
    EXPECT_EQ(sudo.uid, 1000u);
    EXPECT_EQ(sudo.gid, 1000u);
    EXPECT_TRUE(sudo.via_root);

    info.user = "root";
    info.home = "/root";
    EXPECT_FALSE(user_context(options, info).via_root);

    info.admin = false;
    info.user = "alice";
    EXPECT_FALSE(user_context(options, info).via_root);

    info.user = "unknown";
    tree.set_uid(1234);
    auto unknown = user_context(options, info);
    EXPECT_EQ(unknown.uid, 1234u);
    EXPECT_EQ(unknown.gid, 0u);
}

TEST(UserSystemctl, RunsDirectlyForTheUserThemself) {
    LinuxTree tree;
    tree.fakes().add_logged("systemctl", "echo direct");
    tree.fakes().add_logged("runuser", "exit 1");
    UserContext context{"alice", "/home/alice", 1000, 1000, false};
    auto run = run_user_systemctl(context, {"--user", "list-unit-files"}, 5);
    EXPECT_TRUE(run.ok());
    EXPECT_EQ(run.out, "direct\n");
    EXPECT_EQ(tree.fakes().calls(), "systemctl --user list-unit-files\n");
}

TEST(UserSystemctl, GoesThroughRunuserWithTheSessionVariables) {
    LinuxTree tree;
    tree.fakes().add_logged("systemctl", "echo \"$XDG_RUNTIME_DIR $DBUS_SESSION_BUS_ADDRESS\"");
    // Stands in for runuser: drops its own options and the env word, keeps the settings.
    tree.fakes().add_logged("runuser",
                            "while [ \"$1\" != -- ]; do shift; done; shift; shift\n"
                            "while [ \"${1#*=}\" != \"$1\" ]; do export \"$1\"; shift; done\n"
                            "exec \"$@\"");
    UserContext context{"alice", "/home/alice", 1000, 1000, true};
    auto run = run_user_systemctl(context, {"--user", "list-units"}, 5);
    EXPECT_TRUE(run.ok());
    EXPECT_EQ(run.out, "/run/user/1000 unix:path=/run/user/1000/bus\n");
    EXPECT_EQ(tree.fakes().calls(),
              "runuser -u alice -- env XDG_RUNTIME_DIR=/run/user/1000 "
              "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus systemctl --user list-units\n"
              "systemctl --user list-units\n");
}

TEST(UserSystemctl, FailsWithoutRunuser) {
    LinuxTree tree;
    tree.fakes().add_logged("systemctl", "echo should not run");
    UserContext context{"alice", "/home/alice", 1000, 1000, true};
    auto run = run_user_systemctl(context, {"--user", "list-units"}, 5);
    EXPECT_EQ(run.exit_code, -1);
    EXPECT_FALSE(run.ok());
    EXPECT_EQ(run.err, "runuser is not available, so a command cannot be run as that user");
    EXPECT_EQ(tree.fakes().calls(), "");
}

TEST(ExpandHome, TildeFoldersBelongToTheUser) {
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"~/.config/autostart", "/home/alice", "/home/alice/.config/autostart", true},
        {"~/.config/autostart", "/home/alice/", "/home/alice/.config/autostart", true},
        {"~/x", "/", "/x", true},
        {"/etc/xdg/autostart", "/home/alice", "/etc/xdg/autostart", false},
        {"~other/x", "/home/alice", "~other/x", false},
    };
    for (const auto& [folder, home, path, user] : cases) {
        auto expanded = expand_home(folder, home);
        EXPECT_EQ(expanded.path, path) << folder;
        EXPECT_EQ(expanded.belongs_to_user, user) << folder;
    }
}

TEST(Roots, MapsSystemPathsIntoTheTreeAndBack) {
    LinuxTree tree;
    Roots roots = tree.options().roots;
    EXPECT_EQ(roots.at("/etc/passwd"), tree.root() / "etc/passwd");
    EXPECT_EQ(roots.shown(tree.root() / "usr/bin/x"), "/usr/bin/x");
    EXPECT_EQ(roots.shown("/elsewhere/x"), "/elsewhere/x");
    tree.write("/usr/bin/python3.11", "");
    tree.link("/usr/bin/python3", "python3.11");
    EXPECT_EQ(roots.canonical("/usr/bin/python3"), "/usr/bin/python3.11");
    EXPECT_EQ(roots.canonical("/usr/bin/missing"), "/usr/bin/missing");
    EXPECT_EQ(roots.canonical(""), "");
    Roots real;
    EXPECT_EQ(real.at("/etc/passwd"), "/etc/passwd");
    EXPECT_EQ(real.shown("/etc/passwd"), "/etc/passwd");
}

}  // namespace
}  // namespace bootsmith::linux_backend
