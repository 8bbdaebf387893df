#include <gtest/gtest.h>

#include "knowledge/store.hpp"

namespace bootsmith::knowledge {
namespace {

std::vector<Rule> rules_of(std::initializer_list<const char*> patterns) {
    std::vector<Rule> rules;
    for (const char* pattern : patterns) {
        rules.push_back(Rule{pattern, std::string("effect of ") + pattern, Level::low});
    }
    return rules;
}

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class PatternMatch : public ::testing::TestWithParam<MatchCase> {};

TEST_P(PatternMatch, FollowsTheFormOfThePattern) {
    const MatchCase& c = GetParam();
    auto rules = rules_of({c.pattern});
    EXPECT_EQ(find_rule(rules, {c.name}) != nullptr, c.matches)
        << "pattern " << c.pattern << " name " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PatternMatch,
    ::testing::Values(
        // exact
        MatchCase{"cups", "cups", true}, MatchCase{"cups", "CUPS", false},
        MatchCase{"cups", "cups-browsed", false}, MatchCase{"cups", "xcups", false},
        // prefix
        MatchCase{"dropbox*", "dropbox-daemon", true}, MatchCase{"dropbox*", "dropbox", true},
        MatchCase{"dropbox*", "my-dropbox", false},
        // suffix
        MatchCase{"*tray", "systray", true}, MatchCase{"*tray", "tray", true},
        MatchCase{"*tray", "trayicon", false},
        // contains
        MatchCase{"*update*", "software-update-monitor", true},
        MatchCase{"*update*", "update", true}, MatchCase{"*update*", "updat", false},
        // several asterisks at an end count as one
        MatchCase{"**gdm**", "xgdmx", true}, MatchCase{"gdm**", "gdm3", true},
        // an asterisk inside is an ordinary character
        MatchCase{"php*-fpm", "php8.2-fpm", false}, MatchCase{"php*-fpm", "php*-fpm", true},
        MatchCase{"java*update*", "java-update-x", false},
        MatchCase{"java*update*", "java*updater", true},
        // spaces are part of the pattern
        MatchCase{"windows defender *", "windows defender scan", true},
        MatchCase{"windows defender *", "windows defenderx", false},
        // byte-for-byte, no case folding of non-ASCII
        MatchCase{"\u00e9t\u00e9", "\u00e9t\u00e9", true},
        MatchCase{"\u00e9t\u00e9", "\u00c9t\u00e9", false}));

TEST(FindRule, TheOrderOfRulesDecidesNotTheOrderOfNames) {
    auto rules = rules_of({"systemd-logind", "systemd-*"});
    const Rule* found = find_rule(rules, {"systemd-foo", "systemd-logind"});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->pattern, "systemd-logind");
    found = find_rule(rules, {"systemd-udevd"});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->pattern, "systemd-*");
}

TEST(FindRule, BroadPatternsAndTheirNames) {
    auto rules = rules_of({"*update*", "*tray", "dropbox*", "cups"});
    struct {
        const char* name;
        const char* pattern;
    } cases[] = {{"software-update-monitor", "*update*"},
                 {"systray", "*tray"},
                 {"dropbox-daemon", "dropbox*"},
                 {"cups", "cups"}};
    for (const auto& c : cases) {
        const Rule* found = find_rule(rules, {c.name});
        ASSERT_NE(found, nullptr) << c.name;
        EXPECT_EQ(found->pattern, c.pattern) << c.name;
    }
    EXPECT_EQ(find_rule(rules, {"CUPS"}), nullptr);
}

TEST(FindRule, EmptyNamesAreSkippedAndNothingMatchesNothing) {
    auto rules = rules_of({"*a*", "x*", "*y"});
    EXPECT_EQ(find_rule(rules, {"", ""}), nullptr);
    EXPECT_EQ(find_rule(rules, {}), nullptr);
    EXPECT_EQ(find_rule({}, {"anything"}), nullptr);
    const Rule* found = find_rule(rules, {"", "zy"});
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->pattern, "*y");
}

TEST(FindHint, EarlierHintInListOrderWins) {
    std::vector<Hint> hints = {{"sync", "syncing", Level::low},
                               {"cloud", "cloud storage", Level::low},
                               {"nextcloud", "never reached first", Level::high}};
    const Hint* found = find_hint(hints, "nextcloud-sync-client");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->word, "sync");
    found = find_hint(hints, "my-nextcloud");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->word, "cloud");
    EXPECT_EQ(find_hint(hints, "NEXTCLOUD"), nullptr);
    EXPECT_EQ(find_hint(hints, ""), nullptr);
    EXPECT_EQ(find_hint({}, "sync"), nullptr);
}

TEST(RulesFor, PicksTheLayerAndSystem) {
    KnowledgeStore store;
    store.builtin.rules.windows = rules_of({"w"});
    store.builtin.rules.linux_rules = rules_of({"l"});
    store.builtin.rules.macos = rules_of({"m"});
    store.installed.rules.linux_rules = rules_of({"il"});
    EXPECT_EQ(rules_for(store, LayerId::builtin, "windows")[0].pattern, "w");
    EXPECT_EQ(rules_for(store, LayerId::builtin, "linux")[0].pattern, "l");
    EXPECT_EQ(rules_for(store, LayerId::builtin, "macos")[0].pattern, "m");
    EXPECT_EQ(rules_for(store, LayerId::installed, "linux")[0].pattern, "il");
    EXPECT_TRUE(rules_for(store, LayerId::installed, "windows").empty());
    EXPECT_TRUE(rules_for(store, LayerId::builtin, "Linux").empty());
    EXPECT_TRUE(rules_for(store, LayerId::builtin, "freebsd").empty());
}

}  // namespace
}  // namespace bootsmith::knowledge
