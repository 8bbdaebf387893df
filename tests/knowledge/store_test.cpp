#include "knowledge/store.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "knowledge/pack_text.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::small_pack_text;
using testing::TempDir;

// Stands in for the built-in pack, so that these tests do not depend on its content.
const std::string builtin_text = small_pack_text(
    "2026.10.13.1",
    R"({"linux":[{"match":"ssh","level":"high","effect":"Built-in ssh."},
                 {"match":"cups","level":"caution","effect":"Built-in cups."}],
        "windows":[{"match":"spooler","level":"caution","effect":"Printing."}]})",
    R"([{"word":"sync","level":"low","effect":"Syncing."}])",
    R"({"windows":{"run_keys":[{"hive":"HKCU","view":"","scope":"user","path":"Software\\Run"}],
                   "startup_folders":[{"hive":"HKCU","env":"APPDATA","sub":"Start\\Startup"}],
                   "task_roots":["System32\\Tasks"]},
        "linux":{"autostart_dirs":["/etc/xdg/autostart"],"unit_types":["service"]},
        "macos":{"launchd_dirs":[{"domain":"gui","path":"/Library/LaunchAgents"}]}})");

std::string linux_rule_pack(std::string_view version, std::string_view pattern,
                            std::string_view level = "low") {
    return small_pack_text(version, R"({"linux":[{"match":")" + std::string(pattern) +
                                        R"(","level":")" + std::string(level) +
                                        R"(","effect":"From )" + std::string(version) + R"("}]})");
}

std::vector<std::string> patterns(const std::vector<Rule>& rules) {
    std::vector<std::string> out;
    for (const Rule& rule : rules) {
        out.push_back(rule.pattern);
    }
    return out;
}

class StoreFolders : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path user = dir.path() / "user" / "knowledge";
    fs::path machine = dir.path() / "machine" / "knowledge";
    std::vector<fs::path> folders{user, machine};

    void put(const fs::path& folder, const std::string& name, std::string_view text) {
        testing::write_file(folder / name, text);
    }
    KnowledgeStore build() { return build_store(builtin_text, folders); }
};

TEST_F(StoreFolders, MissingFoldersGiveTheBuiltInPackAlone) {
    KnowledgeStore store = build();
    EXPECT_EQ(store.builtin_version, "2026.10.13.1");
    EXPECT_EQ(store.builtin_rules, 3u);
    EXPECT_THAT(patterns(store.builtin.rules.linux_rules), ElementsAre("ssh", "cups"));
    EXPECT_EQ(store.builtin.hints.size(), 1u);
    EXPECT_THAT(store.installed.rules.linux_rules, IsEmpty());
    EXPECT_FALSE(store.pack.has_value());
    EXPECT_EQ(store.local_rules, 0u);
    EXPECT_THAT(store.notes, IsEmpty());
    EXPECT_EQ(store.folders, folders);
    EXPECT_THAT(store.locations.linux_autostart_dirs, ElementsAre("/etc/xdg/autostart"));
}

TEST_F(StoreFolders, InvalidLocalFileIsNotedAndContributesNothing) {
    put(user, "local.json", R"({"schema":1,"version":"1","rules":{"linux":[]}})");
    KnowledgeStore store = build();
    EXPECT_THAT(store.notes, ElementsAre("Knowledge file local.json was ignored: That is not a "
                                         "Bootsmith knowledge pack."));
    EXPECT_EQ(store.local_rules, 0u);
    EXPECT_THAT(store.installed.rules.linux_rules, IsEmpty());
}

TEST_F(StoreFolders, LocalRuleAndBuiltInRuleAreBothFound) {
    put(user, "local.json", linux_rule_pack("1", "ssh", "low"));
    KnowledgeStore store = build();
    const Rule* mine = find_rule(rules_for(store, LayerId::installed, "linux"), {"ssh"});
    const Rule* builtin = find_rule(rules_for(store, LayerId::builtin, "linux"), {"ssh"});
    ASSERT_NE(mine, nullptr);
    ASSERT_NE(builtin, nullptr);
    EXPECT_EQ(mine->level, Level::low);
    EXPECT_EQ(builtin->level, Level::high);
    EXPECT_EQ(store.local_rules, 1u);
    EXPECT_FALSE(store.pack.has_value());
}

