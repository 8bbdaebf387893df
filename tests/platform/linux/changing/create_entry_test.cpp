#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::ChangeTree;
using bootsmith::testing::facts_of;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using ::testing::HasSubstr;

constexpr const char* autostart = "/home/alice/.config/autostart/";
constexpr const char* user_units = "/home/alice/.config/systemd/user/";
// Words with everything that needs escaping: % $ space ' " ; \ and an empty one.
constexpr const char* tricky_command =
    "/usr/bin/tool 50% '$HOME' 'a b' \"it's\" 'say \"hi\"' 'a;b' 'back\\slash' '' -x";

model::CreateRequest request(std::string name, std::string command, std::string mode,
                             std::string workdir = "", std::string user = "") {
    return {std::move(name), std::move(command), "", std::move(workdir),
            std::move(mode), std::move(user),    ""};
}

class Create : public ::testing::Test {
  protected:
    // The scanned item with this id, or a placeholder whose id says it is missing.
    model::Item scanned(const LinuxOptions& options, const std::string& id) {
        for (auto& item : LinuxPlatform(options).scan().items) {
            if (item.id == id) {
                return item;
            }
        }
        return model::Item("missing", "", "", "", id);
    }

    ChangeTree changes;
};

TEST_F(Create, LoginEntriesHaveTheirExactText) {
    LinuxPlatform platform(changes.options());
    auto first = platform.create(request("My Tool!", tricky_command, "login", "/srv/my app"));
    ASSERT_THAT(first, IsOk());
    EXPECT_EQ(changes.file(std::string(autostart) + "bootsmith-my-tool.desktop"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=My Tool!\n"
              "Exec=/usr/bin/tool 50%% \"\\\\$HOME\" \"a b\" \"it's\" \"say \\\\\"hi\\\\\"\" "
              "\"a;b\" \"back\\\\\\\\slash\" \"\" -x\n"
              "Path=/srv/my app\n"
              "Comment=Started at sign-in. Created by Bootsmith.\n"
              "Terminal=false\n"
              "X-GNOME-Autostart-enabled=true\n"
              "X-Bootsmith=true\n");
    EXPECT_EQ(facts_of(changes.at(std::string(autostart) + "bootsmith-my-tool.desktop")).mode,
              0644u);
    auto second = platform.create(request("My Tool!", "/usr/bin/tool", "login"));
    ASSERT_THAT(second, IsOk());
    EXPECT_EQ(second->extra.get("fname"), "bootsmith-my-tool-2.desktop");
    EXPECT_THAT(changes.file(std::string(autostart) + "bootsmith-my-tool-2.desktop"),
                HasSubstr("Exec=/usr/bin/tool\nComment="));
}

TEST_F(Create, FileNamesComeFromTheName) {
    struct Case {
        std::string name;
        std::string file;
    };
    const Case cases[] = {
        {"!!! ???", "bootsmith-item.desktop"},
        {"  --Backup_Tool 2.0--  ", "bootsmith-backup-tool-2-0.desktop"},
        {"\xc3\x9c"
         "ber Sync",
         "bootsmith-ber-sync.desktop"},
        {std::string(300, 'A'), "bootsmith-" + std::string(48, 'a') + ".desktop"},
        {std::string(47, 'b') + " c", "bootsmith-" + std::string(47, 'b') + ".desktop"},
    };
    LinuxPlatform platform(changes.options());
    for (const auto& c : cases) {
        auto created = platform.create(request(c.name, "/usr/bin/tool", "login"));
        ASSERT_THAT(created, IsOk());
        EXPECT_EQ(created->extra.get("fname"), c.file) << c.name;
        EXPECT_TRUE(changes.exists(std::string(autostart) + c.file));
    }
}

TEST_F(Create, TheCreatedItemIsTheOneTheScanFinds) {
    struct Case {
        std::string mode;
        bool via_root;
    };
    const Case cases[] = {{"login", false}, {"login", true},         {"cron", false},
                          {"cron", true},   {"user-service", false}, {"user-service", true},
                          {"boot", false}};
    for (const auto& c : cases) {
        auto options = c.mode == "boot" ? changes.admin() : changes.options(c.via_root);
        // Names and commands differ per case: equal ones would give equal ids.
        const std::string tail = c.mode + (c.via_root ? "-sudo" : "");
        auto created = LinuxPlatform(options).create(
            request(" Tricky " + tail + " ", std::string(tricky_command) + " " + tail, c.mode,
                    "/srv/" + tail));
        ASSERT_THAT(created, IsOk()) << c.mode;
        model::Item found = scanned(options, created->id);
        EXPECT_EQ(found.id, created->id) << c.mode;
        EXPECT_TRUE(created->managed);
        EXPECT_TRUE(found.managed) << c.mode;
        EXPECT_TRUE(created->enabled);
        EXPECT_EQ(found.enabled, created->enabled) << c.mode;
        EXPECT_EQ(found.origin, created->origin) << c.mode;
        EXPECT_EQ(found.description, created->description) << c.mode;
        for (const char* key : {"file", "fname", "user_dir", "short", "line_cmd", "unit"}) {
            EXPECT_EQ(found.extra.get(key), created->extra.get(key)) << c.mode << " " << key;
        }
        if (c.mode == "login" || c.mode == "cron") {
            EXPECT_EQ(found.command, created->command) << c.mode;
            EXPECT_EQ(found.exe, created->exe) << c.mode;
        }
        if (c.via_root && c.mode != "cron") {
            const std::string file =
                c.mode == "login" ? created->extra.get("file") : created->location;
            EXPECT_EQ(facts_of(changes.at(file)).uid, 1000u) << c.mode;
        }
    }
}

TEST_F(Create, UserServicesAreWrittenReloadedAndEnabled) {
    changes.tree.make_folder("/srv/work");
    auto created = LinuxPlatform(changes.options())
                       .create(request("Sync 100%", tricky_command, "user-service", "/srv/work"));
    ASSERT_THAT(created, IsOk());
    EXPECT_EQ(changes.file(std::string(user_units) + "bootsmith-sync-100.service"),
              "[Unit]\n"
              "Description=Sync 100%% (started by Bootsmith)\n"
              "X-Bootsmith=true\n"
              "\n"
              "[Service]\n"
              "Type=simple\n"
              "ExecStart=/usr/bin/tool 50%% $$HOME \"a b\" \"it's\" \"say \\\"hi\\\"\" \"a;b\" "
              "\"back\\\\slash\" \"\" -x\n"
              "WorkingDirectory=/srv/work\n"
              "Restart=no\n"
              "\n"
              "[Install]\n"
              "WantedBy=default.target\n");
    EXPECT_EQ(
        changes.calls(),
        "systemctl --user daemon-reload\nsystemctl --user enable bootsmith-sync-100.service\n");
    EXPECT_EQ(created->id,
              "systemd-user|user|/home/alice/.config/systemd/user/"
              "bootsmith-sync-100.service|bootsmith-sync-100.service");
    EXPECT_EQ(created->kind_label, "systemd service (this user)");
}

TEST_F(Create, BootServicesRunAsTheAccountGiven) {
    changes.tree.fakes().add("tool", "exit 0");
    auto created = LinuxPlatform(changes.admin())
                       .create(request("Boot", "tool --serve", "boot", "/no/such/folder", "alice"));
    ASSERT_THAT(created, IsOk());
    EXPECT_EQ(changes.file("/etc/systemd/system/bootsmith-boot.service"),
              "[Unit]\n"
              "Description=Boot (started by Bootsmith)\n"
              "After=network.target\n"
              "X-Bootsmith=true\n"
              "\n"
              "[Service]\n"
              "Type=simple\n"
              "ExecStart=" +
                  (changes.tree.fakes().bin() / "tool").string() +
                  " --serve\n"
                  "User=alice\n"
                  "Restart=no\n"
                  "\n"
                  "[Install]\n"
                  "WantedBy=multi-user.target\n");
    EXPECT_EQ(changes.calls(),
              "systemctl daemon-reload\nsystemctl enable bootsmith-boot.service\n");
    EXPECT_EQ(created->id,
              "systemd|machine|/etc/systemd/system/bootsmith-boot.service|"
              "bootsmith-boot.service");
}

TEST_F(Create, AFolderAUnitLineCannotHoldIsLeftOut) {
    // A value ending in a backslash would take the next line (User=) with it;
    // white space at an end would be trimmed into another folder's name.
    for (const char* folder : {"/srv/w\\", "/srv/w "}) {
        changes.tree.make_folder(folder);
        auto created = LinuxPlatform(changes.admin())
                           .create(request("Odd", "/bin/x", "boot", folder, "alice"));
        ASSERT_THAT(created, IsOk()) << folder;
        const std::string text = changes.file("/etc/systemd/system/bootsmith-odd.service");
        EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr("WorkingDirectory="))) << folder;
        EXPECT_THAT(text, ::testing::HasSubstr("\nUser=alice\n")) << folder;
        changes.tree.remove("/etc/systemd/system/bootsmith-odd.service");
    }
}

