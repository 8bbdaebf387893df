#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/text.hpp"
#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Without systemd and autostart folders, cron and rc.local are all a scan finds.
class CronScan : public ::testing::Test {
  protected:
    CronScan() {
        tree.remove("/run/systemd");
        tree.fakes().add_logged(
            "crontab", "f=" + bootsmith::testing::shell_quoted(tree.answers()) +
                           "/crontab\n"
                           "[ -f \"$f\" ] || { echo \"no crontab for alice\" >&2; exit 1; }\n"
                           "/bin/cat \"$f\"");
    }

    platform::ScanResult scan(const LinuxOptions& options) const {
        return LinuxPlatform(options).scan();
    }
    platform::ScanResult scan() const { return scan(tree.options()); }

    LinuxTree tree;
};

TEST_F(CronScan, UserCrontabRebootLines) {
    const std::string long_command =
        "/opt/a/very/long/path/to/some/program --with --many --options --that --go --on";
    tree.answer("crontab",
                "# m h dom mon dow command\n"
                "MAILTO=alice\n"
                "@reboot cd /srv && ./run # bootsmith:run-srv\n"
                "#bootsmith-off# @reboot /opt/x.sh --flag\n"
                "# @reboot /opt/commented.sh\n"
                "*/5 * * * * /opt/often.sh\n"
                "@reboot " +
                    long_command + "\n");
    auto result = scan();
    EXPECT_THAT(result.notes, ElementsAre(HasSubstr("does not use systemd")));
    ASSERT_EQ(result.items.size(), 3u);

    const model::Item& managed = result.items[0];
    EXPECT_EQ(managed.id, "cron|user|crontab|@reboot cd /srv && ./run");
    EXPECT_EQ(managed.kind_label, "cron @reboot");
    EXPECT_EQ(managed.scope, "user");
    EXPECT_EQ(managed.location, "crontab");
    EXPECT_EQ(managed.command, "cd /srv && ./run");
    EXPECT_EQ(managed.extra.get("line_cmd"), "cd /srv && ./run");
    EXPECT_EQ(managed.exe, "cd");
    EXPECT_EQ(managed.extra.get("short"), "cd");
    EXPECT_EQ(managed.extra.get("runs_as"), "");
    EXPECT_TRUE(managed.managed);
    EXPECT_EQ(managed.origin, "Created by Bootsmith");
    EXPECT_TRUE(managed.enabled);
    EXPECT_EQ(managed.state_text, "Enabled (runs at boot)");
    EXPECT_EQ(managed.toggle, "ok");

    const model::Item& off = result.items[1];
    EXPECT_FALSE(off.enabled);
    EXPECT_EQ(off.state_text, "Disabled");
    EXPECT_EQ(off.exe, "/opt/x.sh");
    EXPECT_EQ(off.extra.get("short"), "x.sh");
    EXPECT_FALSE(off.managed);
    EXPECT_EQ(off.origin, "");

    const model::Item& long_item = result.items[2];
    EXPECT_EQ(long_item.name, "@reboot " + util::shorten(long_command, 48));
    EXPECT_EQ(util::char_count(long_item.name), 8u + 48u);
    EXPECT_EQ(long_item.command, long_command);
    EXPECT_EQ(tree.fakes().calls(), "crontab -l\n");
}

TEST_F(CronScan, TwinLinesGetIdsOfTheirOwnAndTheirPlace) {
    tree.answer("crontab",
                "@reboot /opt/job.sh\n"
                "#bootsmith-off# @reboot /opt/job.sh\n"
                "@reboot /opt/job.sh#2\n"
                "@reboot /opt/job.sh\n"
                "@reboot /opt/once.sh\n");
    auto result = scan();
    ASSERT_EQ(result.items.size(), 5u);
    const std::string id = "cron|user|crontab|@reboot /opt/job.sh";
    const struct {
        std::string id, twin;
    } expected[] = {
        {id, "1"},
        {id + "#3", "2"},
        {id + "#2", ""},
        {id + "#4", "3"},
        {"cron|user|crontab|@reboot /opt/once.sh", ""},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(result.items[i].id, expected[i].id) << i;
        EXPECT_EQ(result.items[i].extra.get("twin"), expected[i].twin) << i;
    }
}

