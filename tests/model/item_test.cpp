#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foundation/json.hpp"
#include "model/item.hpp"

namespace bootsmith::model {
namespace {

TEST(Item, ConstructorFormsIdAndDefaults) {
    Item item("service", "Windows service", "machine", "Services", "wuauserv");
    EXPECT_EQ(item.id, "service|machine|Services|wuauserv");
    EXPECT_EQ(item.toggle, "ok");
    EXPECT_EQ(item.risk.level, Level::unknown);
    EXPECT_EQ(item.risk.confidence, "low");
    EXPECT_TRUE(item.risk.effect.empty());
    EXPECT_TRUE(item.risk.reasons.empty());
    EXPECT_FALSE(item.enabled);
    EXPECT_FALSE(item.running);
    EXPECT_FALSE(item.managed);
}

TEST(Item, BarsInsideNamesStayInTheId) {
    Item item("cron", "cron @reboot", "user", "a|b", "x|y");
    EXPECT_EQ(item.id, "cron|user|a|b|x|y");
}

TEST(Extra, SetReplacesInPlaceAndAppendsNewKeys) {
    Extra extra;
    extra.set("file", "/a");
    extra.set("short", "a");
    extra.set("file", "/b");
    ASSERT_EQ(extra.pairs().size(), 2u);
    EXPECT_EQ(extra.pairs()[0].first, "file");
    EXPECT_EQ(extra.pairs()[0].second, "/b");
    EXPECT_EQ(extra.get("short"), "a");
    EXPECT_EQ(extra.get("missing"), "");
}

TEST(ItemJson, MembersInFixedOrderWithoutExtra) {
    Item item("run", "Registry (Run, this user)", "user", "HKCU\\Run\\64", "Spotify");
    item.extra.set("secret", "not shown");
    item.dependents = {"A", "B"};
    item.also_started_by = {{"a.socket", "socket", true}};
    std::string text = json::to_text(to_json(item));
    EXPECT_EQ(
        text,
        "{\"id\":\"run|user|HKCU\\\\Run\\\\64|Spotify\",\"name\":\"Spotify\",\"kind\":\"run\","
        "\"kind_label\":\"Registry (Run, this user)\",\"scope\":\"user\","
        "\"location\":\"HKCU\\\\Run\\\\64\",\"command\":\"\",\"exe\":\"\",\"publisher\":\"\","
        "\"description\":\"\",\"origin\":\"\",\"package\":\"\",\"enabled\":false,"
        "\"running\":false,\"state_text\":\"\",\"toggle\":\"ok\",\"toggle_note\":\"\","
        "\"managed\":false,\"dependents\":[\"A\",\"B\"],\"risk\":{\"level\":\"unknown\","
        "\"effect\":\"\",\"reasons\":[],\"confidence\":\"low\",\"blocked\":false,"
        "\"needs_ack\":true,\"source\":\"\",\"matched\":\"\"},\"also_started_by\":[{\"name\":\"a."
        "socket\",\"how\":"
        "\"socket\",\"on\":true,\"switched_off_with_it\":false}],\"boot_ms\":null}");
    item.boot_ms = 2140;
    EXPECT_THAT(json::to_text(to_json(item)), testing::EndsWith(",\"boot_ms\":2140}"));
}

TEST(CandidateJson, EmptyListsAreEmptyArrays) {
    Candidate c;
    c.id = "app|x";
    EXPECT_EQ(json::to_text(to_json(c)),
              "{\"id\":\"app|x\",\"name\":\"\",\"source\":\"\",\"exe\":\"\",\"command\":\"\","
              "\"workdir\":\"\",\"user\":\"\",\"pids\":[],\"publisher\":\"\",\"description\":\"\","
              "\"modes\":[],\"notes\":[],\"entry_id\":\"\",\"system\":false}");
}

TEST(CandidateJson, PidsAndModesInOrder) {
    Candidate c;
    c.pids = {42, 7};
    c.modes.emplace_back("login", "L", "D", false, true);
    auto value = to_json(c);
    EXPECT_EQ(json::to_text(*value.get("pids")), "[42,7]");
    EXPECT_EQ(json::to_text(*value.get("modes")),
              "[{\"id\":\"login\",\"label\":\"L\",\"detail\":\"D\",\"needs_admin\":false,"
              "\"recommended\":true}]");
}

TEST(Assessment, DerivedFlagsFollowTheLevel) {
    struct Case {
        Level level;
        bool blocked;
        bool needs_ack;
    };
    for (const Case& c : {Case{Level::safe, false, false}, Case{Level::low, false, false},
                          Case{Level::caution, false, true}, Case{Level::high, false, true},
                          Case{Level::critical, true, false}, Case{Level::unknown, false, true}}) {
        Assessment a = Assessment::make(c.level, "e", "high");
        EXPECT_EQ(a.blocked(), c.blocked) << level_name(c.level);
        EXPECT_EQ(a.needs_ack(), c.needs_ack) << level_name(c.level);
    }
}

TEST(Level, FromTextAcceptsOnlyTheFivePackLevels) {
    EXPECT_EQ(level_from_text("critical"), Level::critical);
    EXPECT_EQ(level_from_text("safe"), Level::safe);
    for (const char* bad : {"unknown", "High", " high", "high ", ""}) {
        EXPECT_FALSE(level_from_text(bad).has_value()) << bad;
    }
}

TEST(StoredSpec, RoundTripAndMissingKeys) {
    CreateRequest request{"n", "c", "e", "w", "m", "u", "d"};
    EXPECT_EQ(from_stored(to_stored(request)), request);
    CreateRequest partial = from_stored({{"command", "x"}});
    EXPECT_EQ(partial.command, "x");
    EXPECT_EQ(partial.name, "");
}

}  // namespace
}  // namespace bootsmith::model