TEST_F(Create, BootServicesAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        bool admin;
        const char* command;
        const char* user;
        const char* failure;
    };
    const Case cases[] = {
        {false, "/usr/bin/tool", "",
         "ADMIN: Creating a service for the whole computer needs administrator rights."},
        {true, "no-such-tool --x", "",
         "systemd needs the full path of the program. Edit the command to start with one, for "
         "example /usr/bin/tool."},
        {true, "./run.sh", "",
         "systemd needs the full path of the program. Edit the command to start with one, for "
         "example /usr/bin/tool."},
        {true, "/usr/bin/tool", "nobody-here",
         "The account \"nobody-here\" could not be looked up, so the service was not created (it "
         "would have run as root)."},
    };
    for (const auto& c : cases) {
        auto options = c.admin ? changes.admin() : changes.options();
        EXPECT_THAT(LinuxPlatform(options).create(request("B", c.command, "boot", "", c.user)),
                    FailsWith(c.failure));
    }
    EXPECT_FALSE(changes.exists("/etc/systemd/system"));
    EXPECT_EQ(changes.calls(), "");
    changes.tree.remove("/run/systemd");
    EXPECT_THAT(LinuxPlatform(changes.options()).create(request("B", "/bin/x", "user-service")),
                FailsWith("This computer does not use systemd."));
}

