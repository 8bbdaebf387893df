// Packs made to hurt: oversized, deeply nested, with too many entries.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "knowledge/pack.hpp"
#include "knowledge/pack_text.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::knowledge {
namespace {

using testing::FailsWith;
using testing::IsOk;

constexpr std::size_t three_mb = 3 * 1024 * 1024;

std::string rule_array(std::size_t count) {
    std::string list = "[";
    for (std::size_t i = 0; i < count; ++i) {
        list += (i ? "," : "");
        list += R"({"match":"r)" + std::to_string(i) + R"(","level":"low","effect":"x"})";
    }
    return list + "]";
}

std::string path_array(std::size_t count, std::string_view prefix) {
    std::string list = "[";
    for (std::size_t i = 0; i < count; ++i) {
        list += (i ? ",\"" : "\"") + std::string(prefix) + std::to_string(i) + "\"";
    }
    return list + "]";
}

std::string run_key_array(std::size_t count) {
    std::string list = "[";
    for (std::size_t i = 0; i < count; ++i) {
        list += (i ? "," : "");
        list +=
            R"({"hive":"HKLM","view":"64","scope":"machine","path":"K)" + std::to_string(i) + "\"}";
    }
    return list + "]";
}

TEST(HostilePack, SizeLimitIsThreeMegabytes) {
    std::string text = testing::base_pack_text();
    text.resize(three_mb, ' ');
    EXPECT_THAT(parse_pack(text), IsOk());
    text.push_back(' ');
    EXPECT_THAT(parse_pack(text),
                FailsWith("The file is larger than 3 MB, which a knowledge pack never is."));
}

TEST(HostilePack, SizeIsCheckedBeforeAnythingElse) {
    EXPECT_THAT(parse_pack(std::string(three_mb + 1, '[')),
                FailsWith("The file is larger than 3 MB, which a knowledge pack never is."));
}

TEST(HostilePack, DeepNestingIsAJsonError) {
    for (std::string opener : {"[", "{\"a\":"}) {
        std::string text;
        while (text.size() + opener.size() <= three_mb) {
            text += opener;
        }
        auto result = parse_pack(text);
        ASSERT_FALSE(result.has_value());
        EXPECT_THAT(result.error(), ::testing::StartsWith("That is not a knowledge pack: "));
    }
    std::string nested_member = testing::base_pack_text();
    nested_member.insert(1,
                         R"("deep":)" + std::string(100000, '[') + std::string(100000, ']') + ",");
    auto result = parse_pack(nested_member);
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("That is not a knowledge pack: "));
}

struct CountCase {
    const char* name;
    const char* path;
    std::string within;
    std::string beyond;
    const char* message;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class CountLimit : public ::testing::TestWithParam<CountCase> {};

TEST_P(CountLimit, PassesAtTheLimitAndFailsOneBeyond) {
    const CountCase& c = GetParam();
    EXPECT_THAT(parse_pack(testing::pack_with(c.path, c.within)), IsOk());
    EXPECT_THAT(parse_pack(testing::pack_with(c.path, c.beyond)), FailsWith(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, CountLimit,
    ::testing::Values(CountCase{"windows_rules", "rules.windows", rule_array(5000),
                                rule_array(5001), "windows: more than 5000 rules"},
                      CountCase{"linux_rules", "rules.linux", rule_array(5000), rule_array(5001),
                                "linux: more than 5000 rules"},
                      CountCase{"macos_rules", "rules.macos", rule_array(5000), rule_array(5001),
                                "macos: more than 5000 rules"},
                      CountCase{"run_keys", "locations.windows.run_keys", run_key_array(100),
                                run_key_array(101), "windows run_keys: too many entries"},
                      CountCase{"task_roots", "locations.windows.task_roots", path_array(200, "T"),
                                path_array(201, "T"), "windows task_roots: too many entries"},
                      CountCase{"autostart_dirs", "locations.linux.autostart_dirs",
                                path_array(200, "/a"), path_array(201, "/a"),
                                "linux autostart_dirs: too many entries"},
                      CountCase{"linux_app_dirs", "locations.linux.app_dirs", path_array(200, "/b"),
                                path_array(201, "/b"), "linux app_dirs: too many entries"},
                      CountCase{"macos_app_dirs", "locations.macos.app_dirs", path_array(200, "/c"),
                                path_array(201, "/c"), "macos app_dirs: too many entries"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(HostilePack, UnitTypesListIsLimitedBeforeItsLetters) {
    std::string list = "[";
    for (int i = 0; i < 201; ++i) {
        list += i ? ",\"x\"" : "\"x\"";
    }
    EXPECT_THAT(parse_pack(testing::pack_with("locations.linux.unit_types", list + "]")),
                FailsWith("linux unit_types: too many entries"));
}

TEST(HostilePack, RuleCountIsCheckedBeforeTheRules) {
    std::string bad = "[" + std::string(R"("x",)") + rule_array(5000).substr(1);
    EXPECT_THAT(parse_pack(testing::pack_with("rules.linux", bad)),
                FailsWith("linux: more than 5000 rules"));
}

TEST(HostilePack, HintsHaveNoCountLimitButEachIsChecked) {
    std::string hints = "[";
    for (int i = 0; i < 6000; ++i) {
        hints += (i ? "," : "");
        hints += R"({"word":"word)" + std::to_string(i) + R"(","level":"low","effect":""})";
    }
    auto pack = parse_pack(testing::pack_with("hints", hints + "]"));
    ASSERT_THAT(pack, IsOk());
    EXPECT_EQ(pack->hints.size(), 6000u);
    std::string bad = hints + R"(,{"word":"last","level":"Low"}])";
    EXPECT_THAT(parse_pack(testing::pack_with("hints", bad)), FailsWith("hint 6001: bad level"));
}

TEST(HostilePack, ControlCharactersInEveryKindOfText) {
    EXPECT_THAT(parse_pack(testing::pack_with("description", R"("line\nbreak")")),
                FailsWith(R"(pack: "description" contains control characters)"));
    EXPECT_THAT(parse_pack(testing::pack_with("locations.linux.autostart_dirs", R"(["/a\tb"])")),
                FailsWith("linux autostart_dirs: a path is too long or has control characters"));
    EXPECT_THAT(parse_pack(testing::pack_with("rules.macos.0.match", R"("com.\u001b[31m")")),
                FailsWith(R"(macos rule 1: "match" contains control characters)"));
}

}  // namespace
}  // namespace bootsmith::knowledge