TEST_F(CronScan, RootActingForTheUserReadsTheirCrontab) {
    tree.answer("crontab", "@reboot /opt/x.sh\n");
    tree.set_uid(0);
    LinuxOptions options = tree.options();
    options.env.sudo_user = "alice";
    auto result = scan(options);
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(tree.fakes().calls(), "crontab -u alice -l\n");
}

TEST_F(CronScan, NoCrontabIsNoLines) {
    auto result = scan();
    EXPECT_THAT(result.items, IsEmpty());
    EXPECT_EQ(result.notes.size(), 1u);  // only the systemd note
}

TEST_F(CronScan, ComputerWideFilesNameTheAccount) {
    tree.write("/etc/crontab",
               "SHELL=/bin/sh\n"
               "17 * * * * root cd / && run-parts --report /etc/cron.hourly\n"
               "@reboot root /usr/local/bin/boot-task --x\n"
               "@reboot root\n"
               "@reboot   www-data   /srv/web/start # bootsmith:web\n");
    auto result = scan();
    ASSERT_EQ(result.items.size(), 2u);
    const model::Item& task = result.items[0];
    EXPECT_EQ(task.id, "cron|machine|/etc/crontab|@reboot /usr/local/bin/boot-task --x");
    EXPECT_EQ(task.scope, "machine");
    EXPECT_EQ(task.extra.get("runs_as"), "root");
    EXPECT_EQ(task.extra.get("line_cmd"), "/usr/local/bin/boot-task --x");
    EXPECT_EQ(task.extra.get("short"), "boot-task");
    EXPECT_EQ(task.toggle, "admin");
    const model::Item& web = result.items[1];
    EXPECT_EQ(web.extra.get("runs_as"), "www-data");
    EXPECT_EQ(web.command, "/srv/web/start");
    EXPECT_TRUE(web.managed);
}

TEST_F(CronScan, AdministratorsMaySwitchComputerWideLines) {
    tree.write("/etc/crontab", "@reboot root /usr/local/bin/boot-task\n");
    tree.set_uid(0);
    LinuxOptions options = tree.options();
    options.env.user = "root";
    auto result = scan(options);
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].toggle, "ok");
}

TEST_F(CronScan, CrontabProgramMissingStillReadsComputerFiles) {
    LinuxTree bare;  // its own PATH holds no crontab
    bare.remove("/run/systemd");
    bare.write("/etc/crontab", "@reboot root /opt/job\n");
    auto result = LinuxPlatform(bare.options()).scan();
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].location, "/etc/crontab");
}

struct CronDCase {
    const char* name;
    bool debian;
    bool read;
};

TEST_F(CronScan, CronDSkipsLeftoversAndOnDebianDottedNames) {
    const CronDCase cases[] = {
        {"job", false, true},
        {"job", true, true},
        {"job~", false, false},
        {"job.bak", false, false},
        {"job.orig", false, false},
        {"job.rpmsave", false, false},
        {"job.rpmnew", false, false},
        {"job.dpkg-old", false, false},
        {"job.dpkg-dist", false, false},
        {"job.dpkg-new", false, false},
        {"job.swp", false, false},
        {"job.sh", false, true},
        {"job.sh", true, false},
        {"job_2", true, true},
    };
    for (const auto& c : cases) {
        tree.remove("/etc/cron.d");
        tree.remove("/etc/debian_version");
        if (c.debian) {
            tree.write("/etc/debian_version", "12.5\n");
        }
        tree.write(std::string("/etc/cron.d/") + c.name, "@reboot root /opt/job\n");
        auto result = scan();
        EXPECT_EQ(result.items.size(), c.read ? 1u : 0u) << c.name << (c.debian ? " debian" : "");
        if (c.read && !result.items.empty()) {
            EXPECT_EQ(result.items[0].location, std::string("/etc/cron.d/") + c.name);
        }
    }
}