TEST_F(Create, AUnitThatCannotBeEnabledIsTakenBack) {
    changes.tree.answer("system/fail-daemon-reload", "reload trouble");
    changes.tree.answer("system/fail-enable", "Failed to enable unit: bad setting");
    EXPECT_THAT(LinuxPlatform(changes.admin()).create(request("B", "/usr/bin/tool", "boot")),
                FailsWith("systemctl could not enable the service: reload trouble Failed to "
                          "enable unit: bad setting"));
    EXPECT_FALSE(changes.exists("/etc/systemd/system/bootsmith-b.service"));
    EXPECT_THAT(changes.calls(), ::testing::EndsWith("systemctl daemon-reload\n"));
    // A reload that printed nothing still leaves its place in the sentence.
    std::filesystem::remove(changes.tree.answers() / "system/fail-daemon-reload");
    EXPECT_THAT(LinuxPlatform(changes.admin()).create(request("B", "/usr/bin/tool", "boot")),
                FailsWith("systemctl could not enable the service:  Failed to enable unit: bad "
                          "setting"));

    // A user service without a user session is switched on by its link.
    changes.tree.answer("user/fail-enable", "Failed to connect to bus");
    const std::string file = std::string(user_units) + "bootsmith-b.service";
    const std::string link = std::string(user_units) + "default.target.wants/bootsmith-b.service";
    ASSERT_THAT(
        LinuxPlatform(changes.options(true)).create(request("B", "/usr/bin/x", "user-service")),
        IsOk());
    EXPECT_EQ(std::filesystem::read_symlink(changes.at(link)).string(), file);
    EXPECT_EQ(facts_of(changes.at(link)).uid, 1000u);

    // When even the link cannot be made, the unit file goes again.
    changes.tree.remove(user_units);
    changes.tree.write(std::string(user_units) + "default.target.wants", "not a folder");
    EXPECT_THAT(LinuxPlatform(changes.options()).create(request("B", "/usr/bin/x", "user-service")),
                FailsWith("Could not enable the service: Not a directory"));
    EXPECT_FALSE(changes.exists(file));
}

TEST_F(Create, CronLinesAreAppendedWithTheirTag) {
    changes.set_crontab("MAILTO=alice");
    auto created = LinuxPlatform(changes.options())
                       .create(request("Run App", "  run.sh --x=50% ", "cron", "/srv/my app 100%"));
    ASSERT_THAT(created, IsOk());
    EXPECT_EQ(
        changes.crontab(),
        "MAILTO=alice\n@reboot cd '/srv/my app 100\\%' && run.sh --x=50\\% # bootsmith:run-app\n");
    EXPECT_EQ(created->id, "cron|user|crontab|@reboot cd '/srv/my app 100\\%' && run.sh --x=50\\%");
    EXPECT_EQ(created->extra.get("line_cmd"), "cd '/srv/my app 100\\%' && run.sh --x=50\\%");

    // An escaped "%" stays as it is.
    std::filesystem::remove(changes.tree.answers() / "crontab");
    ASSERT_THAT(LinuxPlatform(changes.options()).create(request("x", "/bin/x 5\\% %%", "cron")),
                IsOk());
    EXPECT_EQ(changes.crontab(), "@reboot /bin/x 5\\% \\%\\% # bootsmith:x\n");

    changes.tree.answer("crontab.broken", "crontab: spool trouble");
    EXPECT_THAT(LinuxPlatform(changes.options()).create(request("x", "/bin/x", "cron")),
                FailsWith("The crontab could not be read, so it was left alone: crontab: spool "
                          "trouble"));
}

