#include "platform/linux/reading/candidates.hpp"
#include "platform/linux/linux_platform.hpp"
#include "platform/linux/process_tree.hpp"
#include "platform/linux/reading/running_programs.hpp"
#include "platform/linux/reading/start_modes.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::add_process;
using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* user_manager_cgroup =
    "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";

std::vector<std::string> mode_ids(const model::Candidate& candidate) {
    std::vector<std::string> ids;
    for (const auto& mode : candidate.modes) {
        ids.push_back(mode.id + (mode.recommended ? "*" : "") + (mode.needs_admin ? "!" : ""));
    }
    return ids;
}

std::vector<std::string> ids(const platform::CandidateList& list) {
    std::vector<std::string> ids;
    for (const auto& candidate : list.candidates) {
        ids.push_back(candidate.id);
    }
    return ids;
}

model::Item unit_item(const std::string& kind, const std::string& unit, bool enabled,
                      const std::string& toggle = "ok") {
    model::Item item(kind, "systemd service", kind == "systemd" ? "machine" : "user",
                     "/lib/systemd/system/" + unit, unit);
    item.extra.set("unit", unit);
    item.enabled = enabled;
    item.toggle = toggle;
    item.exe = "/usr/sbin/" + unit;
    item.command = "/usr/sbin/" + unit + " --daemon";
    item.description = "Service " + unit;
    item.origin = "Operating system";
    return item;
}

class Candidates : public ::testing::Test {
  protected:
    Candidates() {
        tree.write("/usr/bin/python3.11", "");
        tree.link("/usr/bin/python3", "python3.11");
        tree.write("/usr/bin/editor", "");
        tree.write("/usr/share/applications/editor.desktop",
                   "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=/usr/bin/editor %F\n"
                   "Comment=Edit text\n");
    }

    platform::CandidateList running(const std::vector<model::Item>& items = {}) const {
        return LinuxPlatform(tree.options()).running_programs(items);
    }
    platform::CandidateList apps(const std::vector<model::Item>& items = {}) const {
        return LinuxPlatform(tree.options()).installed_apps(items);
    }

    LinuxTree tree;
};

TEST_F(Candidates, NotesSayWhyTheListMayBeShort) {
    EXPECT_THAT(running().notes,
                ElementsAre("The list of running programs could not be read from /proc."));
    add_process(tree, 10, {"/usr/bin/editor"}, "/usr/bin/editor");
    EXPECT_THAT(running().notes,
                ElementsAre("Without administrator rights only this account's own programs can "
                            "be inspected; run with sudo to see the rest."));
    tree.set_uid(0);
    EXPECT_THAT(running().notes, IsEmpty());
}

TEST_F(Candidates, OneCandidatePerScriptOfAnInterpreter) {
    add_process(tree, 10, {"python3", "-u", "/srv/a.py", "--port", "1"}, "/usr/bin/python3.11");
    add_process(tree, 11, {"python3", "/srv/a.py", "--port", "2"}, "/usr/bin/python3.11");
    add_process(tree, 12, {"python3", "/srv/b.py"}, "/usr/bin/python3.11");
    add_process(tree, 13, {"/usr/bin/editor", "notes.txt"}, "/usr/bin/editor");
    add_process(tree, 14, {"/usr/bin/editor", "other.txt"}, "/usr/bin/editor");
    auto list = running();
    EXPECT_THAT(ids(list),
                ElementsAre("proc|/usr/bin/python3.11|/srv/a.py",
                            "proc|/usr/bin/python3.11|/srv/b.py", "proc|/usr/bin/editor"));
    EXPECT_THAT(list.candidates[0].pids, ElementsAre(10u, 11u));
    EXPECT_EQ(list.candidates[0].command, "python3 -u /srv/a.py --port 1");
    EXPECT_THAT(list.candidates[2].pids, ElementsAre(13u, 14u));
}

