// The built-in pack is data, not code: these tests read it through the same
// validation every other pack goes through and check what the rest of the
// program and the demonstration rely on.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "knowledge/pack.hpp"
#include "knowledge/store.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::knowledge {
namespace {

using ::testing::ElementsAre;
using testing::IsOk;

const KnowledgePack& builtin() {
    static const KnowledgePack pack = [] {
        Result<KnowledgePack> parsed = parse_pack(builtin_pack_text());
        return parsed.has_value() ? *parsed : KnowledgePack{};
    }();
    return pack;
}

const std::vector<Rule>& rules_named(std::string_view list) {
    const RuleLists& rules = builtin().rules;
    if (list == "windows") {
        return rules.windows;
    }
    return list == "linux" ? rules.linux_rules : rules.macos;
}

TEST(BuiltinPack, PassesValidation) {
    EXPECT_THAT(parse_pack(builtin_pack_text()), IsOk());
}

TEST(BuiltinPack, HasItsHeader) {
    EXPECT_EQ(builtin().version, "2026.10.13.2");
    EXPECT_EQ(builtin().published, "2026-12-09");
    EXPECT_EQ(builtin().min_program, "1.0.0");
    EXPECT_EQ(builtin().description, "Built-in knowledge shipped with Bootsmith 1.0.0");
}

// ---- counts per level and per pattern form ----

struct Tally {
    int total = 0;
    int safe = 0, low = 0, caution = 0, high = 0, critical = 0;
    int exact = 0, prefix = 0, suffix = 0, contains = 0;
    friend bool operator==(const Tally&, const Tally&) = default;
};

void PrintTo(const Tally& t, std::ostream* os) {
    *os << t.total << " rules; levels " << t.safe << "/" << t.low << "/" << t.caution << "/"
        << t.high << "/" << t.critical << "; forms " << t.exact << " exact, " << t.prefix
        << " prefix, " << t.suffix << " suffix, " << t.contains << " contains";
}

void count_level(Tally& t, Level level) {
    switch (level) {
        case Level::safe:
            ++t.safe;
            break;
        case Level::low:
            ++t.low;
            break;
        case Level::caution:
            ++t.caution;
            break;
        case Level::high:
            ++t.high;
            break;
        case Level::critical:
            ++t.critical;
            break;
        case Level::unknown:
            break;
    }
}

void count_form(Tally& t, std::string_view pattern) {
    const bool leading = pattern.starts_with('*');
    const bool trailing = pattern.ends_with('*');
    if (leading && trailing) {
        ++t.contains;
    } else if (leading) {
        ++t.suffix;
    } else if (trailing) {
        ++t.prefix;
    } else {
        ++t.exact;
    }
}

Tally tally(const std::vector<Rule>& rules) {
    Tally t;
    for (const Rule& rule : rules) {
        ++t.total;
        count_level(t, rule.level);
        count_form(t, rule.pattern);
    }
    return t;
}

struct CountCase {
    const char* list;
    Tally expected;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.list;
}

std::string list_name(const ::testing::TestParamInfo<CountCase>& param_info) {
    return param_info.param.list;
}

class BuiltinCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(BuiltinCounts, MatchPerLevelAndPatternForm) {
    EXPECT_EQ(tally(rules_named(GetParam().list)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BuiltinCounts,
    ::testing::Values(CountCase{"windows", {291, 70, 100, 65, 34, 22, 233, 52, 0, 6}},
                      CountCase{"linux", {372, 21, 151, 90, 88, 22, 238, 133, 0, 1}},
                      CountCase{"macos", {43, 3, 14, 14, 8, 4, 4, 36, 2, 1}}),
    list_name);

TEST(BuiltinPack, HintLevelsAreCounted) {
    Tally t;
    for (const Hint& hint : builtin().hints) {
        ++t.total;
        count_level(t, hint.level);
    }
    EXPECT_EQ(t.total, 31);
    EXPECT_EQ(t.safe, 2);
    EXPECT_EQ(t.low, 7);
    EXPECT_EQ(t.caution, 8);
    EXPECT_EQ(t.high, 14);
    EXPECT_EQ(t.critical, 0);
}

// ---- texts users read word for word ----

struct Row {
    std::string_view key;  ///< a hint's word or a rule's pattern
    Level level;
    std::string_view effect;
};

constexpr std::string_view security =
    "It looks like security software. Switching it off may leave the computer unprotected.";
constexpr std::string_view updater =
    "It looks like an updater. The program it belongs to stops updating itself.";

const Row hint_rows[] = {
    {"antivirus", Level::high, security},
    {"anti-virus", Level::high, security},
    {"malware", Level::high, security},
    {"firewall", Level::high,
     "It looks like a firewall. Switching it off may leave the computer unprotected."},
    {"defender", Level::high, security},
    {"endpoint", Level::high,
     "It looks like endpoint-protection software, possibly required by an employer. Switching "
     "it off may breach policy and leave the computer unprotected."},
    {"kaspersky", Level::high, security},
    {"norton", Level::high, security},
    {"mcafee", Level::high, security},
    {"bitdefender", Level::high, security},
    {"avast", Level::high, security},
    {"sophos", Level::high, security},
    {"crowdstrike", Level::high,
     "It looks like endpoint-protection software, usually required by an employer. Switching "
     "it off may breach policy and leave the computer unprotected."},
    {"vpn", Level::caution,
     "It looks like VPN software. The VPN will not connect until started by hand."},
    {"backup", Level::caution,
     "It looks like backup software. Scheduled backups may stop running."},
    {"sync", Level::low,
     "It looks like a sync program. Files stop syncing until it is started by hand."},
    {"cloud", Level::low,
     "It looks like a cloud-storage program. Files stop syncing until it is started by hand."},
    {"updater", Level::low, updater},
    {"update", Level::low, updater},
    {"telemetry", Level::safe,
     "It looks like usage reporting. Nothing else normally depends on it."},
    {"helper", Level::low,
     "It looks like a helper for another program. That program may lose a background feature."},
    {"tray", Level::low,
     "It looks like a tray icon. The program keeps working but its icon and menu are gone."},
    {"launcher", Level::safe,
     "It looks like a program launcher. It simply does not open itself at sign-in."},
    {"driver", Level::caution,
     "It looks like a hardware helper. A hardware feature (buttons, gestures, effects) may stop "
     "working."},
    {"audio", Level::caution,
     "It looks like an audio component. Sound effects or sound itself may stop."},
    {"bluetooth", Level::caution,
     "It looks like a Bluetooth component. Bluetooth devices may stop connecting."},
    {"touchpad", Level::low,
     "It looks like a touchpad helper. Extra gestures and settings may stop working."},
    {"print", Level::caution, "It looks like a printing component. Printing may stop."},
    {"database", Level::high,
     "It looks like a database. Anything that uses it is unavailable after the next start."},
    {"server", Level::caution,
     "It looks like a server program. Whatever relies on it is unavailable after the next "
     "start."},
    {"remote", Level::caution,
     "It looks like remote-access software. You may lose the ability to reach this computer "
     "remotely."},
};

TEST(BuiltinPack, HasTheHintsInOrderWordForWord) {
    const std::vector<Hint>& hints = builtin().hints;
    ASSERT_EQ(hints.size(), std::size(hint_rows));
    for (std::size_t i = 0; i < hints.size(); ++i) {
        SCOPED_TRACE(hint_rows[i].key);
        EXPECT_EQ(hints[i].word, hint_rows[i].key);
        EXPECT_EQ(level_name(hints[i].level), level_name(hint_rows[i].level));
        EXPECT_EQ(hints[i].effect, hint_rows[i].effect);
    }
}

const Rule* first_with_pattern(const std::vector<Rule>& rules, std::string_view pattern) {
    for (const Rule& rule : rules) {
        if (rule.pattern == pattern) {
            return &rule;
        }
    }
    return nullptr;
}

TEST(BuiltinPack, KeepsTheWellKnownLinuxRowsWordForWord) {
    const Row rows[] = {
        {"systemd-journald", Level::critical,
         "The system log. Services lose their output and some fail to start."},
        {"corosync", Level::critical,
         "The cluster messaging layer. A Proxmox cluster loses quorum."},
        {"crowdsec*", Level::high,
         "CrowdSec: detects and blocks attacks on this machine. Switching it off removes that "
         "protection."},
        {"aide*", Level::caution,
         "AIDE file-integrity checks. Unexpected changes to system files are no longer noticed."},
        {"serial-getty@*", Level::low,
         "A login prompt on a serial port. Only matters if you log in over a serial cable or a "
         "virtual machine console."},
        {"whoopsie", Level::safe,
         "Sends crash reports to the distribution. Crashes are no longer reported."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        const Rule* rule = first_with_pattern(builtin().rules.linux_rules, row.key);
        ASSERT_NE(rule, nullptr);
        EXPECT_EQ(level_name(rule->level), level_name(row.level));
        EXPECT_EQ(rule->effect, row.effect);
    }
}

// ---- order: the first matching rule wins ----

TEST(BuiltinPack, ListsStartAndEndWhereExpected) {
    struct Ends {
        const char* list;
        std::string_view first, last;
    };
    const Ends cases[] = {{"windows", "crowdsec*", "jusched"},
                          {"linux", "crowdsec*", "*update*"},
                          {"macos", "com.apple.security.*", "*keystone*"}};
    for (const Ends& c : cases) {
        SCOPED_TRACE(c.list);
        const std::vector<Rule>& rules = rules_named(c.list);
        ASSERT_FALSE(rules.empty());
        EXPECT_EQ(rules.front().pattern, c.first);
        EXPECT_EQ(rules.back().pattern, c.last);
    }
}

struct LookupCase {
    const char* list;
    const char* name;
    const char* pattern;  ///< nullptr: no rule may match
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.list << " " << c.name;
}

class BuiltinLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(BuiltinLookup, FindsTheRuleThatStandsFirst) {
    const LookupCase& c = GetParam();
    const Rule* rule = find_rule(rules_named(c.list), {c.name});
    if (c.pattern == nullptr) {
        if (rule != nullptr) {
            ADD_FAILURE() << "matched " << rule->pattern;
        }
        return;
    }
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->pattern, c.pattern);
}

// Specific patterns must stand before the broad ones that would also match.
INSTANTIATE_TEST_SUITE_P(
    Order, BuiltinLookup,
    ::testing::Values(LookupCase{"linux", "systemd-logind", "systemd-logind"},
                      LookupCase{"linux", "systemd-homed", "systemd-*"},
                      LookupCase{"linux", "systemd-networkd-wait-online",
                                 "systemd-networkd-wait-online"},
                      LookupCase{"linux", "gnome-remote-desktop", "gnome-remote-desktop"},
                      LookupCase{"linux", "gnome-keyring-daemon", "gnome-keyring-daemon"},
                      LookupCase{"linux", "gnome-shell-calendar-server", "gnome-*"},
                      LookupCase{"linux", "getty@tty1", "getty@*"},
                      LookupCase{"linux", "serial-getty@ttys0", "serial-getty@*"},
                      LookupCase{"linux", "unattended-upgrades", "unattended-upgrades"},
                      LookupCase{"linux", "software-update-monitor", "*update*"},
                      LookupCase{"linux", "plocate-updatedb", "plocate-updatedb*"},
                      LookupCase{"linux", "xdg-user-dirs", "xdg-user-dirs*"},
                      LookupCase{"linux", "update-notifier", "update-notifier*"},
                      LookupCase{"linux", "systemd-pstore", "systemd-pstore"},
                      LookupCase{"linux", "systemd-tmpfiles-clean", "systemd-tmpfiles-clean*"},
                      LookupCase{"linux", "user/systemd-tmpfiles-setup", "user/systemd-tmpfiles-*"},
                      LookupCase{"linux", "systemd-tmpfiles-setup", "systemd-tmpfiles-setup*"},
                      LookupCase{"linux", "systemd-journald-audit", "systemd-journald-audit*"},
                      LookupCase{"linux", "gnome-keyring-secrets", "gnome-keyring-secrets"},
                      LookupCase{"linux", "gnome-software", "gnome-software*"},
                      LookupCase{"linux", "fwupd-refresh", "fwupd-refresh*"},
                      LookupCase{"linux", "pipewire-pulse", "pipewire-pulse*"},
                      LookupCase{"linux", "xdg-desktop-portal-rewrite-launchers",
                                 "xdg-desktop-portal-rewrite-launchers"},
                      LookupCase{"linux", "e2scrub_reap", "e2scrub_reap*"},
                      LookupCase{"linux", "exim4-base", "exim4-base*"},
                      LookupCase{"windows", "googleupdatetaskmachinecore", "googleupdatetask*"},
                      LookupCase{"windows", "edgeupdatem", "edgeupdate*"},
                      LookupCase{"windows", "gamingservicesnet", "gamingservices*"},
                      LookupCase{"macos", "com.apple.photos.agent", "com.apple.photos*"},
                      LookupCase{"macos", "com.apple.somethingd", "com.apple.*"},
                      LookupCase{"macos", "com.google.keystone.agent", "com.google.keystone*"},
                      LookupCase{"macos", "org.mozilla.firefox.updater", "*.updater"}));

// The demonstration computer's entries are judged by these rules; the
// invented Acme programs must fall through to hints and general judgements.
INSTANTIATE_TEST_SUITE_P(
    DemoComputer, BuiltinLookup,
    ::testing::Values(
        LookupCase{"windows", "rpcss", "rpcss"}, LookupCase{"windows", "dnscache", "dnscache"},
        LookupCase{"windows", "spooler", "spooler"},
        LookupCase{"windows", "windefend", "windefend"},
        LookupCase{"windows", "wuauserv", "wuauserv"},
        LookupCase{"windows", "diagtrack", "diagtrack"},
        LookupCase{"windows", "sysmain", "sysmain"}, LookupCase{"windows", "wsearch", "wsearch"},
        LookupCase{"windows", "termservice", "termservice"}, LookupCase{"windows", "sshd", "sshd"},
        LookupCase{"windows", "onedrive", "onedrive*"},
        LookupCase{"windows", "spotify", "spotify*"}, LookupCase{"windows", "discord", "discord*"},
        LookupCase{"windows", "steam", "steam*"},
        LookupCase{"windows", "securityhealth", "securityhealth"},
        LookupCase{"windows", "rtkauduservice", "rtk*"},
        LookupCase{"windows", "scheduleddefrag", "scheduleddefrag"},
        LookupCase{"windows", "acmesync", nullptr}, LookupCase{"windows", "acme notes", nullptr},
        LookupCase{"windows", "oempanelhost", nullptr}, LookupCase{"windows", "acmedevdb", nullptr},
        LookupCase{"windows", "acme backup nightly", nullptr},
        LookupCase{"windows", "acme screenshot", nullptr},
        LookupCase{"windows", "svchost", nullptr}, LookupCase{"windows", "syncsvc", nullptr},
        LookupCase{"windows", "devserver", nullptr}));

TEST(BuiltinPack, LevelsOfTheCoreEntriesFitWhatTheyAre) {
    struct Expect {
        const char* list;
        std::string_view pattern;
        Level level;
    };
    const Expect cases[] = {
        {"windows", "rpcss", Level::critical},
        {"windows", "wuauserv", Level::high},
        {"windows", "spooler", Level::caution},
        {"windows", "diagtrack", Level::safe},
        {"linux", "systemd-logind", Level::critical},
        {"linux", "systemd-*", Level::high},
        {"linux", "*update*", Level::low},
        {"macos", "com.apple.*", Level::high},
    };
    for (const Expect& c : cases) {
        SCOPED_TRACE(c.pattern);
        const Rule* rule = first_with_pattern(rules_named(c.list), c.pattern);
        ASSERT_NE(rule, nullptr);
        EXPECT_EQ(level_name(rule->level), level_name(c.level));
    }
}

// ---- effect texts ----

TEST(BuiltinPack, EffectTextsAreSentencesAndNotRepeated) {
    // Texts may repeat only for the same pattern: "gamingservices*" is listed twice
    // in the Windows rules and keeps one text.
    std::map<std::string, std::vector<std::string>> patterns_by_effect;
    for (const char* list : {"windows", "linux", "macos"}) {
        for (const Rule& rule : rules_named(list)) {
            EXPECT_TRUE(rule.effect.ends_with('.')) << list << " " << rule.pattern;
            patterns_by_effect[rule.effect].push_back(rule.pattern);
        }
    }
    int shared = 0;
    for (const auto& [effect, patterns] : patterns_by_effect) {
        for (const std::string& pattern : patterns) {
            EXPECT_EQ(pattern, patterns.front()) << "\"" << effect << "\" is used twice";
        }
        shared += patterns.size() > 1 ? 1 : 0;
    }
    EXPECT_EQ(shared, 1);
}

TEST(BuiltinPack, ListsGamingServicesTwiceAsWritten) {
    int seen = 0;
    for (const Rule& rule : builtin().rules.windows) {
        seen += rule.pattern == "gamingservices*" ? 1 : 0;
    }
    EXPECT_EQ(seen, 2);
}

// ---- locations ----

TEST(BuiltinPack, HasTheLinuxLocations) {
    const KnowledgeLocations& loc = builtin().locations;
    EXPECT_THAT(loc.linux_autostart_dirs, ElementsAre("/etc/xdg/autostart", "~/.config/autostart"));
    EXPECT_THAT(
        loc.linux_app_dirs,
        ElementsAre("/usr/share/applications", "/usr/local/share/applications",
                    "~/.local/share/applications", "/var/lib/flatpak/exports/share/applications",
                    "~/.local/share/flatpak/exports/share/applications",
                    "/var/lib/snapd/desktop/applications"));
    EXPECT_THAT(loc.linux_unit_types, ElementsAre("service", "timer", "socket", "path"));
}

TEST(BuiltinPack, HasTheMacosLocations) {
    const KnowledgeLocations& loc = builtin().locations;
    struct Dir {
        std::string_view path, scope, domain;
        bool system;
    };
    const Dir dirs[] = {{"~/Library/LaunchAgents", "user", "gui", false},
                        {"/Library/LaunchAgents", "machine", "gui", false},
                        {"/Library/LaunchDaemons", "machine", "system", false},
                        {"/System/Library/LaunchAgents", "machine", "gui", true},
                        {"/System/Library/LaunchDaemons", "machine", "system", true}};
    ASSERT_EQ(loc.launchd_dirs.size(), std::size(dirs));
    for (std::size_t i = 0; i < std::size(dirs); ++i) {
        SCOPED_TRACE(dirs[i].path);
        EXPECT_EQ(loc.launchd_dirs[i].path, dirs[i].path);
        EXPECT_EQ(loc.launchd_dirs[i].scope, dirs[i].scope);
        EXPECT_EQ(loc.launchd_dirs[i].domain, dirs[i].domain);
        EXPECT_EQ(loc.launchd_dirs[i].system, dirs[i].system);
    }
    EXPECT_THAT(loc.macos_app_dirs,
                ElementsAre("/Applications", "~/Applications", "/System/Applications"));
}

TEST(BuiltinPack, HasTheWindowsLocations) {
    const KnowledgeLocations& loc = builtin().locations;
    constexpr std::string_view run = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
    constexpr std::string_view once = R"(Software\Microsoft\Windows\CurrentVersion\RunOnce)";
    constexpr std::string_view policy =
        R"(Software\Microsoft\Windows\CurrentVersion\Policies\Explorer\Run)";
    constexpr std::string_view by_policy =
        "Set by a policy (Group Policy or an administrator). Change the policy, not this entry.";
    const RunKey keys[] = {
        {"HKCU", std::string(run), "64", "Run", "Registry (Run, this user)", "user", ""},
        {"HKLM", std::string(run), "64", "Run", "Registry (Run, all users)", "machine", ""},
        {"HKLM", std::string(run), "32", "Run32", "Registry (Run, all users, 32-bit)", "machine",
         ""},
        {"HKCU", std::string(once), "64", "", "Registry (RunOnce, this user)", "user",
         "Runs once at the next sign-in and then removes itself, so there is nothing to switch."},
        {"HKLM", std::string(once), "64", "", "Registry (RunOnce, all users)", "machine",
         "Runs once at the next start and then removes itself, so there is nothing to switch."},
        {"HKCU", std::string(policy), "64", "", "Registry (policy Run, this user)", "user",
         std::string(by_policy)},
        {"HKLM", std::string(policy), "64", "", "Registry (policy Run, all users)", "machine",
         std::string(by_policy)},
    };
    ASSERT_EQ(loc.run_keys.size(), std::size(keys));
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        SCOPED_TRACE(keys[i].label);
        const RunKey& got = loc.run_keys[i];
        EXPECT_EQ(got.hive, keys[i].hive);
        EXPECT_EQ(got.path, keys[i].path);
        EXPECT_EQ(got.view, keys[i].view);
        EXPECT_EQ(got.approved, keys[i].approved);
        EXPECT_EQ(got.label, keys[i].label);
        EXPECT_EQ(got.scope, keys[i].scope);
        EXPECT_EQ(got.locked, keys[i].locked);
    }
    ASSERT_EQ(loc.startup_folders.size(), 2u);
    constexpr std::string_view startup = R"(Microsoft\Windows\Start Menu\Programs\Startup)";
    EXPECT_EQ(loc.startup_folders[0].env, "APPDATA");
    EXPECT_EQ(loc.startup_folders[0].hive, "HKCU");
    EXPECT_EQ(loc.startup_folders[0].label, "Startup folder (this user)");
    EXPECT_EQ(loc.startup_folders[1].env, "ProgramData");
    EXPECT_EQ(loc.startup_folders[1].hive, "HKLM");
    EXPECT_EQ(loc.startup_folders[1].label, "Startup folder (all users)");
    for (const StartupFolder& folder : loc.startup_folders) {
        EXPECT_EQ(folder.sub, startup);
    }
    EXPECT_THAT(loc.task_roots, ElementsAre(R"(System32\Tasks)"));
}

}  // namespace
}  // namespace bootsmith::knowledge
