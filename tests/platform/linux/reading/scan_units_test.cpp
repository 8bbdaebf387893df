#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "foundation/text.hpp"
#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const model::Item* find_item(const platform::ScanResult& result, std::string_view name) {
    for (const auto& item : result.items) {
        if (item.name == name) {
            return &item;
        }
    }
    return nullptr;
}

platform::ScanResult scan(const LinuxTree& tree) {
    return LinuxPlatform(tree.options()).scan();
}

struct StateCase {
    const char* unit;
    bool listed;
    const char* toggle;
    const char* note_start;
    const char* state_text;
    bool enabled;
    bool running;
};

TEST(UnitScan, StatesDecideListingSwitchAndNote) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "enabled.service enabled enabled\n"
                "disabled.service disabled enabled\n"
                "masked.service masked enabled\n"
                "maskrt.service masked-runtime -\n"
                "enrt.service enabled-runtime -\n"
                "static-idle.service static -\n"
                "static-running.service static -\n"
                "indirect.service indirect enabled\n"
                "generated.service generated -\n"
                "transient.service transient -\n"
                "alias.service alias -\n"
                "linked.service linked enabled\n"
                "linkedrt.service linked-runtime -\n"
                "bad.service bad -\n"
                "newstate.service some-new-state -\n"
                "newidle.service some-new-state -\n");
    tree.answer("system/units",
                "\u25cf enabled.service loaded active running Enabled one\n"
                "static-idle.service loaded inactive dead Idle\n"
                "static-running.service loaded active running Static one\n"
                "indirect.service loaded active running x\n"
                "generated.service loaded active exited x\n"
                "transient.service loaded active running x\n"
                "linked.service loaded active running x\n"
                "linkedrt.service loaded active running x\n"
                "bad.service loaded active running x\n"
                "newstate.service loaded active running x\n"
                "newidle.service loaded inactive dead x\n");
    const StateCase cases[] = {
        {"enabled.service", true, "admin", "", "enabled \u00b7 running", true, true},
        {"disabled.service", true, "admin", "", "disabled", false, false},
        {"masked.service", true, "locked", "An administrator blocked it on purpose (masked).",
         "masked", false, false},
        {"maskrt.service", true, "locked", "An administrator blocked it", "masked-runtime", false,
         false},
        {"enrt.service", true, "admin", "", "enabled-runtime", true, false},
        {"static-idle.service", false, "", "", "", false, false},
        {"static-running.service", true, "locked", "It has no start-up switch (no [Install]",
         "static \u00b7 running", false, true},
        {"indirect.service", true, "locked", "It is switched on indirectly",
         "indirect \u00b7 running", false, true},
        {"generated.service", true, "locked", "It is generated at boot", "generated \u00b7 exited",
         false, true},
        {"transient.service", true, "locked", "It was created for this session only.",
         "transient \u00b7 running", false, true},
        {"alias.service", false, "", "", "", false, false},
        {"linked.service", true, "locked", "It is linked in from elsewhere",
         "linked \u00b7 running", false, true},
        {"linkedrt.service", true, "locked", "It is linked in from elsewhere",
         "linked-runtime \u00b7 running", false, true},
        {"bad.service", true, "locked", "systemd reports its unit file as faulty.",
         "bad \u00b7 running", false, true},
        {"newstate.service", true, "admin", "", "some-new-state \u00b7 running", false, true},
        {"newidle.service", false, "", "", "", false, false},
    };
    auto result = scan(tree);
    EXPECT_THAT(result.notes, ElementsAre(HasSubstr("Your own systemd units could not be read")));
    for (const auto& c : cases) {
        const model::Item* item = find_item(result, c.unit);
        ASSERT_EQ(item != nullptr, c.listed) << c.unit;
        if (!item) {
            continue;
        }
        EXPECT_EQ(item->toggle, c.toggle) << c.unit;
        EXPECT_TRUE(item->toggle_note.starts_with(c.note_start))
            << c.unit << ": " << item->toggle_note;
        EXPECT_EQ(item->toggle_note.empty(), std::string_view(c.note_start).empty()) << c.unit;
        EXPECT_EQ(item->state_text, c.state_text) << c.unit;
        EXPECT_EQ(item->enabled, c.enabled) << c.unit;
        EXPECT_EQ(item->running, c.running) << c.unit;
        EXPECT_EQ(item->extra.get("unit"), c.unit);
    }
    // Items follow the order of the unit-file list.
    std::vector<std::string> names;
    for (const auto& item : result.items) {
        names.push_back(item.name);
    }
    EXPECT_THAT(names, ElementsAre("enabled.service", "disabled.service", "masked.service",
                                   "maskrt.service", "enrt.service", "static-running.service",
                                   "indirect.service", "generated.service", "transient.service",
                                   "linked.service", "linkedrt.service", "bad.service",
                                   "newstate.service"));
}