TEST_F(Candidates, ProcessFields) {
    add_process(tree, 10, {"/usr/bin/editor", "my notes.txt"}, "/usr/bin/editor", 1000,
                bootsmith::testing::session_cgroup, "/home/alice");
    add_process(tree, 11, {"/opt/tool/bin/tool"}, "/opt/tool/bin/tool", 1000,
                std::string(user_manager_cgroup) + "tool.scope");
    add_process(tree, 12, {"/opt/daemon"}, "/opt/daemon (deleted)", 4321);
    add_process(tree, 13, {"/opt/sysd"}, "/opt/sysd", 105);
    add_process(tree, 14, {"/usr/libexec/helper"}, "/usr/libexec/helper", 1000);
    add_process(tree, 15, {"/opt/bob-thing"}, "/opt/bob-thing", 1001);
    auto list = running();
    ASSERT_EQ(list.candidates.size(), 6u);

    const model::Candidate& editor = list.candidates[0];
    EXPECT_EQ(editor.name, "Text Editor");
    EXPECT_EQ(editor.source, "process");
    EXPECT_EQ(editor.exe, "/usr/bin/editor");
    EXPECT_EQ(editor.command, "/usr/bin/editor 'my notes.txt'");
    EXPECT_EQ(editor.workdir, "/home/alice");
    EXPECT_EQ(editor.user, "alice");
    EXPECT_EQ(editor.entry_id, "");
    EXPECT_FALSE(editor.system);
    EXPECT_THAT(mode_ids(editor), ElementsAre("login*", "user-service", "boot!"));

    const model::Candidate& tool = list.candidates[1];
    EXPECT_EQ(tool.name, "tool");
    EXPECT_THAT(mode_ids(tool), ElementsAre("login*", "user-service", "boot!"));  // user manager

    const model::Candidate& daemon = list.candidates[2];
    EXPECT_EQ(daemon.exe, "/opt/daemon");
    EXPECT_EQ(daemon.user, "4321");
    EXPECT_FALSE(daemon.system);  // another account, but not a system one
    EXPECT_THAT(mode_ids(daemon), ElementsAre("user-service*", "boot!"));

    EXPECT_TRUE(list.candidates[3].system);  // uid below 1000
    EXPECT_TRUE(list.candidates[4].system);  // a system folder
    EXPECT_EQ(list.candidates[5].user, "bob");
    EXPECT_FALSE(list.candidates[5].system);
}

TEST_F(Candidates, WithoutSystemdCronIsOffered) {
    tree.remove("/run/systemd");
    add_process(tree, 10, {"/usr/bin/editor"}, "/usr/bin/editor");
    add_process(tree, 11, {"/opt/x"}, "/opt/x");
    auto list = running();
    ASSERT_EQ(list.candidates.size(), 2u);
    EXPECT_THAT(mode_ids(list.candidates[0]), ElementsAre("login*", "cron"));
    EXPECT_THAT(mode_ids(list.candidates[1]), ElementsAre("cron*"));
}

TEST_F(Candidates, WhatAlreadyStartsIsLeftOut) {
    add_process(tree, 10, {"python3", "/srv/a.py"}, "/usr/bin/python3.11");
    add_process(tree, 11, {"python3", "/srv/b.py"}, "/usr/bin/python3.11");
    add_process(tree, 12, {"/usr/bin/editor"}, "/usr/bin/editor");
    model::Item script("autostart", "Desktop autostart (this user)", "user", "/x", "A");
    script.exe = "/usr/bin/python3";  // a link to python3.11
    script.command = "/usr/bin/python3 /srv/a.py";
    model::Item editor("autostart", "Desktop autostart (this user)", "user", "/x", "Editor");
    editor.exe = "/usr/bin/editor";
    editor.command = "/usr/bin/editor --minimized";
    EXPECT_THAT(ids(running({script, editor})), ElementsAre("proc|/usr/bin/python3.11|/srv/b.py"));
}

