#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::ChangeTree;
using bootsmith::testing::facts_of;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using ::testing::HasSubstr;

model::Item unit_item(std::string_view kind, std::string_view unit, std::string_view file) {
    const bool user = kind == "systemd-user";
    model::Item item(std::string(kind), user ? "systemd service (this user)" : "systemd service",
                     user ? "user" : "machine", std::string(file), std::string(unit));
    item.extra.set("unit", std::string(unit));
    return item;
}

// The message of a success, which never carries notes, or the failure.
std::string message_of(const Result<platform::ChangeOutcome>& outcome) {
    if (!outcome) {
        return "failed: " + outcome.error();
    }
    return outcome->notes.empty() ? outcome->message : "with notes: " + outcome->message;
}

class UnitSwitch : public ::testing::Test {
  protected:
    model::Item daemon =
        unit_item("systemd", "daemon.service", "/etc/systemd/system/daemon.service");
    ChangeTree changes;
};

TEST_F(UnitSwitch, SystemUnitsNeedAdministratorRights) {
    LinuxPlatform platform(changes.options());
    EXPECT_THAT(platform.toggle(daemon, false, false),
                FailsWith("ADMIN: Changing a system service needs administrator rights."));
    EXPECT_EQ(changes.calls(), "");
}

TEST_F(UnitSwitch, EnableAndDisableAreCheckedAndExplained) {
    struct Case {
        bool enable;
        bool now;
        bool running;
        const char* calls;
        const char* message;
    };
    const Case cases[] = {
        {true, false, false, "systemctl enable daemon.service\n",
         "daemon.service will start at boot."},
        {true, true, true, "systemctl enable daemon.service\n",
         "daemon.service will start at boot."},
        {false, false, true, "systemctl disable daemon.service\n",
         "daemon.service will no longer start at boot. It keeps running until the next "
         "restart."},
        {false, false, false, "systemctl disable daemon.service\n",
         "daemon.service will no longer start at boot."},
        {false, true, true, "systemctl disable --now daemon.service\n",
         "daemon.service will no longer start at boot."},
    };
    LinuxPlatform platform(changes.admin());
    for (const auto& c : cases) {
        std::filesystem::remove(changes.tree.fakes().root() / "calls.log");
        daemon.running = c.running;
        EXPECT_EQ(message_of(platform.toggle(daemon, c.enable, c.now)), c.message);
        EXPECT_EQ(changes.calls(), std::string(c.calls) + "systemctl is-enabled daemon.service\n");
        EXPECT_EQ(changes.unit_state("system", "daemon.service"),
                  c.enable ? "enabled\n" : "disabled\n");
    }
}

TEST_F(UnitSwitch, WhatSystemdSaysAfterwardsDecides) {
    struct Case {
        bool enable;
        const char* answer;
        const char* result;
    };
    const Case cases[] = {
        {true, "enabled-runtime", "daemon.service will start at boot."},
        {true, "alias", "daemon.service will start at boot."},
        {true, "static",
         "failed: systemctl reported success but daemon.service is \"static\", not enabled."},
        {true, "  \n",
         "failed: systemctl reported success but daemon.service is \"unknown\", not "
         "enabled."},
        {false, "enabled",
         "failed: daemon.service is still enabled: a link outside Bootsmith's reach (set by the "
         "vendor or for all users) keeps it on. Bootsmith does not mask units."},
        {false, "enabled-runtime",
         "failed: daemon.service is still enabled: a link outside Bootsmith's reach (set by the "
         "vendor or for all users) keeps it on. Bootsmith does not mask units."},
        {false, "masked", "daemon.service will no longer start at boot."},
        {false, "indirect", "daemon.service will no longer start at boot."},
    };
    LinuxPlatform platform(changes.admin());
    for (const auto& c : cases) {
        changes.tree.answer("system/is-enabled", c.answer);
        EXPECT_EQ(message_of(platform.toggle(daemon, c.enable, false)), c.result) << c.answer;
    }
}

TEST_F(UnitSwitch, RefusalsBySystemdAskForAdministratorRights) {
    struct Case {
        const char* output;
        const char* result;
    };
    const std::string long_output(300, 'x');
    const Case cases[] = {
        {"Failed to enable unit: Access denied", "ADMIN: systemd refused the change."},
        {"Failed: Interactive authentication required.", "ADMIN: systemd refused the change."},
        {"Permission denied", "ADMIN: systemd refused the change."},
        {"Failed to enable unit: Unit file daemon.service does not exist.",
         "systemctl could not change daemon.service: Failed to enable unit: Unit file "
         "daemon.service does not exist."},
    };
    LinuxPlatform platform(changes.admin());
    for (const auto& c : cases) {
        changes.tree.answer("system/fail-enable", c.output);
        EXPECT_THAT(platform.toggle(daemon, true, false), FailsWith(c.result));
    }
    changes.tree.answer("system/fail-enable", long_output);
    EXPECT_THAT(
        platform.toggle(daemon, true, false),
        FailsWith("systemctl could not change daemon.service: " + util::shorten(long_output, 220)));
}

