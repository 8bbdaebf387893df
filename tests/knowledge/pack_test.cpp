#include "knowledge/pack.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/pack_text.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::knowledge {
namespace {

using testing::FailsWith;
using testing::IsOk;
using testing::pack_with;
using testing::repeated;

struct FaultCase {
    const char* name;
    const char* path;   ///< dotted member path in the base pack
    std::string value;  ///< JSON text; "" removes the member
    const char* message;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class PackFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PackFault, IsRejectedWithItsMessage) {
    const FaultCase& c = GetParam();
    EXPECT_THAT(parse_pack(pack_with(c.path, c.value)), FailsWith(c.message));
}

const std::string digits41 = repeated("1", 41);
const std::string format2 =
    "This pack uses format 2 but this Bootsmith understands up to 1. Install a newer Bootsmith "
    "to use it.";
const char* const version_message =
    "The pack's version must be numbers separated by dots, like 2026.11.02.";

INSTANTIATE_TEST_SUITE_P(
    Header, PackFault,
    ::testing::Values(
        FaultCase{"format_missing", "format", "", "That is not a Bootsmith knowledge pack."},
        FaultCase{"format_case", "format", R"("Bootsmith-knowledge")",
                  "That is not a Bootsmith knowledge pack."},
        FaultCase{"format_number", "format", "1", "That is not a Bootsmith knowledge pack."},
        FaultCase{"schema_2", "schema", "2", format2.c_str()},
        FaultCase{"schema_2_5_cut_to_2", "schema", "2.5", format2.c_str()},
        FaultCase{"schema_large", "schema", "1e3",
                  "This pack uses format 1000 but this Bootsmith understands up to 1. Install a "
                  "newer Bootsmith to use it."},
        FaultCase{"schema_string", "schema", R"("1")", "The pack has no format number."},
        FaultCase{"schema_missing", "schema", "", "The pack has no format number."},
        FaultCase{"schema_0_9", "schema", "0.9", "The pack has no format number."},
        FaultCase{"schema_negative", "schema", "-3", "The pack has no format number."},
        FaultCase{"version_too_long", "version", digits41,
                  R"(pack: "version" is longer than 40 characters)"},
        FaultCase{"version_control", "version", R"("1\n2")",
                  R"(pack: "version" contains control characters)"},
        FaultCase{"version_tab_passes_text_check", "version", R"("1\t2")", version_message},
        FaultCase{"published_too_long", "published", repeated("x", 41),
                  R"(pack: "published" is longer than 40 characters)"},
        FaultCase{"published_control", "published", R"("a\u0007")",
                  R"(pack: "published" contains control characters)"},
        FaultCase{"description_too_long", "description", repeated("d", 301),
                  R"(pack: "description" is longer than 300 characters)"},
        FaultCase{"description_control", "description", R"("x\u001fy")",
                  R"(pack: "description" contains control characters)"},
        FaultCase{"min_program_too_long", "min_program", repeated("1", 21),
                  R"(pack: "min_program" is longer than 20 characters)"},
        FaultCase{"min_program_control", "min_program", R"("\r")",
                  R"(pack: "min_program" contains control characters)"},
        FaultCase{"version_empty", "version", R"("")", version_message},
        FaultCase{"version_missing", "version", "", version_message},
        FaultCase{"version_number", "version", "2027", version_message},
        FaultCase{"version_letter", "version", R"("2026.10.13a")", version_message},
        FaultCase{"version_dash", "version", R"("2026-10-13")", version_message},
        FaultCase{"min_program_newer", "min_program", R"("1.0.1")",
                  "This pack needs Bootsmith 1.0.1 or newer; this is 1.0.0."},
        FaultCase{"min_program_2", "min_program", R"("2")",
                  "This pack needs Bootsmith 2 or newer; this is 1.0.0."}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Rules, PackFault,
    ::testing::Values(
        FaultCase{"stars_only", "rules.linux.0.match", R"("***")",
                  "linux rule 1: the pattern is empty"},
        FaultCase{"match_empty", "rules.linux.0.match", R"("")",
                  "linux rule 1: the pattern is empty"},
        FaultCase{"match_missing", "rules.linux.0.match", "", "linux rule 1: the pattern is empty"},
        FaultCase{"match_number", "rules.linux.0.match", "7", "linux rule 1: the pattern is empty"},
        FaultCase{"rule_not_object", "rules.linux.0", R"("ssh")",
                  "linux rule 1: the pattern is empty"},
        FaultCase{"match_too_long", "rules.linux.0.match", repeated("a", 121),
                  R"(linux rule 1: "match" is longer than 120 characters)"},
        FaultCase{"match_line_feed", "rules.linux.0.match", R"("a\nb")",
                  R"(linux rule 1: "match" contains control characters)"},
        FaultCase{"level_capital", "rules.linux.0.level", R"("High")",
                  "linux rule 1: level must be safe, low, caution, high or critical"},
        FaultCase{"level_unknown", "rules.linux.0.level", R"("unknown")",
                  "linux rule 1: level must be safe, low, caution, high or critical"},
        FaultCase{"level_spaced", "rules.linux.0.level", R"(" high")",
                  "linux rule 1: level must be safe, low, caution, high or critical"},
        FaultCase{"level_missing", "rules.linux.0.level", "",
                  "linux rule 1: level must be safe, low, caution, high or critical"},
        FaultCase{"effect_spaces", "rules.linux.0.effect", R"("   ")",
                  "linux rule 1: the effect text is empty"},
        FaultCase{"effect_missing", "rules.linux.0.effect", "",
                  "linux rule 1: the effect text is empty"},
        FaultCase{"effect_too_long", "rules.linux.0.effect", repeated("e", 501),
                  R"(linux rule 1: "effect" is longer than 500 characters)"},
        FaultCase{"effect_control", "rules.linux.0.effect", R"("a\u0001")",
                  R"(linux rule 1: "effect" contains control characters)"},
        FaultCase{"second_rule_counts_from_one", "rules.windows.1",
                  R"({"match":"*","level":"low","effect":"x"})",
                  "windows rule 2: the pattern is empty"},
        FaultCase{"macos_rule", "rules.macos.0.level", R"("critical ")",
                  "macos rule 1: level must be safe, low, caution, high or critical"}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Hints, PackFault,
    ::testing::Values(
        FaultCase{"word_two_letters", "hints.0.word", R"("ab")",
                  "hint 1: the word must be at least 3 characters (a shorter one would match "
                  "almost every name)"},
        FaultCase{"word_missing", "hints.0.word", "",
                  "hint 1: the word must be at least 3 characters (a shorter one would match "
                  "almost every name)"},
        FaultCase{"word_too_long", "hints.0.word", repeated("w", 61),
                  R"(hint 1: "word" is longer than 60 characters)"},
        FaultCase{"word_control", "hints.0.word", R"("ab\nc")",
                  R"(hint 1: "word" contains control characters)"},
        FaultCase{"level_capital", "hints.0.level", R"("High")", "hint 1: bad level"},
        FaultCase{"effect_too_long", "hints.0.effect", repeated("e", 501),
                  R"(hint 1: "effect" is longer than 500 characters)"},
        FaultCase{"effect_control", "hints.0.effect", R"("\u0000")",
                  R"(hint 1: "effect" contains control characters)"},
        FaultCase{"second_hint", "hints.1", R"({"word":"vpn","level":"safer","effect":""})",
                  "hint 2: bad level"}),
    [](const auto& test) { return std::string(test.param.name); });

const char* const relative_sub =
    "windows startup_folders: sub must be a relative path (no drive, no leading slash)";
const char* const relative_task =
    "windows task_roots: each must be a relative path (no drive, no leading slash)";

INSTANTIATE_TEST_SUITE_P(
    Locations, PackFault,
    ::testing::Values(
        FaultCase{"run_key_hive", "locations.windows.run_keys.0.hive", R"("hkcu")",
                  "windows run_keys: hive must be HKCU or HKLM"},
        FaultCase{"run_key_not_object", "locations.windows.run_keys.0", "3",
                  "windows run_keys: hive must be HKCU or HKLM"},
        FaultCase{"run_key_view", "locations.windows.run_keys.0.view", R"("86")",
                  "windows run_keys: view must be empty, 32 or 64"},
        FaultCase{"run_key_scope", "locations.windows.run_keys.0.scope", R"("all")",
                  "windows run_keys: scope must be user or machine"},
        FaultCase{"run_key_path_dots", "locations.windows.run_keys.0.path", R"("Software\\..\\x")",
                  R"(windows run_keys path: a path may not contain "..")"},
        FaultCase{"run_key_path_tab", "locations.windows.run_keys.0.path", R"("a\tb")",
                  "windows run_keys path: a path is too long or has control characters"},
        FaultCase{"run_key_path_long", "locations.windows.run_keys.0.path", repeated("p", 301),
                  "windows run_keys path: a path is too long or has control characters"},
        FaultCase{"run_key_approved", "locations.windows.run_keys.0.approved", repeated("r", 41),
                  R"(windows run_keys: "approved" is longer than 40 characters)"},
        FaultCase{"run_key_label", "locations.windows.run_keys.0.label", repeated("l", 81),
                  R"(windows run_keys: "label" is longer than 80 characters)"},
        FaultCase{"run_key_locked", "locations.windows.run_keys.0.locked", repeated("k", 301),
                  R"(windows run_keys: "locked" is longer than 300 characters)"},
        FaultCase{"run_key_locked_control", "locations.windows.run_keys.0.locked", R"("a\nb")",
                  R"(windows run_keys: "locked" contains control characters)"},
        FaultCase{"folder_hive", "locations.windows.startup_folders.0.hive", R"("HKCR")",
                  "windows startup_folders: hive must be HKCU or HKLM"},
        FaultCase{"folder_env_long", "locations.windows.startup_folders.0.env", repeated("E", 41),
                  R"(windows startup_folders: "env" is longer than 40 characters)"},
        FaultCase{"folder_env_unknown", "locations.windows.startup_folders.0.env", R"("TEMP")",
                  "windows startup_folders: env must be one of APPDATA, ProgramData, "
                  "LOCALAPPDATA, USERPROFILE, ALLUSERSPROFILE, PUBLIC"},
        FaultCase{"folder_env_case", "locations.windows.startup_folders.0.env", R"("appdata")",
                  "windows startup_folders: env must be one of APPDATA, ProgramData, "
                  "LOCALAPPDATA, USERPROFILE, ALLUSERSPROFILE, PUBLIC"},
        FaultCase{"folder_sub_dots", "locations.windows.startup_folders.0.sub", R"("a\\..")",
                  R"(windows startup_folders sub: a path may not contain "..")"},
        FaultCase{"folder_sub_control", "locations.windows.startup_folders.0.sub", R"("a\u0002")",
                  "windows startup_folders sub: a path is too long or has control characters"},
        FaultCase{"folder_sub_drive", "locations.windows.startup_folders.0.sub", R"("C:\\x")",
                  relative_sub},
        FaultCase{"folder_sub_backslash", "locations.windows.startup_folders.0.sub",
                  R"("\\Startup")", relative_sub},
        FaultCase{"folder_sub_slash", "locations.windows.startup_folders.0.sub", R"("/Startup")",
                  relative_sub},
        FaultCase{"folder_sub_empty", "locations.windows.startup_folders.0.sub", R"("")",
                  relative_sub},
        FaultCase{"folder_label", "locations.windows.startup_folders.0.label", repeated("l", 81),
                  R"(windows startup_folders: "label" is longer than 80 characters)"},
        FaultCase{"task_root_dots", "locations.windows.task_roots", R"(["a\\..\\b"])",
                  R"(windows task_roots: a path may not contain "..")"},
        FaultCase{"task_root_colon", "locations.windows.task_roots", R"(["C:\\Tasks"])",
                  relative_task},
        FaultCase{"task_root_backslash", "locations.windows.task_roots", R"(["\\Tasks"])",
                  relative_task},
        FaultCase{"task_root_empty", "locations.windows.task_roots", R"(["ok", ""])",
                  relative_task},
        FaultCase{"task_root_list_before_relative", "locations.windows.task_roots",
                  R"(["C:\\x", "a\\..\\b"])", R"(windows task_roots: a path may not contain "..")"},
        FaultCase{"autostart_control", "locations.linux.autostart_dirs", R"(["/etc/\u0001"])",
                  "linux autostart_dirs: a path is too long or has control characters"},
        FaultCase{"app_dirs_dots", "locations.linux.app_dirs", R"(["/usr/../share"])",
                  R"(linux app_dirs: a path may not contain "..")"},
        FaultCase{"unit_types_dots", "locations.linux.unit_types", R"(["a..b"])",
                  R"(linux unit_types: a path may not contain "..")"},
        FaultCase{"unit_type_capital", "locations.linux.unit_types", R"(["Service"])",
                  "linux unit_types: only lower-case letters"},
        FaultCase{"unit_type_digit", "locations.linux.unit_types", R"(["service2"])",
                  "linux unit_types: only lower-case letters"},
        FaultCase{"launchd_domain", "locations.macos.launchd_dirs.0.domain", R"("user")",
                  "macos launchd_dirs: domain must be gui or system"},
        FaultCase{"launchd_path_dots", "locations.macos.launchd_dirs.0.path", R"("/Library/..")",
                  R"(macos launchd_dirs: a path may not contain "..")"},
        FaultCase{"launchd_path_tab", "locations.macos.launchd_dirs.0.path", R"("/a\tb")",
                  "macos launchd_dirs: a path is too long or has control characters"},
        FaultCase{"macos_app_dirs", "locations.macos.app_dirs", R"(["/Apps/\u001b"])",
                  "macos app_dirs: a path is too long or has control characters"}),
    [](const auto& test) { return std::string(test.param.name); });

struct AcceptCase {
    const char* name;
    const char* path;
    std::string value;
};

void PrintTo(const AcceptCase& c, std::ostream* os) {
    *os << c.name;
}

class PackAccepts : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(PackAccepts, Passes) {
    EXPECT_THAT(parse_pack(pack_with(GetParam().path, GetParam().value)), IsOk());
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PackAccepts,
    ::testing::Values(
        AcceptCase{"schema_1_9", "schema", "1.9"},
        AcceptCase{"version_dots_only", "version", R"("...")"},
        AcceptCase{"version_40", "version", repeated("1", 40)},
        AcceptCase{"published_40_accented", "published", repeated("\u00e9", 40)},
        AcceptCase{"published_missing", "published", ""},
        AcceptCase{"min_program_1_0", "min_program", R"("1.0")"},
        AcceptCase{"min_program_1_0_0_0", "min_program", R"("1.0.0.0")"},
        AcceptCase{"min_program_empty", "min_program", R"("")"},
        AcceptCase{"min_program_not_a_number", "min_program", R"("1.x")"},
        AcceptCase{"match_120", "rules.linux.0.match", repeated("a", 120)},
        AcceptCase{"match_star_inside", "rules.linux.0.match", R"("a*b")"},
        AcceptCase{"match_tab", "rules.linux.0.match", R"("a\tb")"},
        AcceptCase{"second_rule", "rules.linux.1", R"({"match":"x","level":"safe","effect":"y"})"},
        AcceptCase{"effect_tab", "rules.linux.0.effect", R"("a\tb")"},
        AcceptCase{"effect_500", "rules.linux.0.effect", repeated("e", 500)},
        AcceptCase{"rules_not_object", "rules", "[]"},
        AcceptCase{"os_list_not_array", "rules.linux", R"({"match":"x"})"},
        AcceptCase{"hint_abc", "hints.0.word", R"("abc")"},
        AcceptCase{"hint_empty_effect", "hints.0.effect", R"("")"},
        AcceptCase{"hint_dotted_i_grows_when_lowered", "hints.0.word", R"("\u0130a")"},
        AcceptCase{"hints_not_array", "hints", R"({"word":"a"})"},
        AcceptCase{"run_key_view_32", "locations.windows.run_keys.0.view", R"("32")"},
        AcceptCase{"run_key_path_300", "locations.windows.run_keys.0.path", repeated("p", 300)},
        AcceptCase{"task_root_relative", "locations.windows.task_roots", R"(["System32\\Tasks"])"},
        AcceptCase{"task_root_number_skipped", "locations.windows.task_roots", R"([5, "Tasks"])"},
        AcceptCase{"app_dir_number_skipped", "locations.linux.app_dirs", R"([1, null, "/a"])"},
        AcceptCase{"unit_type_empty", "locations.linux.unit_types", R"([""])"},
        AcceptCase{"locations_not_object", "locations", "7"},
        AcceptCase{"folder_env_ProgramData", "locations.windows.startup_folders.0.env",
                   R"("ProgramData")"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ParsePack, EarlierFaultWins) {
    // Text checks of all four header texts come before the version's form.
    json::JsonValue header = *json::parse(pack_with("version", R"("x")"));
    testing::set_member(header, "description", std::string(301, 'd'));
    EXPECT_THAT(parse_pack(json::to_text(header)),
                FailsWith(R"(pack: "description" is longer than 300 characters)"));
    // The version's form is checked before min_program.
    testing::set_member(header, "description", "");
    testing::set_member(header, "min_program", "9");
    EXPECT_THAT(parse_pack(json::to_text(header)), FailsWith(version_message));
    // Windows rules are checked before Linux rules, rules before hints, hints before locations.
    json::JsonValue root = *json::parse(pack_with("rules.linux.0.level", R"("bad")"));
    testing::set_member(root, "rules.windows.0.match", "*");
    testing::set_member(root, "hints.0.word", "x");
    EXPECT_THAT(parse_pack(json::to_text(root)), FailsWith("windows rule 1: the pattern is empty"));
    json::JsonValue later = *json::parse(pack_with("hints.0.word", R"("x")"));
    testing::set_member(later, "locations.windows.run_keys.0.hive", "x");
    EXPECT_THAT(parse_pack(json::to_text(later)),
                FailsWith("hint 1: the word must be at least 3 characters (a shorter one would "
                          "match almost every name)"));
    json::JsonValue locations =
        *json::parse(pack_with("locations.macos.launchd_dirs.0.domain", R"("x")"));
    testing::set_member(locations, "locations.linux.unit_types", json::JsonArray{"A"});
    EXPECT_THAT(parse_pack(json::to_text(locations)),
                FailsWith("linux unit_types: only lower-case letters"));
}

TEST(ParsePack, NotJsonCarriesTheReadersMessage) {
    auto result = parse_pack("{\"format\":");
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("That is not a knowledge pack: "));
    EXPECT_GT(result.error().size(), std::string("That is not a knowledge pack: ").size());
    EXPECT_THAT(parse_pack("[1]"), FailsWith("That is not a Bootsmith knowledge pack."));
}

TEST(ParsePack, KeepsTextsAsGivenAndLowerCasesPatternsAndWords) {
    json::JsonValue root = *json::parse(testing::base_pack_text("2027.4.5"));
    testing::set_member(root, "rules.linux.0.match", "  SSH* ");
    testing::set_member(root, "rules.linux.0.effect", "  Keeps   spaces. ");
    testing::set_member(root, "hints.0.word", " \u00c9CLAIR ");
    testing::set_member(root, "locations.macos.launchd_dirs.0.system", "yes");
    auto pack = parse_pack(json::to_text(root));
    ASSERT_THAT(pack, IsOk());
    EXPECT_EQ(pack->version, "2027.4.5");
    EXPECT_EQ(pack->published, "2027-01-01");
    EXPECT_EQ(pack->description, "Test pack");
    EXPECT_EQ(pack->min_program, "1.0.0");
    ASSERT_EQ(pack->rules.linux_rules.size(), 1u);
    EXPECT_EQ(pack->rules.linux_rules[0].pattern, "  ssh* ");
    EXPECT_EQ(pack->rules.linux_rules[0].effect, "  Keeps   spaces. ");
    EXPECT_EQ(pack->rules.linux_rules[0].level, Level::high);
    ASSERT_EQ(pack->rules.windows.size(), 1u);
    EXPECT_EQ(pack->rules.windows[0].pattern, "spooler");
    EXPECT_EQ(pack->rules.windows[0].level, Level::caution);
    ASSERT_EQ(pack->hints.size(), 1u);
    EXPECT_EQ(pack->hints[0].word, " \u00e9clair ");
    EXPECT_EQ(pack->hints[0].level, Level::low);
    const KnowledgeLocations& at = pack->locations;
    ASSERT_EQ(at.run_keys.size(), 1u);
    EXPECT_EQ(at.run_keys[0].path, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_EQ(at.run_keys[0].approved, "Run");
    EXPECT_EQ(at.run_keys[0].label, "Registry (Run, this user)");
    ASSERT_EQ(at.startup_folders.size(), 1u);
    EXPECT_EQ(at.startup_folders[0].scope, "user");
    EXPECT_EQ(at.task_roots, std::vector<std::string>{"System32\\Tasks"});
    EXPECT_EQ(at.linux_autostart_dirs,
              (std::vector<std::string>{"/etc/xdg/autostart", "~/.config/autostart"}));
    EXPECT_EQ(at.linux_unit_types, (std::vector<std::string>{"service", "timer"}));
    ASSERT_EQ(at.launchd_dirs.size(), 1u);
    EXPECT_FALSE(at.launchd_dirs[0].system);
    EXPECT_EQ(at.macos_app_dirs, std::vector<std::string>{"/Applications"});
}

TEST(ParsePack, WrongTypesEverywhereReadAsMissing) {
    auto pack = parse_pack(
        R"({"format":"bootsmith-knowledge","schema":1,"version":"1","published":5,)"
        R"("description":[],"min_program":{},"rules":"x","hints":{},"locations":[],"extra":1})");
    ASSERT_THAT(pack, IsOk());
    EXPECT_EQ(pack->published, "");
    EXPECT_EQ(pack->description, "");
    EXPECT_TRUE(pack->rules.linux_rules.empty());
    EXPECT_TRUE(pack->hints.empty());
    EXPECT_TRUE(pack->locations.run_keys.empty());
}

TEST(ParsePack, PathListSkipsOtherTypesAndKeepsOrder) {
    auto pack = parse_pack(pack_with("locations.linux.app_dirs", R"(["/b", 3, true, "/a"])"));
    ASSERT_THAT(pack, IsOk());
    EXPECT_EQ(pack->locations.linux_app_dirs, (std::vector<std::string>{"/b", "/a"}));
}

TEST(ParsePack, LaunchdSystemFlag) {
    auto pack = parse_pack(pack_with("locations.macos.launchd_dirs.0.system", "true"));
    ASSERT_THAT(pack, IsOk());
    EXPECT_TRUE(pack->locations.launchd_dirs[0].system);
}

struct VersionCase {
    const char* a;
    const char* b;
    Order expected;
};

class CompareVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CompareVersions, OrdersPieceByPiece) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(compare_versions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    Order mirrored = c.expected == Order::less      ? Order::greater
                     : c.expected == Order::greater ? Order::less
                                                    : Order::equal;
    EXPECT_EQ(compare_versions(c.b, c.a), mirrored) << c.b << " vs " << c.a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompareVersions,
    ::testing::Values(
        VersionCase{"1.0", "1.0.0", Order::equal}, VersionCase{"1.10", "1.9", Order::greater},
        VersionCase{"1.x", "1.0", Order::equal},
        VersionCase{"2026.10.13.1", "2026.10.13", Order::greater},
        VersionCase{"2026.9.1", "2026.10.1", Order::less}, VersionCase{"", "0", Order::equal},
        VersionCase{"", "0.0.1", Order::less}, VersionCase{"...", "0", Order::equal},
        VersionCase{"1..2", "1.0.2", Order::equal}, VersionCase{"007", "7", Order::equal},
        VersionCase{"+1", "0", Order::equal}, VersionCase{"-1", "0", Order::equal},
        VersionCase{"99999999999999999999999", "0", Order::equal},
        VersionCase{"18446744073709551615", "18446744073709551614", Order::greater},
        VersionCase{"broken: x", "0", Order::equal}, VersionCase{"1.0.0.1", "1", Order::greater}));

}  // namespace
}  // namespace bootsmith::knowledge