TEST(UnitScan, FillsTheItemFromShow) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "cups.service enabled enabled\nnofile.service disabled -\nbackup.timer enabled -\n"
                "idle.timer enabled -\n");
    tree.answer("system/units",
                "cups.service loaded active running CUPS from the list\n"
                "nofile.service loaded inactive dead Listed description\n");
    tree.show("system", "cups.service",
              {{"Description", "CUPS Scheduler"},
               {"FragmentPath", "/lib/systemd/system/cups.service"},
               {"ExecStart",
                "{ path=/usr/sbin/cupsd ; argv[]=/usr/sbin/cupsd -l ; ignore_errors=no ; "
                "start_time=[n/a] ; stop_time=[n/a] ; pid=0 ; code=(null) ; status=0/0 }"},
               {"User", ""}});
    tree.show("system", "nofile.service", {{"Description", ""}, {"FragmentPath", ""}});
    tree.show("system", "backup.timer",
              {{"Description", "Nightly backup"},
               {"FragmentPath", "/etc/systemd/system/backup.timer"},
               {"Triggers", "backup.service"}});
    tree.show("system", "idle.timer",
              {{"FragmentPath", "/etc/systemd/system/idle.timer"}, {"Triggers", ""}});
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), 4u);

    const model::Item& cups = result.items[0];
    EXPECT_EQ(cups.id, "systemd|machine|/lib/systemd/system/cups.service|cups.service");
    EXPECT_EQ(cups.kind, "systemd");
    EXPECT_EQ(cups.kind_label, "systemd service");
    EXPECT_EQ(cups.scope, "machine");
    EXPECT_EQ(cups.location, "/lib/systemd/system/cups.service");
    EXPECT_EQ(cups.description, "CUPS Scheduler");
    EXPECT_EQ(cups.command, "/usr/sbin/cupsd -l");
    EXPECT_EQ(cups.exe, "/usr/sbin/cupsd");
    EXPECT_EQ(cups.origin, "Installed program");
    EXPECT_EQ(cups.extra.get("state"), "enabled");
    EXPECT_FALSE(cups.managed);

    const model::Item& nofile = result.items[1];
    EXPECT_EQ(nofile.location, "(no unit file)");
    EXPECT_EQ(nofile.description, "Listed description");
    EXPECT_EQ(nofile.state_text, "disabled \u00b7 dead");
    EXPECT_EQ(nofile.command, "");

    const model::Item& timer = result.items[2];
    EXPECT_EQ(timer.kind_label, "systemd timer");
    EXPECT_EQ(timer.command, "(timer: runs backup.service)");
    EXPECT_EQ(timer.origin, "Installed program");  // an /etc unit without a package
    EXPECT_EQ(result.items[3].command, "");
}

TEST(UnitScan, DependentsAreSwitchedOnOrActiveUnitsOtherThanItself) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "base.service enabled -\nz-on.service enabled -\na-active.service static -\n"
                "off.service disabled -\nrt.service enabled-runtime -\n"
                "dev-x\\x2dy.mount enabled -\n");
    tree.answer("system/units", "a-active.service loaded active running x\n");
    tree.show("system", "base.service",
              {{"RequiredBy", "z-on.service off.service base.service unknown.service"},
               {"BoundBy", "a-active.service rt.service z-on.service dev-x\\x2dy.mount"}});
    auto result = scan(tree);
    const model::Item* base = find_item(result, "base.service");
    ASSERT_NE(base, nullptr);
    EXPECT_THAT(base->dependents,
                ElementsAre("a-active.service", "dev-x\\x2dy.mount", "rt.service", "z-on.service"));
}