TEST_F(UnitSwitch, UserUnitsGoThroughTheUsersOwnSystemd) {
    auto notes = unit_item("systemd-user", "notes.service",
                           "/home/alice/.config/systemd/user/notes.service");
    EXPECT_EQ(message_of(LinuxPlatform(changes.options()).toggle(notes, false, true)),
              "notes.service will no longer start at boot.");
    EXPECT_EQ(changes.calls(),
              "systemctl --user disable --now notes.service\n"
              "systemctl --user is-enabled notes.service\n");
    std::filesystem::remove(changes.tree.fakes().root() / "calls.log");
    EXPECT_EQ(message_of(LinuxPlatform(changes.options(true)).toggle(notes, true, false)),
              "notes.service will start at boot.");
    EXPECT_THAT(changes.calls(),
                HasSubstr("runuser -u alice -- env XDG_RUNTIME_DIR=/run/user/1000 "
                          "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus systemctl --user "
                          "enable notes.service\n"));
    EXPECT_EQ(changes.unit_state("user", "notes.service"), "enabled\n");
}

TEST_F(UnitSwitch, OwnUserUnitsAreLinkedDirectlyWithoutASession) {
    const std::string file = "/home/alice/.config/systemd/user/bootsmith-x.service";
    auto ours = unit_item("systemd-user", "bootsmith-x.service", file);
    ours.managed = true;
    changes.tree.answer("user/fail-enable", "Failed to connect to bus: No medium found");
    changes.tree.answer("user/fail-disable", "Failed to connect to bus: No medium found");
    struct Case {
        const char* unit_text;
        const char* link;
    };
    const Case cases[] = {
        {"[Install]\nWantedBy=default.target\n",
         "/home/alice/.config/systemd/user/default.target.wants/bootsmith-x.service"},
        {"[Install]\n  WantedBy= graphical-session.target other.target\n",
         "/home/alice/.config/systemd/user/graphical-session.target.wants/bootsmith-x.service"},
        {"[Service]\nExecStart=/bin/true\n",
         "/home/alice/.config/systemd/user/default.target.wants/bootsmith-x.service"},
    };
    for (const auto& c : cases) {
        changes.tree.write(file, c.unit_text);
        LinuxPlatform platform(changes.options(true));
        EXPECT_EQ(message_of(platform.toggle(ours, true, false)),
                  "bootsmith-x.service will start at sign-in (no user session was running, so "
                  "the links were changed directly).");
        ASSERT_TRUE(changes.exists(c.link)) << c.link;
        EXPECT_EQ(std::filesystem::read_symlink(changes.at(c.link)).string(), file);
        EXPECT_EQ(facts_of(changes.at(c.link)).uid, 1000u);
        EXPECT_EQ(message_of(platform.toggle(ours, false, false)),
                  "bootsmith-x.service will no longer start at sign-in (no user session was "
                  "running, so the links were changed directly).");
        EXPECT_FALSE(changes.exists(c.link));
    }
    // Units this program did not create are never linked by hand.
    ours.managed = false;
    EXPECT_THAT(LinuxPlatform(changes.options()).toggle(ours, true, false),
                FailsWith("systemctl could not change bootsmith-x.service: Failed to connect to "
                          "bus: No medium found"));
    EXPECT_FALSE(changes.exists(cases[0].link));
}

TEST_F(UnitSwitch, OtherKindsAreNotSwitched) {
    LinuxPlatform platform(changes.admin());
    model::Item rc("rc", "rc.local script", "machine", "/etc/rc.local", "rc.local");
    EXPECT_THAT(platform.toggle(rc, false, false), FailsWith("Unsupported entry type \"rc\"."));
    EXPECT_THAT(platform.remove(rc),
                FailsWith("Only entries created by Bootsmith can be removed."));
    rc.managed = true;
    EXPECT_THAT(platform.remove(rc), FailsWith("Unsupported entry type \"rc\"."));
    EXPECT_EQ(changes.calls(), "");
}

}  // namespace
}  // namespace bootsmith::linux_backend
