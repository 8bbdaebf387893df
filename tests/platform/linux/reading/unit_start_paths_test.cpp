#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "foundation/json.hpp"
#include "platform/linux/linux_platform.hpp"
#include "platform/linux/linux_tree.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::LinuxTree;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Paths = std::vector<model::StartPath>;

const model::Item* find_item(const platform::ScanResult& result, std::string_view name) {
    for (const auto& item : result.items) {
        if (item.name == name) {
            return &item;
        }
    }
    return nullptr;
}

// Everything a listing shows: every item's JSON form and the notes.
std::string listing_text(const platform::ScanResult& result) {
    std::string text;
    for (const auto& item : result.items) {
        text += json::to_text(model::to_json(item)) + "\n";
    }
    for (const auto& note : result.notes) {
        text += note + "\n";
    }
    return text;
}

Paths paths_of(const platform::ScanResult& result, std::string_view name) {
    const model::Item* item = find_item(result, name);
    return item ? item->also_started_by : Paths{{"(not listed)", "", false}};
}

constexpr std::string_view bus_folder = "/usr/share/dbus-1/system-services/";

void bus_file(const LinuxTree& tree, std::string_view file, std::string_view body) {
    tree.write(std::string(bus_folder) + std::string(file),
               "[D-BUS Service]\n" + std::string(body));
}

// A computer whose units start in every way the unit folders and the bus allow.
void add_activated_units(const LinuxTree& tree) {
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "timesyncd.service enabled enabled\nresolved.service disabled enabled\n"
                "direct.service disabled enabled\nmasked.service masked enabled\n"
                "busname.service disabled enabled\nvendor.service enabled enabled\n"
                "mine.service enabled enabled\npulled.service enabled enabled\n"
                "other.service disabled enabled\n");
    tree.answer("system/units", "other.service loaded inactive dead Other\n");
    // Its alias is made by enable from Alias= and removed by disable.
    tree.write("/usr/lib/systemd/system/timesyncd.service",
               "[Service]\nExecStart=/bin/true\n[Install]\n"
               "Alias=dbus-org.freedesktop.timesync1.service\nWantedBy=sysinit.target\n");
    tree.link("/etc/systemd/system/dbus-org.freedesktop.timesync1.service",
              "/usr/lib/systemd/system/timesyncd.service");
    tree.link("/etc/systemd/system/sysinit.target.wants/timesyncd.service",
              "/usr/lib/systemd/system/timesyncd.service");
    tree.show("system", "timesyncd.service",
              {{"FragmentPath", "/usr/lib/systemd/system/timesyncd.service"},
               {"Names", "timesyncd.service dbus-org.freedesktop.timesync1.service"},
               {"WantedBy", "sysinit.target"}});
    bus_file(tree, "org.freedesktop.timesync1.service",
             "Name=org.freedesktop.timesync1\nExec=/bin/false\n"
             "SystemdService=dbus-org.freedesktop.timesync1.service\n");
    // Its alias link came with the package, so it outlasts a disable.
    tree.link("/usr/lib/systemd/system/dbus-org.freedesktop.resolve1.service", "resolved.service");
    bus_file(
        tree, "org.freedesktop.resolve1.service",
        "Name=org.freedesktop.resolve1\nSystemdService=dbus-org.freedesktop.resolve1.service\n");
    bus_file(tree, "direct.service", "Name=org.example.Direct\nSystemdService=direct.service\n");
    bus_file(tree, "masked.service", "Name=org.example.Masked\nSystemdService=masked.service\n");
    tree.show("system", "busname.service", {{"BusName", "org.example.Bus"}});
    for (const char* unit :
         {"resolved.service", "direct.service", "masked.service", "other.service"}) {
        tree.show("system", unit, {});
    }
    bus_file(tree, "org.example.Bus.service", "Name=org.example.Bus\nExec=/usr/bin/bus-tool\n");
    // Pulled in by a link its package made, by its own enable link, by another unit's Wants=.
    tree.link("/usr/lib/systemd/system/multi-user.target.wants/vendor.service",
              "../vendor.service");
    tree.show("system", "vendor.service", {{"WantedBy", "multi-user.target"}});
    tree.link("/usr/lib/systemd/system/multi-user.target.wants/masked.service", "/dev/null");
    tree.link("/etc/systemd/system/multi-user.target.wants/mine.service",
              "/lib/systemd/system/mine.service");
    tree.show("system", "mine.service", {{"WantedBy", "multi-user.target"}});
    tree.show("system", "pulled.service", {{"WantedBy", "other.service"}});
}