TEST(UnitScan, TheServiceATriggerStartsIsNotItsDependent) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "cups.socket enabled enabled\ncups.service enabled enabled\n"
                "cups.path enabled enabled\nlpd.service enabled -\n");
    tree.show("system", "cups.socket",
              {{"RequiredBy", "cups.service lpd.service"}, {"Triggers", "cups.service"}});
    tree.show("system", "cups.path",
              {{"RequiredBy", "cups.service"}, {"Triggers", "cups.service"}});
    tree.show("system", "cups.service", {{"RequiredBy", "lpd.service"}, {"Triggers", ""}});
    auto result = scan(tree);
    for (const char* name : {"cups.socket", "cups.path"}) {
        const model::Item* trigger = find_item(result, name);
        ASSERT_NE(trigger, nullptr) << name;
        EXPECT_EQ(trigger->extra.get("triggers"), "cups.service") << name;
    }
    EXPECT_THAT(find_item(result, "cups.socket")->dependents, ElementsAre("lpd.service"));
    EXPECT_THAT(find_item(result, "cups.path")->dependents, IsEmpty());
    const model::Item* service = find_item(result, "cups.service");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->extra.get("triggers"), "");
    EXPECT_THAT(service->dependents, ElementsAre("lpd.service"));
}

TEST(UnitScan, AMaskThatCameWithThePackageIsTheDistributions) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "rc.service masked enabled\nmine.service masked enabled\n"
                "both.service masked enabled\nfile.service masked enabled\n");
    tree.link("/usr/lib/systemd/system/rc.service", "/dev/null");
    tree.link("/etc/systemd/system/mine.service", "/dev/null");
    tree.link("/lib/systemd/system/both.service", "/dev/null");
    tree.link("/etc/systemd/system/both.service", "/dev/null");
    tree.write("/usr/lib/systemd/system/file.service", "[Service]\n");
    tree.link("/run/systemd/system/file.service", "/dev/null");
    auto result = scan(tree);
    struct Expect {
        const char* unit;
        bool vendor;
    };
    for (const Expect& e : {Expect{"rc.service", true}, Expect{"mine.service", false},
                            Expect{"both.service", false}, Expect{"file.service", false}}) {
        const model::Item* item = find_item(result, e.unit);
        ASSERT_NE(item, nullptr) << e.unit;
        EXPECT_EQ(item->toggle, "locked") << e.unit;
        EXPECT_EQ(item->extra.get("vendor_masked"), e.vendor ? "1" : "") << e.unit;
        EXPECT_EQ(item->toggle_note.starts_with("Its package switched it off"), e.vendor) << e.unit;
    }
}

// Running instances of templates that start at boot are what actually runs.
TEST(UnitScan, RunningInstancesOfBootTemplatesAreListed) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "postgresql.service enabled enabled\npostgresql@.service indirect enabled\n"
                "getty@.service enabled enabled\nuser@.service static -\n");
    tree.answer("system/units",
                "postgresql.service loaded active exited PostgreSQL RDBMS\n"
                "postgresql@15-main.service loaded active running PostgreSQL Cluster 15-main\n"
                "getty@tty1.service loaded active running Getty on tty1\n"
                "getty@tty2.service loaded inactive dead Getty on tty2\n"
                "user@1000.service loaded active running User Manager for UID 1000\n"
                "other@x.service loaded active running Not from a listed template\n");
    tree.show("system", "postgresql@15-main.service",
              {{"FragmentPath", "/lib/systemd/system/postgresql@.service"},
               {"WantedBy", "postgresql.service"},
               {"UnitFileState", "enabled-runtime"}});
    tree.show("system", "getty@tty1.service",
              {{"FragmentPath", "/lib/systemd/system/getty@.service"},
               {"WantedBy", "getty.target"},
               {"UnitFileState", "enabled"}});
    auto result = scan(tree);
    std::vector<std::string> names;
    for (const auto& item : result.items) {
        names.push_back(item.name);
    }
    EXPECT_THAT(names, ElementsAre("postgresql.service", "getty@.service", "getty@tty1.service",
                                   "postgresql@15-main.service"));
    const model::Item* db = find_item(result, "postgresql@15-main.service");
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->location, "/lib/systemd/system/postgresql@.service");
    EXPECT_TRUE(db->enabled);
    EXPECT_TRUE(db->running);
    EXPECT_EQ(db->toggle, "locked");
    EXPECT_EQ(db->toggle_note,
              "It is an instance of postgresql@.service that postgresql.service start(s) at boot, "
              "so it has no switch of its own; switch postgresql.service instead.");
    const model::Item* tty = find_item(result, "getty@tty1.service");
    ASSERT_NE(tty, nullptr);
    EXPECT_NE(tty->toggle, "locked");
    EXPECT_EQ(tty->state_text, "enabled \u00b7 running");
}