TEST_F(Candidates, OwnProgramAndProgramsWithoutAFileAreNeverOffered) {
    tree.write("/usr/bin/bootsmith", "");
    tree.link("/proc/self/exe", "/usr/bin/bootsmith");
    add_process(tree, 10, {"bootsmith", "serve"}, "/usr/bin/bootsmith");
    add_process(tree, 11, {"/usr/bin/editor"}, "/usr/bin/editor");
    add_process(tree, 12, {"runc", "init"}, "/memfd:runc_cloned:/proc/self/exe (deleted)");
    EXPECT_THAT(ids(running()), ElementsAre("proc|/usr/bin/editor"));
    // Its own menu entry is not offered by apps either.
    tree.write("/usr/share/applications/bootsmith.desktop",
               "[Desktop Entry]\nType=Application\nName=Bootsmith\nExec=/usr/bin/bootsmith\n");
    EXPECT_THAT(ids(apps()), ElementsAre("app|/usr/bin/editor"));
}

TEST_F(Candidates, RunningServicesThatAreSwitchedOff) {
    add_process(tree, 10, {"/usr/sbin/on.service"}, "/usr/sbin/on", 0,
                "0::/system.slice/on.service");
    add_process(tree, 11, {"/usr/sbin/off"}, "/usr/sbin/off", 0, "0::/system.slice/off.service");
    add_process(tree, 12, {"/usr/sbin/off", "--worker"}, "/usr/sbin/off", 0,
                "0::/system.slice/off.service");
    add_process(tree, 13, {"/usr/sbin/locked"}, "/usr/sbin/locked", 0,
                "0::/system.slice/locked.service");
    add_process(tree, 14, {"/usr/bin/sync"}, "/usr/bin/sync", 1000,
                std::string(user_manager_cgroup) + "sync.service");
    add_process(tree, 15, {"/usr/bin/sync"}, "/usr/bin/sync", 1001,
                "0::/user.slice/user-1001.slice/user@1001.service/app.slice/sync.service");
    add_process(tree, 16, {"/opt/unlisted"}, "/opt/unlisted", 0,
                "0::/system.slice/unlisted.service");
    std::vector<model::Item> items = {unit_item("systemd", "on.service", true),
                                      unit_item("systemd", "off.service", false),
                                      unit_item("systemd", "locked.service", false, "locked"),
                                      unit_item("systemd-user", "sync.service", false)};
    items[3].origin = "Installed program";
    auto list = running(items);
    EXPECT_THAT(ids(list), ElementsAre("unit|system|off.service", "unit|user|sync.service",
                                       "proc|/opt/unlisted"));
    const model::Candidate& off = list.candidates[0];
    EXPECT_EQ(off.name, "off.service");
    EXPECT_EQ(off.source, "service");
    EXPECT_EQ(off.exe, "/usr/sbin/off.service");
    EXPECT_EQ(off.command, "/usr/sbin/off.service --daemon");
    EXPECT_EQ(off.description, "Service off.service");
    EXPECT_THAT(off.pids, ElementsAre(11u, 12u));
    EXPECT_THAT(off.notes,
                ElementsAre("A systemd service that is running now but is not switched on for "
                            "start-up."));
    EXPECT_EQ(off.entry_id, items[1].id);
    EXPECT_TRUE(off.system);
    ASSERT_EQ(off.modes.size(), 1u);
    EXPECT_EQ(off.modes[0].id, "service-enable");
    EXPECT_EQ(off.modes[0].label, "Switch the service on at start-up");
    EXPECT_EQ(off.modes[0].detail,
              "Enables the existing systemd unit so it starts at boot like the others.");
    EXPECT_TRUE(off.modes[0].needs_admin);
    EXPECT_TRUE(off.modes[0].recommended);

    const model::Candidate& sync = list.candidates[1];
    EXPECT_THAT(sync.pids, ElementsAre(14u));
    EXPECT_FALSE(sync.system);
    EXPECT_FALSE(sync.modes[0].needs_admin);
}

