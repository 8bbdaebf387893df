#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/boot_cost.hpp"

namespace bootsmith::engine {
namespace {

using model::Level;

struct Timed {
    const char* name;
    std::optional<std::uint64_t> ms;
    Level level = Level::safe;
    bool enabled = true;
    const char* toggle = "ok";
    bool target_after = false;
    std::uint64_t done_us = 0;
};

std::vector<model::Item> items_of(const std::vector<Timed>& rows) {
    std::vector<model::Item> items;
    for (const auto& row : rows) {
        model::Item item("systemd", "systemd service", "machine", "/etc", row.name);
        item.boot_ms = row.ms;
        item.risk.level = row.level;
        item.enabled = row.enabled;
        item.toggle = row.toggle;
        item.boot_target_after = row.target_after;
        item.boot_done_us = row.done_us;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<std::string> names(const BootReport& report) {
    std::vector<std::string> out;
    for (const auto& entry : report.entries) {
        out.push_back(entry.name);
    }
    return out;
}

TEST(BootRanking, LongestFirstTiesByNameUnmeasuredLeftOut) {
    auto report = rank_boot_costs(
        items_of({{"b", 300}, {"none", std::nullopt}, {"A", 300}, {"c", 900}, {"zero", 0}}), {});
    EXPECT_THAT(names(report), ::testing::ElementsAre("c", "A", "b", "zero"));
    EXPECT_EQ(report.measured, 4u);
}

TEST(BootRanking, KeepsFifteenButCountsAll) {
    std::vector<Timed> rows;
    std::vector<std::string> labels;
    for (int i = 0; i < 20; ++i) {
        labels.push_back("u" + std::to_string(100 + i));
    }
    for (int i = 0; i < 20; ++i) {
        rows.push_back({labels[i].c_str(), static_cast<std::uint64_t>(i * 10)});
    }
    auto report = rank_boot_costs(items_of(rows), {});
    ASSERT_EQ(report.entries.size(), boot_ranking_size);
    EXPECT_EQ(report.entries.front().name, "u119");
    EXPECT_EQ(report.entries.back().name, "u105");
    EXPECT_EQ(report.measured, 20u);
}

TEST(BootRanking, WaitedNeedsATargetAfterItAndReadinessBeforeTheEnd) {
    platform::BootPhases finished;
    finished.finished_us = 10'000'000;
    struct Case {
        Timed row;
        platform::BootPhases phases;
        bool waited;
    } cases[] = {
        {{"before end", 500, Level::safe, true, "ok", true, 9'000'000}, finished, true},
        {{"at the end", 500, Level::safe, true, "ok", true, 10'000'000}, finished, true},
        {{"after end", 500, Level::safe, true, "ok", true, 12'000'000}, finished, false},
        {{"nothing after it", 500, Level::safe, true, "ok", false, 9'000'000}, finished, false},
        {{"no stamp", 500, Level::safe, true, "ok", true, 0}, finished, false},
        {{"still booting", 500, Level::safe, true, "ok", true, 12'000'000}, {}, true},
    };
    for (const auto& c : cases) {
        auto report = rank_boot_costs(items_of({c.row}), c.phases);
        ASSERT_EQ(report.entries.size(), 1u);
        EXPECT_EQ(report.entries[0].waited, c.waited) << c.row.name;
    }
}

TEST(BootAdvice, NamesOnlySlowEntriesThatCanGoWithLittleLoss) {
    struct Case {
        const char* label;
        std::vector<Timed> rows;
        const char* advice;
    } cases[] = {
        {"slow safe and low ones, at most three",
         {{"a", 4000, Level::low},
          {"b", 3000, Level::safe},
          {"c", 2000, Level::safe},
          {"d", 1500, Level::safe},
          {"quick", 999, Level::safe}},
         "Slow to start, and little is lost without them: a (4.0 s), b (3.0 s), c (2.0 s). "
         "Switch one off with: bootsmith disable NAME"},
        {"one",
         {{"x", 1000, Level::safe}},
         "Slow to start, and little is lost without it: x (1.0 s). Switch one off with: "
         "bootsmith disable NAME"},
        {"needed, locked or already off",
         {{"needed", 5000, Level::caution},
          {"locked", 4000, Level::safe, true, "locked"},
          {"off", 3000, Level::safe, false},
          {"unknown", 2000, Level::unknown}},
         "The slow entries are all needed or cannot be switched here; switching them off "
         "would cost more than it saves."},
        {"nothing slow",
         {{"quick", 400, Level::safe}},
         "Nothing took 1.0 s or more to start, so there is nothing to gain here."},
        {"nothing measured", {{"none", std::nullopt}}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rank_boot_costs(items_of(c.rows), {}).advice, c.advice) << c.label;
    }
}

TEST(BootTexts, SecondsTotalsAndTheAssessLine) {
    std::pair<std::uint64_t, const char*> seconds[] = {{0, "0.0 s"},    {49, "0.0 s"},
                                                       {50, "0.1 s"},   {2049, "2.0 s"},
                                                       {2050, "2.1 s"}, {61234, "61.2 s"}};
    for (const auto& [ms, text] : seconds) {
        EXPECT_EQ(seconds_text(ms), text) << ms;
    }
    platform::BootPhases container;
    container.userspace_ms = 1234;
    container.total_ms = 1234;
    EXPECT_EQ(boot_total_line(container), "This start-up took 1.2 s (userspace 1.2 s).");
    EXPECT_EQ(boot_total_line({}), "How long this start-up took is not known.");

    auto items = items_of({{"timed", 2140}, {"not", std::nullopt}});
    EXPECT_EQ(boot_time_line(items[0]), "At the last start-up it took 2.1 s.");
    EXPECT_EQ(boot_time_line(items[1]), std::nullopt);
}

}  // namespace
}  // namespace bootsmith::engine