TEST(UnitScan, TriggeringUnitsAreOtherWaysItStartsWithTheirState) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "cups.service disabled enabled\ncups.socket enabled enabled\n"
                "cups.path disabled enabled\nidle.timer disabled enabled\n");
    tree.answer("system/units", "cups.path loaded active waiting x\n");
    tree.show("system", "cups.service",
              {{"TriggeredBy", "cups.socket cups.path idle.timer cups.service other.target"}});
    auto result = scan(tree);
    const model::Item* cups = find_item(result, "cups.service");
    ASSERT_NE(cups, nullptr);
    EXPECT_EQ(cups->also_started_by,
              (std::vector<model::StartPath>{{"cups.socket", "socket", true},
                                             {"cups.path", "path", true},
                                             {"idle.timer", "timer", false},
                                             {"other.target", "unit", false}}))
        << "the socket is switched on, the path unit runs, the timer is neither";
    ASSERT_NE(find_item(result, "cups.path"), nullptr);
    EXPECT_TRUE(find_item(result, "cups.path")->also_started_by.empty());
}

TEST(UnitScan, DisabledUnitPulledInByALinkIsLockedWithTheReason) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "vendor.service disabled enabled\nplain.service disabled enabled\n"
                "on.service enabled enabled\n");
    tree.answer("system/units", "vendor.service loaded active running Vendor\n");
    tree.show("system", "vendor.service", {{"WantedBy", "multi-user.target"}, {"RequiredBy", ""}});
    tree.show("system", "plain.service", {{"WantedBy", ""}});
    tree.show("system", "on.service", {{"WantedBy", "multi-user.target"}});
    auto result = scan(tree);
    const model::Item* vendor = find_item(result, "vendor.service");
    ASSERT_NE(vendor, nullptr);
    EXPECT_FALSE(vendor->enabled) << "systemd's own state is shown as it is";
    EXPECT_EQ(vendor->toggle, "locked");
    EXPECT_EQ(vendor->toggle_note,
              "systemd calls it disabled, but multi-user.target start(s) it through a link that "
              "switching it off does not remove (often one its package placed under "
              "/usr/lib/systemd).");
    EXPECT_NE(find_item(result, "plain.service")->toggle, "locked");
    EXPECT_NE(find_item(result, "on.service")->toggle, "locked");
}

struct OriginCase {
    const char* unit;
    const char* file;
    const char* origin;
    const char* package;
    const char* priority;
};

