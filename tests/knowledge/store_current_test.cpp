// The process-wide current store: its start, its reloads and its readers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "knowledge/pack_text.hpp"
#include "knowledge/store.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(CurrentStoreDeathTest, BeforeAnyLoadHoldsTheBuiltInPackAlone) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test alone in a fresh process, so no load came first.
    EXPECT_EXIT(
        {
            auto store = current_store();
            KnowledgeStore expected = build_store(builtin_pack_text(), {});
            bool alone = store->folders.empty() && store->notes.empty() && !store->pack &&
                         store->local_rules == 0 && store->installed.rules.linux_rules.empty() &&
                         store->builtin_version == expected.builtin_version &&
                         store->builtin_rules == expected.builtin_rules && current_store() == store;
            std::exit(alone ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CurrentStore, LoadReplacesItAndOldSnapshotsStayIntact) {
    TempDir dir;
    fs::path folder = dir.path() / "knowledge";
    testing::write_file(folder / "local.json",
                        testing::small_pack_text(
                            "1", R"({"linux":[{"match":"mine","level":"low","effect":"x"}]})"));
    load_store({folder});
    auto first = current_store();
    EXPECT_EQ(first->local_rules, 1u);
    EXPECT_EQ(first->folders, std::vector<fs::path>{folder});

    fs::remove(folder / "local.json");
    load_store({folder});
    auto second = current_store();
    EXPECT_NE(first, second);
    EXPECT_EQ(second->local_rules, 0u);
    EXPECT_EQ(first->local_rules, 1u);
    ASSERT_EQ(first->installed.rules.linux_rules.size(), 1u);
    EXPECT_EQ(first->installed.rules.linux_rules[0].pattern, "mine");
}

TEST(CurrentStore, ReadersSeeWholeStoresWhileItIsReloaded) {
    TempDir dir;
    fs::path with_pack = dir.path() / "a";
    fs::path without = dir.path() / "b";
    std::string rules = "{\"linux\":[";
    for (int i = 0; i < 50; ++i) {
        rules += (i ? "," : "") + std::string(R"({"match":"r)") + std::to_string(i) +
                 R"(","level":"low","effect":"x"})";
    }
    testing::write_file(with_pack / "pack-9999.1.json",
                        testing::small_pack_text("9999.1", rules + "]}"));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                auto store = current_store();
                std::size_t count = store->installed.rules.linux_rules.size();
                bool whole =
                    store->pack ? count == 50 && store->folders.front() == with_pack : count == 0;
                if (!whole) {
                    ++torn;
                }
                ++reads;
                std::this_thread::yield();
            }
        });
    }
    for (int i = 0; i < 12; ++i) {
        load_store({i % 2 == 0 ? with_pack : without});
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    load_store({without});
    EXPECT_FALSE(current_store()->pack.has_value());
}

}  // namespace
}  // namespace bootsmith::knowledge