TEST_F(StoreFolders, OnlyTheHighestInstalledPackIsUsed) {
    put(user, "pack-2026.11.1.json", linux_rule_pack("2026.11.1", "eleven"));
    put(user, "pack-2026.12.1.json", linux_rule_pack("2026.12.1", "twelve"));
    KnowledgeStore store = build();
    ASSERT_TRUE(store.pack.has_value());
    EXPECT_EQ(store.pack->version, "2026.12.1");
    EXPECT_EQ(store.pack->published, "2027-02-03");
    EXPECT_EQ(store.pack->description, "Pack 2026.12.1");
    EXPECT_THAT(patterns(store.installed.rules.linux_rules), ElementsAre("twelve"));
    EXPECT_EQ(store.local_rules, 0u);
    EXPECT_THAT(store.notes, IsEmpty());
}

class NotNewerPack : public StoreFolders, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotNewerPack, IsDroppedWithoutANote) {
    std::string version = GetParam();
    put(user, "pack-" + version + ".json", linux_rule_pack(version, "older"));
    KnowledgeStore store = build();
    EXPECT_FALSE(store.pack.has_value());
    EXPECT_THAT(store.installed.rules.linux_rules, IsEmpty());
    EXPECT_THAT(store.notes, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Versions, NotNewerPack,
                         ::testing::Values("2026.10.13.1", "2026.10.13.1.0", "2026.10.13",
                                           "2026.9.30"));

TEST_F(StoreFolders, HighestCandidateOfAllFoldersWinsAndTheFirstMetWinsATie) {
    put(user, "pack-2027.1.json", linux_rule_pack("2027.1", "user-one"));
    put(machine, "pack-2027.2.json", linux_rule_pack("2027.2", "machine-two"));
    EXPECT_EQ(build().pack->version, "2027.2");

    fs::remove(machine / "pack-2027.2.json");
    put(machine, "pack-2027.1.json", linux_rule_pack("2027.1", "machine-one"));
    KnowledgeStore store = build();
    ASSERT_TRUE(store.pack.has_value());
    EXPECT_THAT(patterns(store.installed.rules.linux_rules), ElementsAre("user-one"));
}

TEST_F(StoreFolders, InstalledLayerHoldsLocalRulesInFolderOrderThenThePack) {
    put(machine, "local.json", linux_rule_pack("1", "machine-local"));
    put(user, "local.json",
        small_pack_text("1",
                        R"({"linux":[{"match":"a","level":"low","effect":"x"},
                                     {"match":"b","level":"low","effect":"x"}],
                            "macos":[{"match":"m","level":"low","effect":"x"}]})",
                        R"([{"word":"mine","level":"high","effect":""}])"));
    put(user, "pack-2027.1.json", linux_rule_pack("2027.1", "from-pack"));
    KnowledgeStore store = build();
    EXPECT_THAT(patterns(store.installed.rules.linux_rules),
                ElementsAre("a", "b", "machine-local", "from-pack"));
    EXPECT_EQ(store.local_rules, 4u);
    ASSERT_EQ(store.installed.hints.size(), 1u);
    EXPECT_EQ(store.installed.hints[0].word, "mine");
}

TEST_F(StoreFolders, OtherFilesAreValidatedButNotUsed) {
    put(user, "notes.json", linux_rule_pack("1", "ignored"));
    put(user, "broken.json", "{");
    put(user, "settings.json", R"({"auto_check":true})");
    put(user, "pack-2027.1.JSON", linux_rule_pack("2027.1", "wrong-case"));
    put(user, "readme.txt", "not a pack");
    put(user, "previous/pack-2027.9.json", linux_rule_pack("2027.9", "replaced"));
    fs::create_directories(user / "folder.json");
    KnowledgeStore store = build();
    EXPECT_FALSE(store.pack.has_value());
    EXPECT_THAT(store.installed.rules.linux_rules, IsEmpty());
    ASSERT_EQ(store.notes.size(), 1u);
    EXPECT_THAT(store.notes[0], ::testing::StartsWith("Knowledge file broken.json was ignored: "
                                                      "That is not a knowledge pack: "));
}

TEST_F(StoreFolders, InvalidInstalledPackIsNotedByFileName) {
    put(user, "pack-2027.1.json", small_pack_text("2027.1a"));
    KnowledgeStore store = build();
    EXPECT_FALSE(store.pack.has_value());
    EXPECT_THAT(store.notes,
                ElementsAre("Knowledge file pack-2027.1.json was ignored: The pack's version must "
                            "be numbers separated by dots, like 2026.11.02."));
}

