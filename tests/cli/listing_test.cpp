#include <map>

#include "cli_fixture.hpp"
#include "foundation/json.hpp"

namespace bootsmith::testing {
namespace {

class Listing : public CliTest {};

const char* const system_line =
    "DEMO-PC - Windows 11 Pro 24H2 (demonstration data) - demouser "
    "(administrator)\n";
const char* const demo_note =
    "note: Demonstration data: nothing here is read from, or written "
    "to, a real computer.\n";

// Name -> expected level, from the built-in knowledge and the dependency,
// hint and general rules.
const std::map<std::string, std::string> expected_levels = {
    {"RpcSs", "critical"},
    {"Dnscache", "high"},
    {"Spooler", "caution"},
    {"WinDefend", "high"},
    {"wuauserv", "high"},
    {"DiagTrack", "safe"},
    {"SysMain", "low"},
    {"WSearch", "low"},
    {"TermService", "caution"},
    {"sshd", "caution"},
    {"gupdate", "low"},
    {"AcmeSync", "low"},
    {"OemPanelHost", "unknown"},
    {"AcmeDevDb", "high"},
    {"AcmeDevServer", "caution"},
    {"OneDrive", "low"},
    {"Spotify", "safe"},
    {"Discord", "safe"},
    {"Steam", "safe"},
    {"Acme Notes", "safe"},
    {"SecurityHealth", "caution"},
    {"RtkAudUService", "low"},
    {"GoogleUpdateTaskMachineCore", "low"},
    {"Acme Backup Nightly", "caution"},
    {"ScheduledDefrag", "low"},
    {"Acme Screenshot", "safe"},
};

TEST_F(Listing, ListShowsTheDemonstrationComputerSortedByKindThenName) {
    Outcome o = demo({"list"});
    ASSERT_EQ(o.status, 0);
    EXPECT_EQ(o.err, std::string(system_line) + demo_note);
    auto lines = lines_of(o.out);
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[0],
              "ON   IF OFF    NAME                           TYPE                   COMMAND");
    EXPECT_EQ(lines[1],
              "yes  safe      Acme Screenshot                Startup folder (this … "
              "\"C:\\Program Files\\Acme Screenshot\\shot.exe\"");
    EXPECT_EQ(lines[2].substr(0, 46), "yes  safe      Acme Notes                     ");
    EXPECT_EQ(lines[26].substr(0, 46), "yes  low       ScheduledDefrag                ");
    EXPECT_EQ(lines[27], "");
    EXPECT_EQ(lines[28],
              "26 items. 'IF OFF' is the level of what switching an item off could "
              "do; try: bootsmith assess NAME");
    std::vector<std::string> kinds;
    for (std::size_t i = 1; i <= 26; ++i) {
        std::string name = lines[i].substr(15, 30);
        name.erase(name.find_last_not_of(' ') + 1);
        std::string level = lines[i].substr(5, 9);
        level.erase(level.find_last_not_of(' ') + 1);
        auto expected = expected_levels.find(name);
        ASSERT_NE(expected, expected_levels.end()) << name;
        EXPECT_EQ(level, expected->second) << name;
    }
}

TEST_F(Listing, FiltersNarrowTheList) {
    auto count_line = [](const Outcome& o) { return lines_of(o.out).back(); };
    EXPECT_TRUE(count_line(demo({"list", "--level", "critical"})).starts_with("1 item."));
    EXPECT_TRUE(count_line(demo({"list", "--off"})).starts_with("4 items."));
    // --on with --off would leave nothing: a usage error.
    EXPECT_EQ(demo({"list", "--on", "--off"}).status, 2);
    EXPECT_TRUE(count_line(demo({"list", "--filter", "ACME"})).starts_with("6 items."));
    // A value option as the last word is missing its value.
    EXPECT_EQ(demo({"list", "--filter"}).status, 2);
    Outcome none = demo({"list", "--filter", "no such thing"});
    EXPECT_EQ(none.out,
              "ON   IF OFF    NAME                           TYPE                   "
              "COMMAND\n\n0 items. 'IF OFF' is the level of what switching an item off "
              "could do; try: bootsmith assess NAME\n");
}

TEST_F(Listing, JsonOutputsAreOneArrayAndNothingElse) {
    for (const char* command : {"list", "running", "apps"}) {
        Outcome o = demo({command, "--json"});
        EXPECT_EQ(o.status, 0) << command;
        EXPECT_EQ(o.err, "") << command;
        ASSERT_FALSE(o.out.empty());
        EXPECT_EQ(o.out.back(), '\n');
        auto value = json::parse(std::string_view(o.out).substr(0, o.out.size() - 1));
        ASSERT_TRUE(value) << command;
        ASSERT_TRUE(value->is_array());
        EXPECT_FALSE(value->as_array()->empty());
    }
    auto items = json::parse(demo({"list", "--json"}).out);
    ASSERT_TRUE(items);
    const json::JsonObject* first = items->as_array()->front().as_object();
    std::vector<std::string> keys;
    for (const auto& member : *first)
        keys.push_back(member.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"id",          "name",        "kind",
                                              "kind_label",  "scope",       "location",
                                              "command",     "exe",         "publisher",
                                              "description", "origin",      "package",
                                              "enabled",     "running",     "state_text",
                                              "toggle",      "toggle_note", "managed",
                                              "dependents",  "risk",        "also_started_by",
                                              "boot_ms"}));
    auto running = json::parse(demo({"running", "--json"}).out);
    EXPECT_EQ(running->as_array()->size(), 4u) << "system programs are left out without --all";
    auto all = json::parse(demo({"running", "--json", "--all"}).out);
    EXPECT_EQ(all->as_array()->size(), 6u);
}