TEST(UnitScan, OriginFollowsPackageAndPriority) {
    LinuxTree tree;
    tree.add_systemctl();
    // Owners: pkg-<file name>, except files named "loose-*"; priorities by package name.
    tree.fakes().add_logged(
        "dpkg-query",
        "if [ \"$1\" = -S ]; then shift; for p in \"$@\"; do n=${p##*/}; case \"$n\" in\n"
        "  loose-*) echo \"dpkg-query: no path found matching pattern $p\" >&2;;\n"
        "  *) echo \"pkg-$n:amd64, other: $p\";; esac; done; exit 1; fi\n"
        "shift; shift; for n in \"$@\"; do case \"$n\" in\n"
        "  *req*) printf '%s\\t%s\\t%s\\n' \"$n\" required no;;\n"
        "  *ess*) printf '%s\\t%s\\t%s\\n' \"$n\" optional yes;;\n"
        "  *opt*) printf '%s\\t%s\\t%s\\n' \"$n\" optional no;;\n"
        "  *) printf '%s\\t\\t\\n' \"$n\";; esac; done");
    const OriginCase cases[] = {
        {"req.service", "/lib/systemd/system/req.service", "Operating system", "pkg-req.service",
         "required"},
        {"ess.service", "/lib/systemd/system/ess.service", "Operating system", "pkg-ess.service",
         "essential"},
        {"opt.service", "/lib/systemd/system/opt.service", "Installed program", "pkg-opt.service",
         "optional"},
        {"systemd-noprio.service", "/lib/systemd/system/systemd-noprio.service", "Operating system",
         "pkg-systemd-noprio.service", ""},
        {"plain.service", "/lib/systemd/system/plain.service", "Installed program",
         "pkg-plain.service", ""},
        {"loose-etc.service", "/etc/systemd/system/loose-etc.service", "Installed program", "", ""},
        {"loose-lib.service", "/usr/lib/systemd/system/loose-lib.service", "Installed program", "",
         ""},
        {"systemd-loose.service", "/usr/lib/systemd/system/loose-sd.service", "Operating system",
         "", ""},
        {"bootsmith-tool.service", "/etc/systemd/system/loose-bs.service", "Created by Bootsmith",
         "", ""},
    };
    std::string files;
    for (const auto& c : cases) {
        files += std::string(c.unit) + " enabled enabled\n";
        tree.show("system", c.unit, {{"FragmentPath", c.file}});
    }
    tree.answer("system/unit-files", files);
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& item = result.items[i];
        EXPECT_EQ(item.origin, cases[i].origin) << cases[i].unit;
        EXPECT_EQ(item.package, cases[i].package) << cases[i].unit;
        EXPECT_EQ(item.extra.get("pkg_priority"), cases[i].priority) << cases[i].unit;
        EXPECT_EQ(item.managed, std::string_view(cases[i].unit).starts_with("bootsmith-"));
    }
    // One owner call and one priority call for all nine units.
    EXPECT_EQ(tree.call_count("dpkg-query"), 2u);
}

TEST(UnitScan, BatchesShowCallsAndAsksMissingUnitsAlone) {
    LinuxTree tree;
    tree.add_systemctl();
    std::string files;
    for (int i = 0; i < 130; ++i) {
        std::string unit = "u" + std::to_string(i) + ".service";
        files += unit + " enabled enabled\n";
        if (i != 77) {
            tree.show("system", unit, {{"Description", "Unit " + std::to_string(i)}});
        }
    }
    tree.answer("system/unit-files", files);
    tree.answer("system/units", "");
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), 130u);
    EXPECT_EQ(result.items[129].description, "Unit 129");
    EXPECT_EQ(result.items[77].description, "");
    // Two listings, three batches (60 + 60 + 10), one retry for u77 alone, and the
    // user's unit list.
    EXPECT_EQ(tree.call_count("systemctl show"), 4u);
    EXPECT_EQ(tree.call_count("systemctl"), 7u);
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("-p Triggers -p WantedBy -p UnitFileState -p TriggeredBy -p Names -p "
                          "BusName -p InactiveExitTimestampMonotonic -p "
                          "ActiveEnterTimestampMonotonic -p InactiveEnterTimestampMonotonic -p "
                          "Result -p Before u0.service u1.service "));
    EXPECT_THAT(tree.fakes().calls(), HasSubstr(" u59.service\nsystemctl show "));
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("-p Triggers -p WantedBy -p UnitFileState -p TriggeredBy -p Names -p "
                          "BusName -p InactiveExitTimestampMonotonic -p "
                          "ActiveEnterTimestampMonotonic -p InactiveEnterTimestampMonotonic -p "
                          "Result -p Before u60.service "));
    EXPECT_THAT(tree.fakes().calls(), HasSubstr(" u119.service\nsystemctl show "));
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("systemctl show --no-pager -p Id -p Description -p FragmentPath -p "
                          "ExecStart -p User -p RequiredBy -p BoundBy -p Triggers -p WantedBy -p "
                          "UnitFileState -p TriggeredBy -p Names -p BusName -p "
                          "InactiveExitTimestampMonotonic -p ActiveEnterTimestampMonotonic -p "
                          "InactiveEnterTimestampMonotonic -p Result -p Before u77.service\n"));
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("systemctl list-unit-files --type=service,timer,socket --no-legend "
                          "--no-pager --plain\n"));
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("systemctl list-units --type=service,timer,socket --all --no-legend "
                          "--no-pager --plain\n"));
}