TEST_F(Create, CronLinesAddedAtTheSameTimeAreAllKept) {
    changes.set_crontab("MAILTO=alice\n");
    changes.tree.answer("crontab.slow", "");
    constexpr int writers = 4;
    std::vector<Result<model::Item>> created(writers, fail("not run"));
    std::vector<std::thread> threads;
    const auto options = changes.options();
    for (int i = 0; i < writers; ++i) {
        threads.emplace_back([&, i] {
            const std::string n = std::to_string(i);
            created[i] = LinuxPlatform(options).create(request("Job " + n, "/bin/job" + n, "cron"));
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < writers; ++i) {
        ASSERT_THAT(created[i], IsOk());
        const std::string n = std::to_string(i);
        EXPECT_THAT(changes.crontab(),
                    ::testing::HasSubstr("@reboot /bin/job" + n + " # bootsmith:job-" + n + "\n"));
    }
    const std::string crontab = changes.crontab();
    EXPECT_EQ(std::count(crontab.begin(), crontab.end(), '\n'), 1 + writers) << crontab;
}

TEST_F(Create, RequestsAreCheckedFirst) {
    struct Case {
        model::CreateRequest request;
        const char* failure;
    };
    const Case cases[] = {
        {request("a\nb", "/bin/x", "login"),
         "The name contains a line break or control character, which is not allowed."},
        {request("a", "/bin/x\r", "login"),
         "The command contains a line break or control character, which is not allowed."},
        {request("a", "/bin/x", "login", "/srv\x7f"),
         "The working folder contains a line break or control character, which is not allowed."},
        {request("a", "/bin/x", "boot", "", "al\x1bice"),
         "The user name contains a line break or control character, which is not allowed."},
        {request(" \t", "/bin/x", "login"), "A name is required."},
        {request("a", "  ", "login"), "The command is empty."},
        {request("a", "/bin/x", "service-enable"),
         "Use the existing service entry to switch this on."},
        {request("a", "/bin/x", "launchd"),
         "\"launchd\" is not a way to start a program on Linux."},
        {request("a", "/bin/x", ""), "\"\" is not a way to start a program on Linux."},
    };
    LinuxPlatform platform(changes.admin());
    for (const auto& c : cases) {
        EXPECT_THAT(platform.create(c.request), FailsWith(c.failure)) << c.request.name;
    }
    EXPECT_EQ(changes.calls(), "");
    EXPECT_FALSE(changes.exists("/home/alice/.config"));
}

}  // namespace
}  // namespace bootsmith::linux_backend

namespace bootsmith::linux_backend {
namespace {

// What a plan learns before anything is made: a way of starting that this
// computer lacks, or an entry whose id a listed item has already.
TEST(CreationProblems, NameTheMissingWayAndTheTakenId) {
    bootsmith::testing::ChangeTree changes;
    changes.set_crontab("");
    LinuxPlatform platform(changes.options());
    ASSERT_TRUE(platform.create(request("My Tool", "/usr/bin/tool", "login")));
    ASSERT_TRUE(platform.create(request("Job", "/usr/bin/job --at-boot", "cron")));
    const std::vector<model::Item> present = platform.scan().items;
    struct Case {
        model::CreateRequest wanted;
        std::string problem;  ///< a part of the one problem, or "" for none
    };
    const Case cases[] = {
        {request("My Tool", "/usr/bin/other", "login"), "An entry called \"My Tool\" starts"},
        {request(" My Tool ", "/usr/bin/other", "login"), "An entry called \"My Tool\" starts"},
        {request("My Tool 2", "/usr/bin/tool", "login"), ""},
        {request("Other", "/usr/bin/job --at-boot", "cron"), "Your crontab has a line"},
        {request("Job", "/usr/bin/job --later", "cron"), ""},
        {request("My Tool", "/usr/bin/tool", "user-service"), ""},
    };
    for (const Case& c : cases) {
        auto problems = platform.creation_problems(c.wanted, present);
        if (c.problem.empty()) {
            EXPECT_TRUE(problems.empty()) << c.wanted.name << ": " << problems.front();
        } else {
            ASSERT_EQ(problems.size(), 1u) << c.wanted.name;
            EXPECT_THAT(problems.front(), HasSubstr(c.problem));
        }
    }

    // Without systemd a service cannot start anything; without crontab no
    // @reboot line can.
    std::filesystem::remove_all(changes.at("/run/systemd"));
    std::filesystem::remove(changes.tree.fakes().bin() / "crontab");
    for (const char* mode : {"user-service", "boot", "cron"}) {
        auto problems = platform.creation_problems(request("New", "/usr/bin/new", mode), present);
        ASSERT_EQ(problems.size(), 1u) << mode;
        EXPECT_THAT(problems.front(),
                    HasSubstr(std::string(mode) == "cron" ? "cron is not installed"
                                                          : "does not run systemd"));
    }
}

}  // namespace
}  // namespace bootsmith::linux_backend
