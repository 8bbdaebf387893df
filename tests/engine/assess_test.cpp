#include <gtest/gtest.h>

#include "engine/assess.hpp"
#include "knowledge/pack.hpp"

namespace bootsmith::engine {
namespace {

using knowledge::Hint;
using knowledge::KnowledgeStore;
using knowledge::Rule;
using model::Item;
using model::Level;

Item linux_unit(std::string name) {
    Item item("systemd", "systemd service", "machine", "/lib/systemd/system/" + name, name);
    item.enabled = true;
    return item;
}

Item autostart(std::string name) {
    Item item("autostart", "Desktop autostart (this user)", "user", "/home/u/.config/autostart",
              name);
    item.enabled = true;
    return item;
}

Item assessed(Item item, const KnowledgeStore& store, const std::set<std::string>& created = {}) {
    assess_item(item, store, "linux", created);
    return item;
}

const KnowledgeStore& builtin_store() {
    static const KnowledgeStore store = knowledge::build_store(knowledge::builtin_pack_text(), {});
    return store;
}

bool has_reason(const Item& item, std::string_view reason) {
    for (const auto& r : item.risk.reasons) {
        if (r == reason) {
            return true;
        }
    }
    return false;
}

TEST(Assess, ManagedItemWithoutCreateRecordIsAnOrdinaryProgram) {
    KnowledgeStore store;
    Item item = autostart("bootsmith-tool");
    item.managed = true;
    item.origin = "Created by Bootsmith";
    Item result = assessed(item, store);
    EXPECT_FALSE(result.managed);
    EXPECT_EQ(result.origin, "Installed program");
    EXPECT_EQ(result.risk.level, Level::safe);
    EXPECT_EQ(result.risk.confidence, "medium");
}

TEST(Assess, OwnEntryIsSafeWhateverTheKnowledgeSays) {
    KnowledgeStore store;
    store.builtin.rules.linux_rules = {{"bootsmith-*", "Something vital.", Level::critical}};
    for (const auto& [scope, reasons] : {std::pair{"user", 1u}, std::pair{"machine", 2u}}) {
        Item item("systemd", "systemd service", scope, "/etc/systemd/system", "bootsmith-x");
        item.managed = true;
        Item result = assessed(item, store, {item.id});
        EXPECT_TRUE(result.managed);
        EXPECT_EQ(result.risk.level, Level::safe);
        EXPECT_EQ(result.risk.confidence, "high");
        EXPECT_EQ(result.risk.reasons.size(), reasons) << scope;
    }
}

TEST(Assess, UpdateCannotLowerABuiltInLevel) {
    KnowledgeStore store;
    store.builtin.rules.linux_rules = {{"ssh", "Remote logins stop.", Level::high}};
    store.installed.rules.linux_rules = {{"ssh", "Nothing much.", Level::low}};
    store.pack = knowledge::InstalledPack{"2027.1.1", "2027-01-01", "newer"};
    Item result = assessed(linux_unit("ssh"), store);
    EXPECT_EQ(result.risk.level, Level::high);
    EXPECT_EQ(result.risk.effect, "Remote logins stop.");
    EXPECT_EQ(result.risk.confidence, "high");
    EXPECT_TRUE(
        has_reason(result, "Recognised from the built-in knowledge of well-known startup items."));
    EXPECT_TRUE(has_reason(
        result, "A knowledge update tried to lower this warning; the built-in level was kept."));
}

TEST(Assess, UpdateRuleSourceNamesTheInstalledVersionOrLocal) {
    KnowledgeStore store;
    store.installed.rules.linux_rules = {{"acme", "Acme stops.", Level::low}};
    Item local = assessed(linux_unit("acme"), store);
    EXPECT_EQ(local.risk.confidence, "medium");
    EXPECT_TRUE(has_reason(local, "Recognised from the knowledge in local."));
    store.pack = knowledge::InstalledPack{"2027.1.1", "", ""};
    Item updated = assessed(linux_unit("acme"), store);
    EXPECT_TRUE(has_reason(updated, "Recognised from the knowledge in update 2027.1.1."));
}

TEST(Assess, BuiltInHintRaisesAnUpdateRuleThatRatesLower) {
    KnowledgeStore store;
    store.installed.rules.linux_rules = {{"acme-*", "Acme stops.", Level::caution}};
    store.builtin.hints = {{"antivirus", "Unprotected.", Level::high}};
    Item result = assessed(linux_unit("acme-antivirus"), store);
    EXPECT_EQ(result.risk.level, Level::high);
    EXPECT_EQ(result.risk.effect, "Unprotected.");
    EXPECT_TRUE(has_reason(result,
                           "A knowledge update rated this lower than the built-in judgement from "
                           "its name; the built-in level was kept."));
}

TEST(Assess, CriticalRuleOnAnOrdinaryEntryIsShownAsHigh) {
    KnowledgeStore store;
    store.builtin.rules.linux_rules = {{"dbus", "The message bus.", Level::critical}};
    Item entry = assessed(autostart("dbus"), store);
    EXPECT_EQ(entry.risk.level, Level::high);
    EXPECT_TRUE(
        entry.risk.effect.starts_with("The message bus. It is shown as High rather than "
                                      "Critical because"));
    EXPECT_FALSE(entry.risk.blocked());
    Item unit = assessed(linux_unit("dbus"), store);
    EXPECT_EQ(unit.risk.level, Level::critical);
    EXPECT_TRUE(unit.risk.blocked());
}

TEST(Assess, SevenDependentsNameSixAndCountTheRest) {
    KnowledgeStore store;
    store.builtin.rules.linux_rules = {{"base", "Base stops.", Level::low}};
    Item item = linux_unit("base");
    item.dependents = {"a", "b", "c", "d", "e", "f", "g"};
    Item result = assessed(item, store);
    EXPECT_EQ(result.risk.level, Level::high);
    EXPECT_EQ(result.risk.effect,
              "Base stops. 7 other item(s) that start with the computer need it: a, b, c, d, e, f "
              "and 1 more.");
    EXPECT_TRUE(has_reason(
        result, "Dependency check: 7 enabled item(s) require it: a, b, c, d, e, f and 1 more."));
}

TEST(Assess, OperatingSystemItemWithoutRuleIsUnknownUntilSomethingNeedsIt) {
    KnowledgeStore store;
    Item item = linux_unit("oem-panel");
    item.origin = "Operating system";
    Item alone = assessed(item, store);
    EXPECT_EQ(alone.risk.level, Level::unknown);
    EXPECT_EQ(alone.risk.confidence, "low");
    EXPECT_TRUE(alone.risk.needs_ack());
    EXPECT_TRUE(has_reason(alone, "Dependency check: no enabled item requires it."));

    item.dependents = {"panel-client"};
    Item needed = assessed(item, store);
    EXPECT_EQ(needed.risk.level, Level::high);
    EXPECT_EQ(needed.risk.effect,
              "1 other item(s) that start with the computer need it: panel-client.");
    EXPECT_EQ(needed.risk.confidence, "medium");
}

TEST(Assess, PackagePriority) {
    struct Case {
        const char* priority;
        bool with_rule;
        Level rule_level;
        Level expected;
    };
    const Case cases[] = {
        {"important", false, Level::safe, Level::caution},
        {"required", false, Level::safe, Level::high},
        {"essential", false, Level::safe, Level::high},
        // A built-in rule gives high confidence, which the priority never overrides.
        {"important", true, Level::low, Level::low},
        {"required", true, Level::low, Level::low},
        {"important", true, Level::high, Level::high},
        {"standard", false, Level::safe, Level::low},
    };
    for (const Case& c : cases) {
        KnowledgeStore store;
        if (c.with_rule) {
            store.builtin.rules.linux_rules = {{"pkgunit", "Rule effect.", c.rule_level}};
        }
        Item item = linux_unit("pkgunit");
        item.package = "pkg";
        item.extra.set("pkg_priority", c.priority);
        Item result = assessed(item, store);
        EXPECT_EQ(result.risk.level, c.expected) << c.priority << " rule=" << c.with_rule;
        EXPECT_TRUE(
            has_reason(result, std::string("The package priority is \"") + c.priority + "\"."));
        EXPECT_TRUE(has_reason(result, "Owned by the package \"pkg\"."));
    }
}

TEST(Assess, ServiceProgramFileNameIsAlsoMatched) {
    KnowledgeStore store;
    store.builtin.rules.windows = {{"spoolsv", "Printing stops.", Level::caution}};
    Item item("service", "Windows service", "machine", "Services", "PrintThing");
    item.exe = "C:\\Windows\\System32\\spoolsv.exe";
    assess_item(item, store, "windows", {});
    EXPECT_EQ(item.risk.effect, "Printing stops.");
    Item run("run", "Registry (Run, this user)", "user", "HKCU\\Run\\64", "PrintThing");
    run.exe = item.exe;
    assess_item(run, store, "windows", {});
    EXPECT_EQ(run.risk.level, Level::safe) << "only services are matched by their program file";
}

TEST(Assess, HintOfTheInstalledLayerLowerThanTheBuiltInOneLoses) {
    KnowledgeStore store;
    store.builtin.hints = {{"backup", "Backups stop.", Level::caution}};
    store.installed.hints = {{"backup", "Fine.", Level::safe}};
    Item result = assessed(autostart("nightly-backup"), store);
    EXPECT_EQ(result.risk.level, Level::caution);
    EXPECT_EQ(result.risk.effect, "Backups stop.");
    EXPECT_TRUE(has_reason(result,
                           "Judged by the word \"backup\" in its name; it is not in the "
                           "built-in list."));
}

TEST(Assess, CommonReasonsComeLastInOrder) {
    KnowledgeStore store;
    Item item = autostart("tool");
    item.publisher = "Acme";
    item.running = true;
    Item result = assessed(item, store);
    ASSERT_GE(result.risk.reasons.size(), 3u);
    auto n = result.risk.reasons.size();
    EXPECT_EQ(result.risk.reasons[n - 3], "Published by Acme.");
    EXPECT_EQ(result.risk.reasons[n - 2],
              "It is running now; switching it off changes the next start, not the current "
              "session.");
    EXPECT_EQ(result.risk.reasons[n - 1], "It applies to this account only.");
}

struct NameCase {
    const char* kind;
    const char* name;
    const char* short_name;  ///< the `short` extra, "" for none
    const char* pattern;     ///< the rule expected to judge it; "" for none
    Level level;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.kind << " " << c.name << " (" << c.short_name << ")";
}

class BuiltinNames : public ::testing::TestWithParam<NameCase> {};

// Packs name programs without the unit type, template instance or ".desktop";
// the full names are tried too and a name that is only a suffix adds nothing.
TEST_P(BuiltinNames, AreMatchedByTheRuleWrittenForThem) {
    const NameCase& c = GetParam();
    const bool user = std::string_view(c.kind) != "systemd";
    Item item(c.kind, "label", user ? "user" : "machine", "/somewhere", c.name);
    if (*c.short_name != '\0') {
        item.extra.set("short", c.short_name);
    }
    Item result = assessed(item, builtin_store());
    EXPECT_EQ(result.risk.matched, c.pattern);
    EXPECT_EQ(result.risk.level, c.level) << result.risk.effect;
}

INSTANTIATE_TEST_SUITE_P(
    Pack, BuiltinNames,
    ::testing::Values(
        NameCase{"systemd", "dbus.service", "", "dbus", Level::critical},
        NameCase{"systemd", "dbus.socket", "", "dbus", Level::critical},
        NameCase{"systemd-user", "dbus.socket", "", "user/dbus", Level::critical},
        NameCase{"systemd-user", "dbus.service", "", "user/dbus", Level::critical},
        NameCase{"systemd", "cups.service", "", "cups", Level::caution},
        NameCase{"systemd", "cups.socket", "", "cups", Level::caution},
        NameCase{"systemd", "docker.socket", "", "docker", Level::caution},
        NameCase{"systemd", "postgresql@15-main.service", "", "postgresql*", Level::high},
        NameCase{"systemd", "getty@.service", "", "getty@*", Level::critical},
        NameCase{"autostart", "Network", "nm-applet.desktop", "nm-applet", Level::low},
        NameCase{"systemd", "plocate-updatedb.timer", "", "plocate-updatedb*", Level::low},
        NameCase{"autostart", "User folders update", "xdg-user-dirs.desktop", "xdg-user-dirs*",
                 Level::low},
        NameCase{"autostart", "AT-SPI D-Bus Bus", "at-spi-dbus-bus.desktop", "at-spi-dbus-bus",
                 Level::caution},
        NameCase{"autostart", "PolicyKit Authentication Agent",
                 "polkit-gnome-authentication-agent-1.desktop", "polkit-*", Level::caution},
        NameCase{"systemd", "systemd-tmpfiles-setup.service", "", "systemd-tmpfiles-setup*",
                 Level::critical},
        NameCase{"systemd-user", "systemd-tmpfiles-setup.service", "", "user/systemd-tmpfiles-*",
                 Level::low},
        NameCase{"systemd", "debug-shell.service", "", "debug-shell", Level::safe},
        // Bad input: nothing left to match, or a name that only looks like one.
        NameCase{"systemd", ".service", "", "", Level::low},
        NameCase{"systemd", "@.service", "", "", Level::low},
        NameCase{"systemd", "ssh.bar.service", "", "", Level::low},
        NameCase{"systemd", "cups.timer.service", "", "", Level::low},
        NameCase{"autostart", "Thing", ".desktop", "", Level::safe},
        NameCase{"autostart", "cups.service", "", "", Level::safe}));

struct TriggerCase {
    const char* name;
    const char* triggers;
    const char* pattern;
    Level level;
    const char* effect_start;
};

// A socket, timer or path unit is judged with what the service it starts does,
// and says that it starts it.
TEST(Assess, TriggerUnitsAreJudgedThroughTheirService) {
    const TriggerCase cases[] = {
        {"systemd-tmpfiles-clean.timer", "systemd-tmpfiles-clean.service",
         "systemd-tmpfiles-clean*", Level::low,
         "It starts systemd-tmpfiles-clean.service on a schedule. Deletes old files"},
        {"docker.socket", "docker.service", "docker", Level::caution,
         "It starts docker.service when a program connects to it. Docker Engine"},
        {"cups.socket", "cups.service", "cups", Level::caution,
         "It starts cups.service when a program connects to it. CUPS printing"},
        {"cups.path", "cups.service", "cups", Level::caution,
         "It starts cups.service when a file or folder it watches changes. CUPS"},
        {"syslog-dev.socket", "systemd-journald.service", "systemd-journald", Level::critical,
         "It starts systemd-journald.service when a program connects to it. The system log."},
        {"nightly.timer", "apt-daily.service", "apt-daily*", Level::low,
         "It starts apt-daily.service on a schedule. APT"},
    };
    for (const TriggerCase& c : cases) {
        Item item = linux_unit(c.name);
        item.extra.set("triggers", c.triggers);
        Item result = assessed(item, builtin_store());
        EXPECT_EQ(result.risk.matched, c.pattern) << c.name;
        EXPECT_EQ(result.risk.level, c.level) << c.name;
        EXPECT_TRUE(result.risk.effect.starts_with(c.effect_start)) << result.risk.effect;
    }
    KnowledgeStore store;
    store.builtin.rules.linux_rules = {{"thing.socket", "Its own words.", Level::low},
                                       {"thing", "The service.", Level::high}};
    Item user_timer("systemd-user", "systemd timer (this user)", "user", "/usr/lib/systemd/user",
                    "systemd-tmpfiles-clean.timer");
    user_timer.extra.set("triggers", "systemd-tmpfiles-clean.service");
    EXPECT_EQ(assessed(user_timer, builtin_store()).risk.matched, "user/systemd-tmpfiles-*");
    Item own = linux_unit("thing.socket");
    own.extra.set("triggers", "thing.service");
    EXPECT_EQ(assessed(own, store).risk.effect, "Its own words.");
}

// Housekeeping timers of required packages are judged by what they do, not
// called "required for the system to work".
TEST(Assess, KnownTimersOfRequiredPackagesAreJudgedByTheirRule) {
    struct Case {
        const char* name;
        const char* exe;
        const char* pattern;
    };
    const Case cases[] = {{"e2scrub_all.timer", "", "e2scrub_all*"},
                          // It runs e2scrub_all, whose rule says something else.
                          {"e2scrub_reap.service", "/sbin/e2scrub_all", "e2scrub_reap*"},
                          {"dpkg-db-backup.timer", "", "dpkg-db-backup*"},
                          {"man-db.timer", "", "man-db*"}};
    for (const Case& c : cases) {
        Item item = linux_unit(c.name);
        item.exe = c.exe;
        item.origin = "Operating system";
        item.package = "e2fsprogs";
        item.extra.set("pkg_priority", "required");
        Item result = assessed(item, builtin_store());
        EXPECT_EQ(result.risk.matched, c.pattern);
        EXPECT_LE(result.risk.level, Level::low) << c.name;
        EXPECT_EQ(result.risk.effect.find("required for the system"), std::string::npos) << c.name;
    }
}

TEST(Assess, VendorMaskedUnitsNeedNoAttention) {
    for (const char* name : {"sudo.service", "hwclock.service", "x11-common.service"}) {
        Item item = linux_unit(name);
        item.enabled = false;
        item.origin = "Operating system";
        item.extra.set("pkg_priority", "important");
        item.extra.set("vendor_masked", "1");
        Item result = assessed(item, builtin_store());
        EXPECT_EQ(result.risk.level, Level::safe) << name;
        EXPECT_FALSE(result.risk.needs_ack()) << name;
        EXPECT_EQ(result.risk.source, "masked");
        EXPECT_TRUE(result.risk.effect.starts_with("It never starts")) << result.risk.effect;
    }
}

TEST(Assess, GeneralReasonDoesNotDenyTheDependentsFound) {
    KnowledgeStore store;
    Item item = linux_unit("acme-db");
    Item alone = assessed(item, store);
    EXPECT_TRUE(has_reason(alone,
                           "An installed program's service, not part of the operating system, "
                           "and nothing found depends on it."));
    item.dependents = {"acme-web"};
    Item needed = assessed(item, store);
    EXPECT_EQ(needed.risk.level, Level::high);
    for (const std::string& text : needed.risk.reasons) {
        EXPECT_EQ(text.find("nothing found depends"), std::string::npos) << text;
    }
    EXPECT_EQ(needed.risk.effect.find("does not need it"), std::string::npos);
    EXPECT_TRUE(has_reason(needed, "Dependency check: 1 enabled item(s) require it: acme-web."));
}

}  // namespace
}  // namespace bootsmith::engine