TEST_F(Candidates, InstalledApplications) {
    tree.write("/usr/share/applications/zz-dup.desktop",
               "[Desktop Entry]\nType=Application\nName=Duplicate\nExec=/usr/bin/editor %U\n");
    tree.write("/usr/share/applications/hidden.desktop",
               "[Desktop Entry]\nType=Application\nName=H\nExec=/usr/bin/h\nHidden=true\n");
    tree.write("/usr/share/applications/nodisplay.desktop",
               "[Desktop Entry]\nType=Application\nName=N\nExec=/usr/bin/n\nNoDisplay=true\n");
    tree.write("/usr/share/applications/link.desktop",
               "[Desktop Entry]\nType=Link\nName=L\nURL=https://example.org\nExec=/usr/bin/l\n");
    tree.write("/usr/share/applications/noexec.desktop",
               "[Desktop Entry]\nType=Application\nName=E\nExec=%U\n");
    tree.write("/usr/share/applications/started.desktop",
               "[Desktop Entry]\nType=Application\nName=Started\nExec=/usr/bin/started\n");
    tree.write("/home/alice/.local/share/applications/my-tool.desktop",
               "[Desktop Entry]\nType=Application\nExec=\"/opt/My Tool/run\" --x\n");
    model::Item started("autostart", "Desktop autostart (this user)", "user", "/x", "Started");
    started.exe = "/usr/bin/started";
    started.command = "/usr/bin/started";
    auto list = apps({started});
    EXPECT_THAT(list.notes, IsEmpty());
    ASSERT_THAT(ids(list), ElementsAre("app|/usr/bin/editor", "app|'/opt/My Tool/run' --x"));
    const model::Candidate& editor = list.candidates[0];
    EXPECT_EQ(editor.name, "Text Editor");
    EXPECT_EQ(editor.source, "app");
    EXPECT_EQ(editor.exe, "/usr/bin/editor");
    EXPECT_EQ(editor.command, "/usr/bin/editor");
    EXPECT_EQ(editor.description, "Edit text");
    EXPECT_THAT(editor.pids, IsEmpty());
    EXPECT_THAT(mode_ids(editor), ElementsAre("login*", "user-service", "boot!"));
    EXPECT_EQ(list.candidates[1].name, "my-tool");
}

TEST_F(Candidates, NoApplicationFolders) {
    tree.remove("/usr/share/applications");
    auto list = apps();
    EXPECT_THAT(list.candidates, IsEmpty());
    EXPECT_THAT(list.notes, ElementsAre("No installed desktop applications were found."));
}

TEST(StartModes, TheLinuxTable) {
    auto desktop = linux_start_modes(DesktopProgram::yes, Systemd::present);
    ASSERT_EQ(desktop.size(), 3u);
    EXPECT_EQ(desktop[0].label, "Start when I sign in to the desktop");
    EXPECT_EQ(desktop[0].detail,
              "Adds a desktop autostart entry for your account. The program opens its window as "
              "usual. No administrator rights are needed.");
    EXPECT_EQ(desktop[1].label, "Run in the background when I sign in (systemd user service)");
    EXPECT_EQ(desktop[2].label, "Run at boot, before anyone signs in (systemd system service)");
    EXPECT_EQ(desktop[2].detail,
              "Creates a systemd service for the whole computer that runs as your user at boot. "
              "Needs administrator rights.");
    auto cron = linux_start_modes(DesktopProgram::no, Systemd::absent);
    ASSERT_EQ(cron.size(), 1u);
    EXPECT_EQ(cron[0].id, "cron");
    EXPECT_EQ(cron[0].label, "Run at boot (cron @reboot)");
    EXPECT_EQ(cron[0].detail,
              "Adds an @reboot line to your crontab. This computer does not use systemd.");
    EXPECT_TRUE(cron[0].recommended);
    EXPECT_FALSE(cron[0].needs_admin);
}

}  // namespace
}  // namespace bootsmith::linux_backend