TEST_F(CronScan, CronDJunkIsHarmless) {
    std::string junk;
    for (int i = 0; i < 20000; ++i) {
        junk += static_cast<char>((i * 131) % 256);
    }
    tree.write("/etc/cron.d/junk", junk);
    tree.write("/etc/cron.d/mixed", junk + "\n@reboot root /opt/after-junk\n");
    tree.write("/etc/cron.d/huge", "@reboot root /opt/huge\n" + std::string(3 * 1024 * 1024, '#'));
    tree.make_folder("/etc/cron.d/folder");
    ASSERT_EQ(::mkfifo((tree.root() / "etc/cron.d/fifo").c_str(), 0644), 0);
    tree.link("/etc/cron.d/loop", "loop");
    auto result = scan();
    std::vector<std::string> commands;
    for (const auto& item : result.items) {
        commands.push_back(item.command);
    }
    EXPECT_THAT(commands, ::testing::Contains("/opt/after-junk"));
    EXPECT_THAT(commands, ::testing::Not(::testing::Contains("/opt/huge")));
}

TEST_F(CronScan, RcLocalRunningCommandsIsOneLockedItem) {
    tree.write("/etc/rc.local",
               "#!/bin/sh -e\n# comment\n\n  /opt/a --x  \nexit 0\n/opt/b\nexit 0\n");
    tree.set_mode("/etc/rc.local", 0744);
    auto result = scan();
    ASSERT_EQ(result.items.size(), 1u);
    const model::Item& rc = result.items[0];
    EXPECT_EQ(rc.id, "rc|machine|/etc/rc.local|rc.local");
    EXPECT_EQ(rc.kind_label, "rc.local script");
    EXPECT_EQ(rc.description, "2 command(s) run at boot: /opt/a --x; /opt/b");
    EXPECT_EQ(rc.state_text, "Runs at boot");
    EXPECT_TRUE(rc.enabled);
    EXPECT_EQ(rc.origin, "Installed program");
    EXPECT_EQ(rc.toggle, "locked");
    EXPECT_EQ(rc.toggle_note,
              "It is a shell script. Edit /etc/rc.local by hand, or `chmod -x` it to stop it "
              "running.");
    EXPECT_EQ(rc.extra.get("short"), "rc.local");
}

TEST_F(CronScan, RcLocalNeedsCommandsAndAnExecuteBit) {
    const std::tuple<const char*, unsigned, bool> cases[] = {
        {"#!/bin/sh\n# nothing\nexit 0\n", 0755, false},
        {"/opt/a\n", 0644, false},
        {"/opt/a\n", 0601, true},
        {"", 0755, false},
    };
    for (const auto& [text, mode, listed] : cases) {
        tree.write("/etc/rc.local", text);
        tree.set_mode("/etc/rc.local", mode);
        EXPECT_EQ(scan().items.size(), listed ? 1u : 0u) << text << " " << mode;
    }
}

TEST_F(CronScan, RcLocalDescriptionIsShortened) {
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += "/usr/local/bin/step" + std::to_string(i) + "\n";
    }
    tree.write("/etc/rc.local", text);
    tree.set_mode("/etc/rc.local", 0755);
    auto result = scan();
    ASSERT_EQ(result.items.size(), 1u);
    const std::string prefix = "30 command(s) run at boot: ";
    ASSERT_TRUE(result.items[0].description.starts_with(prefix));
    EXPECT_EQ(util::char_count(result.items[0].description.substr(prefix.size())), 100u);
}

}  // namespace
}  // namespace bootsmith::linux_backend
