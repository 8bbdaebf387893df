#include <map>

#include "cli_fixture.hpp"
#include "foundation/json.hpp"

namespace bootsmith::testing {
namespace {

class Boot : public CliTest {};

TEST_F(Boot, TextShowsTheTotalTheLongestEntriesAndTheAdvice) {
    Outcome o = demo({"boot"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err,
              "DEMO-PC - Windows 11 Pro 24H2 (demonstration data) - demouser (administrator)\n");
    auto lines = lines_of(o.out);
    ASSERT_EQ(lines.size(), 22u) << o.out;
    EXPECT_EQ(lines[0],
              "This start-up took 19.4 s (firmware 4.1 s + loader 0.9 s + kernel 2.6 s + "
              "userspace 11.8 s).");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "NAME                                     TIME     IF OFF    WAITED");
    EXPECT_EQ(lines[3], "WSearch                                  3.1 s    low       no");
    EXPECT_EQ(lines[5], "AcmeDevDb                                2.8 s    high      yes");
    EXPECT_EQ(lines[17].substr(0, 8), "OemPanel");
    EXPECT_EQ(lines[19], "15 of 20 entries with a start-up time, longest first.");
    EXPECT_EQ(lines[21],
              "Slow to start, and little is lost without them: WSearch (3.1 s), OneDrive (2.9 s), "
              "Discord (2.2 s). Switch one off with: bootsmith disable NAME");
}

TEST_F(Boot, JsonAgreesWithTheItemsOfTheListing) {
    Outcome o = demo({"boot", "--json"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    auto report = json::parse(o.out);
    ASSERT_TRUE(report) << o.out;
    EXPECT_EQ(report->get("total_ms")->as_number(), 19400.0);
    EXPECT_EQ(report->get("phases")->get("kernel_ms")->as_number(), 2600.0);
    EXPECT_TRUE(report->get("phases")->get("initrd_ms")->is_null());
    EXPECT_EQ(report->get("measured")->as_number(), 20.0);
    EXPECT_THAT(report->get_str("advice"), ::testing::StartsWith("Slow to start"));

    auto listed = json::parse(demo({"list", "--json"}).out);
    ASSERT_TRUE(listed);
    std::map<std::string, const json::JsonValue*> by_id;
    for (const auto& item : *listed->as_array()) {
        by_id[item.get_str("id")] = item.get("boot_ms");
    }
    const auto& entries = *report->get("entries")->as_array();
    ASSERT_EQ(entries.size(), 15u);
    double previous = 1e9;
    for (const auto& entry : entries) {
        double ms = entry.get("boot_ms")->as_number().value_or(-1);
        EXPECT_LE(ms, previous) << entry.get_str("name");
        previous = ms;
        ASSERT_TRUE(by_id.contains(entry.get_str("id"))) << entry.get_str("id");
        EXPECT_EQ(by_id[entry.get_str("id")]->as_number(), ms) << entry.get_str("name");
        EXPECT_TRUE(entry.get("waited")->is_bool());
    }
    EXPECT_TRUE(by_id["run|user|HKCU\\Run\\64|Steam"]->is_null()) << "switched off: not started";
}

TEST_F(Boot, AssessSaysHowLongAnEntryTookOnlyWhenItWasMeasured) {
    EXPECT_THAT(demo({"assess", "Spotify"}).out,
                ::testing::EndsWith("\nAt the last start-up it took 1.7 s.\n"));
    EXPECT_THAT(demo({"assess", "Steam"}).out,
                ::testing::Not(::testing::HasSubstr("At the last start-up")));
}

}  // namespace
}  // namespace bootsmith::testing