TEST(UnitScan, AnAliasAskedAloneKeepsItsAnswer) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "other-name.service enabled -\n");
    tree.answer("system/show/other-name.service", "Id=real.service\nDescription=Real one\n");
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].description, "Real one");
    EXPECT_EQ(tree.call_count("systemctl show"), 2u);
}

TEST(UnitScan, TemplatesAreDescribedByCat) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "getty@.service enabled enabled\ncron.service enabled -\n");
    tree.show("system", "cron.service", {{"Description", "cron"}});
    tree.answer("system/cat/getty@.service",
                "# /lib/systemd/system/getty@.service\n[Unit]\nDescription=Getty on %I\n"
                "[Service]\nExecStart=-/sbin/agetty -o '-p -- \\\\u' --noclear - $TERM\n");
    auto result = scan(tree);
    const model::Item* getty = find_item(result, "getty@.service");
    ASSERT_NE(getty, nullptr);
    EXPECT_EQ(getty->location, "/lib/systemd/system/getty@.service");
    EXPECT_EQ(getty->description, "Getty on %I");
    EXPECT_EQ(getty->exe, "/sbin/agetty");
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("systemctl cat --no-pager -- getty@.service\n"));
    EXPECT_THAT(tree.fakes().calls(), Not(HasSubstr("Before getty@.service")));
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("-p Before cron.service\n"));
}

TEST(UnitScan, UserUnitsComeFromTheUsersInstance) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "cron.service enabled -\n");
    tree.show("system", "cron.service", {{"FragmentPath", "/lib/systemd/system/cron.service"}});
    tree.answer("user/unit-files",
                "syncthing.service enabled enabled\nbootsmith-x.service disabled -\n");
    tree.answer("user/units", "syncthing.service loaded active running Sync\n");
    tree.show("user", "syncthing.service",
              {{"FragmentPath", "/usr/lib/systemd/user/syncthing.service"},
               {"ExecStart", "{ path=/usr/bin/syncthing ; argv[]=/usr/bin/syncthing serve ; x }"}});
    tree.show("user", "bootsmith-x.service",
              {{"FragmentPath", "/home/alice/.config/systemd/user/bootsmith-x.service"}});
    tree.fakes().add_logged("dpkg-query", "exit 1");
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), 3u);
    const model::Item& sync = result.items[1];
    EXPECT_EQ(sync.kind, "systemd-user");
    EXPECT_EQ(sync.kind_label, "systemd service (this user)");
    EXPECT_EQ(sync.scope, "user");
    EXPECT_EQ(sync.toggle, "ok");
    EXPECT_EQ(sync.package, "");
    EXPECT_EQ(sync.origin, "Installed program");
    EXPECT_TRUE(sync.running);
    EXPECT_TRUE(result.items[2].managed);
    EXPECT_EQ(result.items[2].origin, "Created by Bootsmith");
    EXPECT_EQ(result.items[0].toggle, "admin");
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("systemctl --user list-unit-files --type=service,timer,socket"));
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("systemctl --user show --no-pager"));
    // The user scope has no package lookup: only the system unit's file was asked.
    EXPECT_EQ(tree.call_count("dpkg-query"), 1u);
}