TEST_F(StoreFolders, EncodedFilesAreDecodedFirst) {
    std::string text = linux_rule_pack("1", "wide");
    std::string utf16 = "\xFF\xFE";
    for (char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    put(user, "local.json", utf16);
    put(machine, "local.json", "\xEF\xBB\xBF" + linux_rule_pack("1", "marked"));
    KnowledgeStore store = build();
    EXPECT_THAT(store.notes, IsEmpty());
    EXPECT_THAT(patterns(store.installed.rules.linux_rules), ElementsAre("wide", "marked"));
}

TEST_F(StoreFolders, UnreadableFileIsSkippedWithoutANote) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root reads files whatever their permission bits";
    }
    fs::path file = user / "local.json";
    put(user, "local.json", "{");
    fs::permissions(file, fs::perms::none);
    KnowledgeStore store = build();
    EXPECT_THAT(store.notes, IsEmpty());
}

TEST_F(StoreFolders, LocationsAreMergedWithoutDuplicates) {
    put(user, "local.json", small_pack_text("1", "{}", "[]", R"({
        "windows":{"run_keys":[{"hive":"HKCU","view":"","scope":"user","path":"SOFTWARE\\run"},
                               {"hive":"HKCU","view":"64","scope":"user","path":"Software\\Run"},
                               {"hive":"HKLM","view":"","scope":"machine","path":"Software\\Run"}],
                   "startup_folders":[{"hive":"HKLM","env":"APPDATA","sub":"START\\startup"},
                                      {"hive":"HKCU","env":"ProgramData","sub":"Start\\Startup"}],
                   "task_roots":["System32\\Tasks","system32\\tasks"]},
        "linux":{"autostart_dirs":["/etc/xdg/autostart","/etc/xdg/autostart/","~/.config/autostart"],
                 "app_dirs":["/a","/a"],"unit_types":["service","timer"]},
        "macos":{"launchd_dirs":[{"domain":"system","path":"/Library/LaunchAgents"},
                                 {"domain":"gui","path":"/library/LaunchAgents"}],
                 "app_dirs":["/Applications"]}})"));
    put(user, "pack-2027.1.json", small_pack_text("2027.1", "{}", "[]", R"({
        "linux":{"unit_types":["timer","socket"]}})"));
    const KnowledgeLocations at = build().locations;
    ASSERT_EQ(at.run_keys.size(), 3u);
    EXPECT_EQ(at.run_keys[0].path, "Software\\Run");
    EXPECT_EQ(at.run_keys[1].view, "64");
    EXPECT_EQ(at.run_keys[2].hive, "HKLM");
    ASSERT_EQ(at.startup_folders.size(), 2u);
    EXPECT_EQ(at.startup_folders[1].env, "ProgramData");
    EXPECT_THAT(at.task_roots, ElementsAre("System32\\Tasks", "system32\\tasks"));
    EXPECT_THAT(at.linux_autostart_dirs,
                ElementsAre("/etc/xdg/autostart", "/etc/xdg/autostart/", "~/.config/autostart"));
    EXPECT_THAT(at.linux_app_dirs, ElementsAre("/a"));
    EXPECT_THAT(at.linux_unit_types, ElementsAre("service", "timer", "socket"));
    ASSERT_EQ(at.launchd_dirs.size(), 2u);
    EXPECT_EQ(at.launchd_dirs[0].domain, "gui");
    EXPECT_EQ(at.launchd_dirs[1].path, "/library/LaunchAgents");
    EXPECT_THAT(at.macos_app_dirs, ElementsAre("/Applications"));
}

TEST_F(StoreFolders, BrokenBuiltInPackIsReportedAndAnyInstalledPackIsUsed) {
    put(user, "pack-0.1.json", linux_rule_pack("0.1", "rescue"));
    KnowledgeStore store = build_store(R"({"format":"other"})", folders);
    EXPECT_EQ(store.builtin_version, "broken: That is not a Bootsmith knowledge pack.");
    EXPECT_EQ(store.builtin_rules, 0u);
    EXPECT_THAT(store.builtin.rules.linux_rules, IsEmpty());
    EXPECT_THAT(store.builtin.hints, IsEmpty());
    ASSERT_TRUE(store.pack.has_value());
    EXPECT_THAT(patterns(store.installed.rules.linux_rules), ElementsAre("rescue"));
}

}  // namespace
}  // namespace bootsmith::knowledge