TEST_F(Listing, JsonOfNoItemsIsAnEmptyArray) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", "--json", "--filter", "no such thing"},
             {"list", "--json", "--level", "critical", "--on", "--filter", "Spotify"}}) {
        Outcome o = demo(args);
        EXPECT_EQ(o.status, 0) << args[2];
        EXPECT_EQ(o.out, "[]\n") << args[2];
        EXPECT_EQ(o.err, "") << args[2];
    }
}

TEST_F(Listing, ProgramJsonFollowsTheTableOrder) {
    for (const char* command : {"running", "apps"}) {
        auto table = lines_of(demo({command, "--all"}).out);
        auto array = json::parse(demo({command, "--all", "--json"}).out);
        ASSERT_TRUE(array) << command;
        ASSERT_EQ(table.size(), array->as_array()->size() + 3) << command;
        for (std::size_t i = 0; i < array->as_array()->size(); ++i) {
            std::string name = (*array->as_array())[i].get_str("name");
            EXPECT_EQ(table[i + 1].substr(0, name.size()), name) << command << " row " << i;
        }
    }
}

TEST_F(Listing, ProgramTables) {
    Outcome running = demo({"running"});
    EXPECT_EQ(running.status, 0);
    EXPECT_EQ(running.err, system_line);
    EXPECT_EQ(running.out,
              "NAME                             SOURCE     PROGRAM\n"
              "Acme dev server (node.exe)       process    C:\\Program Files\\nodejs\\node.exe\n"
              "KeePass Password Safe            process    C:\\Program Files\\KeePass Password "
              "Safe 2\\KeePass.exe\n"
              "Mozilla Firefox                  process    C:\\Program Files\\Mozilla "
              "Firefox\\firefox.exe\n"
              "Visual Studio Code               process    "
              "C:\\Users\\demouser\\AppData\\Local\\Programs\\Microsoft VS Code\\Code.exe\n"
              "\n"
              "4 programs not set to start with the computer. Make one start with it: bootsmith "
              "add NAME\n");
    Outcome apps = demo({"apps", "--all"});
    auto lines = lines_of(apps.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1].substr(0, 10), "7-Zip File");
    EXPECT_EQ(lines[2].substr(0, 10), "Calculator");
}

TEST_F(Listing, AssessExplainsOneItem) {
    Outcome db = demo({"assess", "AcmeDevDb"});
    EXPECT_EQ(db.status, 0);
    EXPECT_EQ(db.err, "");
    auto lines = lines_of(db.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "AcmeDevDb (Windows service)");
    EXPECT_EQ(lines[1], "  \"C:\\Program Files\\Acme Dev\\devdb.exe\"");
    EXPECT_EQ(lines[2], "  State: Automatic; running now");
    EXPECT_EQ(lines[3], "  If switched off: HIGH (medium confidence)");
    EXPECT_NE(
        db.out.find("    - Dependency check: 1 enabled item(s) require it: Acme Dev Server.\n"),
        std::string::npos);

    Outcome panel = demo({"assess", "oempanelhost"});
    EXPECT_EQ(panel.status, 0);
    EXPECT_NE(panel.out.find("  If switched off: UNKNOWN (low confidence)\n"), std::string::npos);

    Outcome several = demo({"assess", "Acme"});
    EXPECT_EQ(several.status, 1);
    EXPECT_TRUE(several.err.starts_with("6 items match \"Acme\"; be more exact or use the id:\n"));

    Outcome nothing = demo({"assess", "nothing-here"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "nothing matches \"nothing-here\"\n");
    EXPECT_EQ(nothing.out, "");
}

TEST_F(Listing, MarkupIsPrintedLiterally) {
    Outcome o = demo({"list"}, {{"BOOTSMITH_TEST_XSS", "1"}});
    EXPECT_TRUE(lines_of(o.out).back().starts_with("27 items."));
    EXPECT_NE(o.out.find("<img src=x onerror=\"window.__…"), std::string::npos);
    Outcome json_out = demo({"list", "--json"}, {{"BOOTSMITH_TEST_XSS", "1"}});
    EXPECT_NE(json_out.out.find("\"publisher\":\"<b>Bad Inc</b>\""), std::string::npos);
    EXPECT_NE(json_out.out.find("\"description\":\"<script>window.__pwned=1</script>\""),
              std::string::npos);
}

}  // namespace
}  // namespace bootsmith::testing