TEST(UnitScan, StartTimesComeFromTheSameShowCalls) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "slow.service enabled enabled\nbroken.service enabled -\n");
    const std::pair<std::string_view, std::string_view> timed[] = {
        {"InactiveExitTimestampMonotonic", "4000000"},
        {"ActiveEnterTimestampMonotonic", "6100000"},
        {"Result", "success"},
        {"Before", "multi-user.target shutdown.target"}};
    tree.show("system", "slow.service", {timed[0], timed[1], timed[2], timed[3]});
    tree.show("system", "broken.service", {timed[0], timed[1], {"Result", "timeout"}});
    tree.answer("user/unit-files", "notes.service enabled enabled\n");
    tree.show("user", "notes.service", {timed[0], timed[1], timed[2], timed[3]});
    auto result = scan(tree);
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_EQ(result.items[0].boot_ms, 2100u);
    EXPECT_EQ(result.items[0].boot_done_us, 6100000u);
    EXPECT_TRUE(result.items[0].boot_target_after);
    EXPECT_EQ(result.items[1].boot_ms, std::nullopt) << "a unit that failed has no time";
    EXPECT_EQ(result.items[2].boot_ms, 2100u);
    EXPECT_FALSE(result.items[2].boot_target_after) << "the boot never waits for a user's unit";
    // No process per unit: the system units in one call, the user's in one.
    EXPECT_EQ(tree.call_count("systemctl show"), 1u);
    EXPECT_EQ(tree.call_count("systemctl --user show"), 1u);
}

TEST(UnitScan, RootActingForAUserGoesThroughRunuser) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.fakes().add_logged("runuser",
                            "while [ \"$1\" != -- ]; do shift; done; shift; shift\n"
                            "while [ \"${1#*=}\" != \"$1\" ]; do shift; done\nexec \"$@\"");
    tree.set_uid(0);
    tree.answer("system/unit-files", "cron.service enabled -\n");
    tree.answer("user/unit-files", "syncthing.service enabled enabled\n");
    LinuxOptions options = tree.options();
    options.env.sudo_user = "alice";
    auto result = LinuxPlatform(options).scan();
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].toggle, "ok");  // administrator rights
    EXPECT_EQ(result.items[1].kind, "systemd-user");
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("runuser -u alice -- env XDG_RUNTIME_DIR=/run/user/1000 "
                          "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus systemctl --user "
                          "list-unit-files"));
}

TEST(UnitScan, RootItselfHasNoUserUnits) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.set_uid(0);
    tree.answer("system/unit-files", "cron.service enabled -\n");
    LinuxOptions options = tree.options();
    options.env.user = "root";
    options.env.home = "/root";
    auto result = LinuxPlatform(options).scan();
    EXPECT_EQ(result.items.size(), 1u);
    EXPECT_THAT(tree.fakes().calls(), Not(HasSubstr("--user")));
    EXPECT_THAT(result.notes, IsEmpty());
}

TEST(UnitScan, UnreadableListsBecomeNotes) {
    LinuxTree tree;
    tree.add_systemctl(
        "if [ \"$1\" = list-unit-files ]; then echo 'Failed to connect to bus:'; "
        "echo 'Host is down' >&2; exit 1; fi\n");
    auto result = scan(tree);
    EXPECT_THAT(result.items, IsEmpty());
    EXPECT_THAT(
        result.notes,
        ElementsAre("systemd's unit list could not be read: Failed to connect to bus:\n"
                    "Host is down",
                    "Your own systemd units could not be read (no user session is running for this "
                    "account); they are left out."));
}

TEST(UnitScan, BlankListIsUnreadableToo) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "  \n");
    tree.answer("user/unit-files", "x.service enabled\n");
    auto result = scan(tree);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0], "systemd's unit list could not be read: ");
    EXPECT_EQ(result.items.size(), 1u);
}

TEST(UnitScan, LongFailureTextIsShortened) {
    LinuxTree tree;
    tree.add_systemctl(
        "if [ \"$1\" = list-unit-files ]; then i=0; while [ $i -lt 40 ]; do "
        "printf 'abcdefghij'; i=$((i+1)); done; exit 1; fi\n");
    auto result = scan(tree);
    ASSERT_FALSE(result.notes.empty());
    const std::string prefix = "systemd's unit list could not be read: ";
    ASSERT_TRUE(result.notes[0].starts_with(prefix));
    EXPECT_EQ(util::char_count(result.notes[0].substr(prefix.size())), 160u);
    EXPECT_TRUE(result.notes[0].ends_with("\u2026"));
}