TEST(UnitStartPaths, BusActivationAndLinksDisableLeavesAreOtherWaysItStarts) {
    LinuxTree tree;
    add_activated_units(tree);
    auto result = LinuxPlatform(tree.options()).scan();
    struct Case {
        const char* unit;
        Paths paths;
    };
    const Case cases[] = {
        {"timesyncd.service", {{"org.freedesktop.timesync1", "dbus", false}}},
        {"resolved.service", {{"org.freedesktop.resolve1", "dbus", true}}},
        {"direct.service", {{"org.example.Direct", "dbus", true}}},
        // Nothing starts a masked unit.
        {"masked.service",
         {{"org.example.Masked", "dbus", false}, {"multi-user.target", "wanted", false}}},
        {"busname.service", {{"org.example.Bus", "dbus", true}}},
        // A target the listing does not cover counts as reached.
        {"vendor.service", {{"multi-user.target", "wanted", true}}},
        {"mine.service", {}},
        {"pulled.service", {{"other.service", "wanted", false}}},
        {"other.service", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(paths_of(result, c.unit), c.paths) << c.unit;
    }
    EXPECT_THAT(result.notes, ElementsAre(::testing::HasSubstr("Your own systemd units")));
    EXPECT_EQ(tree.call_count("systemctl"), 4u) << "no call beyond the listings and one show";
}

// Each of these inputs is skipped: the listing stays what it was without it.
TEST(UnitStartPaths, BadInputIsSkippedAndChangesNothingElse) {
    const std::pair<const char*, std::function<void(const LinuxTree&)>> inputs[] = {
        {"bus file not UTF-8",
         [](const LinuxTree& t) {
             bus_file(t, "latin1.service", "Name=org.caf\xe9\nSystemdService=direct.service\n");
         }},
        {"bus file without a name",
         [](const LinuxTree& t) {
             bus_file(t, "noname.service", "SystemdService=direct.service\n");
         }},
        {"bus file naming no unit",
         [](const LinuxTree& t) {
             bus_file(t, "ghost.service", "Name=org.example.Ghost\nSystemdService=ghost.service\n");
         }},
        {"bus file without its group",
         [](const LinuxTree& t) {
             t.write(std::string(bus_folder) + "bare.service",
                     "Name=x\nSystemdService=direct.service\n");
         }},
        {"bus file that is a folder",
         [](const LinuxTree& t) { t.make_folder(std::string(bus_folder) + "dir.service"); }},
        {"a second file for a bus name already read",
         [](const LinuxTree& t) {
             bus_file(t, "zz-direct.service",
                      "Name=org.example.Direct\nSystemdService=vendor.service\n");
         }},
        {"wants link of a unit not listed",
         [](const LinuxTree& t) {
             t.link("/lib/systemd/system/x.target.wants/absent.service", "y");
         }},
        {"unit file that is not a unit file",
         [](const LinuxTree& t) {
             t.write("/usr/lib/systemd/system/timesyncd.service", "\x01\x02\xff");
         }},
    };
    LinuxTree plain;
    add_activated_units(plain);
    const std::string expected = listing_text(LinuxPlatform(plain.options()).scan());
    for (const auto& [what, add] : inputs) {
        LinuxTree tree;
        add_activated_units(tree);
        add(tree);
        auto result = LinuxPlatform(tree.options()).scan();
        if (std::string_view(what) == "unit file that is not a unit file") {
            // Without its Alias= line the alias is still known from systemd's
            // Names, and its link under /etc tells that disable removes it.
            EXPECT_EQ(paths_of(result, "timesyncd.service"),
                      (Paths{{"org.freedesktop.timesync1", "dbus", false}}));
            continue;
        }
        EXPECT_EQ(listing_text(result), expected) << what;
    }
}

TEST(UnitStartPaths, UnitsWantingEachOtherNameEachOtherOnce) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "a.service disabled enabled\nb.service enabled enabled\n");
    tree.link("/lib/systemd/system/a.service.wants/b.service", "../b.service");
    tree.link("/lib/systemd/system/b.service.wants/a.service", "../a.service");
    tree.link("/lib/systemd/system/a.service.requires/a.service", "../a.service");
    tree.show("system", "a.service", {{"WantedBy", "b.service"}});
    tree.show("system", "b.service", {{"WantedBy", "a.service"}});
    auto result = LinuxPlatform(tree.options()).scan();
    EXPECT_EQ(paths_of(result, "a.service"), (Paths{{"b.service", "wanted", true}}));
    EXPECT_EQ(paths_of(result, "b.service"), (Paths{{"a.service", "wanted", false}}));
    // A disabled unit another unit pulls in is locked with that unit named.
    EXPECT_EQ(find_item(result, "a.service")->toggle, "locked");
    EXPECT_TRUE(
        find_item(result, "a.service")
            ->toggle_note.starts_with("systemd calls it disabled, but b.service start(s) it"));
}