TEST(UnitScan, WithoutSystemdNothingIsAskedAndANoteSaysWhy) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.remove("/run/systemd");
    tree.answer("system/unit-files", "cron.service enabled -\n");
    auto result = scan(tree);
    EXPECT_THAT(result.items, IsEmpty());
    EXPECT_THAT(result.notes,
                ElementsAre("This computer does not use systemd, so services are not listed. "
                            "Desktop autostart entries and cron @reboot jobs still are."));
    EXPECT_EQ(tree.call_count("systemctl"), 0u);
}

TEST(UnitScan, OddUnitNamesAreListedAsTheyCome) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "\x01\x02 junk \x7f\n"
                "my unit.service enabled\n"
                "\xc3\xa9t\xc3\xa9.service enabled enabled\n"
                "-Hevil.host.service enabled\n"
                "{}.service disabled\n"
                ".service\n");
    tree.answer("system/units", "\u25cf\u25cf\u25cf\n* * * *\n");
    tree.answer("system/show/\xc3\xa9t\xc3\xa9.service", "garbage without equals\n\n=\n\n");
    auto result = scan(tree);
    std::vector<std::string> names;
    for (const auto& item : result.items) {
        names.push_back(item.name);
    }
    EXPECT_THAT(names,
                ElementsAre("\xc3\xa9t\xc3\xa9.service", "-Hevil.host.service", "{}.service"));
    // A name that looks like an option is kept apart from the options.
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("-p Result -p Before -- -Hevil.host.service\n"));
}

TEST(UnitScan, BinaryJunkNeverBreaksTheScan) {
    LinuxTree tree;
    tree.add_systemctl();
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 37) % 256);
    }
    tree.answer("system/unit-files", junk + "\nok.service enabled\n" + junk);
    tree.answer("system/units", junk);
    tree.answer("system/show/ok.service", junk);
    auto result = scan(tree);
    bool found = false;
    for (const auto& item : result.items) {
        found = found || item.name == "ok.service";
        EXPECT_EQ(item.kind, "systemd");
    }
    EXPECT_TRUE(found);
}

TEST(UnitScan, AHangingSystemctlIsStoppedAtItsLimit) {
    LinuxTree tree;
    tree.add_systemctl("if [ \"$1\" = show ]; then exec /bin/sleep 30; fi\n");
    std::string files;
    for (int i = 0; i < 70; ++i) {
        files += "u" + std::to_string(i) + ".service enabled\n";
    }
    tree.answer("system/unit-files", files);
    tree.remove("/etc/passwd");  // no user id: the user scope is asked too
    LinuxOptions options = tree.options();
    options.limits = TimeLimits::all(1);
    auto started = std::chrono::steady_clock::now();
    auto result = LinuxPlatform(options).scan();
    auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(result.items.size(), 70u);
    EXPECT_EQ(result.items[0].description, "");
    // One hung batch; no second batch and no unit-by-unit retries after it.
    EXPECT_EQ(tree.call_count("systemctl show"), 1u);
    EXPECT_LT(seconds, 10.0);
}

TEST(UnitScan, AHangingListIsANote) {
    LinuxTree tree;
    tree.add_systemctl("exec /bin/sleep 30\n");
    LinuxOptions options = tree.options();
    options.limits = TimeLimits::all(1);
    auto result = LinuxPlatform(options).scan();
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_EQ(result.notes[0],
              "systemd's unit list could not be read: systemctl did not answer in time.");
}

TEST(UnitScan, UnitTypesComeFromTheLocations) {
    LinuxTree tree;
    tree.add_systemctl();
    LinuxOptions options = tree.options();
    options.locations->linux_unit_types = {"service", "path"};
    (void)LinuxPlatform(options).scan();
    EXPECT_THAT(tree.fakes().calls(), HasSubstr("list-unit-files --type=service,path "));
    options.locations->linux_unit_types = {};
    (void)LinuxPlatform(options).scan();
    EXPECT_THAT(tree.fakes().calls(),
                HasSubstr("list-unit-files --type=service,timer,socket,path "));
}

}  // namespace
}  // namespace bootsmith::linux_backend