TEST(UnitStartPaths, TriggersInAlsoAreSwitchedOffWithIt) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files",
                "cups.service enabled enabled\ncups.socket enabled enabled\n"
                "cups.path enabled enabled\nlpd.socket enabled enabled\n");
    tree.write("/lib/systemd/system/cups.service",
               "[Unit]\nDescription=CUPS\n[Install]\nAlso=cups.socket\nAlso=cups.path\n"
               "WantedBy=multi-user.target\n");
    tree.show("system", "cups.service",
              {{"FragmentPath", "/lib/systemd/system/cups.service"},
               {"TriggeredBy", "cups.socket cups.path lpd.socket"}});
    tree.write("/lib/systemd/system/cups.socket", "[Install]\nAlso=cups.service\n");
    tree.show("system", "cups.socket", {{"FragmentPath", "/lib/systemd/system/cups.socket"}});
    auto result = LinuxPlatform(tree.options()).scan();
    EXPECT_EQ(paths_of(result, "cups.service"), (Paths{{"cups.socket", "socket", true, true},
                                                       {"cups.path", "path", true, true},
                                                       {"lpd.socket", "socket", true, false}}));
    EXPECT_THAT(paths_of(result, "cups.socket"), IsEmpty())
        << "naming a unit in Also= does not start it";
}

TEST(UnitStartPaths, ATriggerOfAMissingUnitIsANote) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer(
        "system/unit-files",
        "ghost.socket enabled enabled\nnight.timer enabled enabled\ncron.service enabled -\n");
    tree.answer("system/units",
                "ghost.socket loaded active listening Ghost\n"
                "ghost.service not-found inactive dead ghost.service\n"
                "cron.service loaded active running Cron\n");
    tree.show("system", "ghost.socket", {{"Triggers", "ghost.service"}});
    tree.show("system", "night.timer", {{"Triggers", "backup@.service"}});
    tree.show("system", "cron.service", {{"Description", "Cron"}});
    auto result = LinuxPlatform(tree.options()).scan();
    EXPECT_EQ(result.notes.front(),
              "ghost.socket is set to start ghost.service, which does not exist, so nothing starts "
              "through it.");
    EXPECT_EQ(result.notes.size(), 2u) << "the other note is the user's units";
    EXPECT_EQ(result.items.size(), 3u);
    EXPECT_EQ(find_item(result, "night.timer")->command, "(timer: runs backup@.service)");
    EXPECT_THAT(paths_of(result, "cron.service"), IsEmpty());
}

TEST(UnitStartPaths, TheSessionBusStartsUserUnits) {
    LinuxTree tree;
    tree.add_systemctl();
    tree.answer("system/unit-files", "cron.service enabled -\n");
    tree.answer("user/unit-files",
                "tracker.service disabled enabled\nsync.service enabled enabled\n");
    tree.write("/home/alice/.local/share/dbus-1/services/org.example.Tracker.service",
               "[D-BUS Service]\nName=org.example.Tracker\nSystemdService=tracker.service\n");
    tree.write("/usr/share/dbus-1/services/org.example.Tracker.service",
               "[D-BUS Service]\nName=org.example.Tracker\nSystemdService=sync.service\n");
    // The system bus does not start user units.
    bus_file(tree, "org.example.Sync.service",
             "Name=org.example.Sync\nSystemdService=sync.service\n");
    tree.link("/usr/lib/systemd/user/default.target.wants/sync.service", "../sync.service");
    auto result = LinuxPlatform(tree.options()).scan();
    EXPECT_EQ(paths_of(result, "tracker.service"), (Paths{{"org.example.Tracker", "dbus", true}}));
    EXPECT_EQ(paths_of(result, "sync.service"), (Paths{{"default.target", "wanted", true}}));
    LinuxOptions options = tree.options();
    options.env.data_home = "/home/alice/data";
    tree.write("/home/alice/data/dbus-1/services/org.example.Tracker.service",
               "[D-BUS Service]\nName=org.example.Tracker\nSystemdService=sync.service\n");
    result = LinuxPlatform(options).scan();
    EXPECT_EQ(paths_of(result, "tracker.service"), Paths{}) << "XDG_DATA_HOME comes first";
}

}  // namespace
}  // namespace bootsmith::linux_backend
