#include <gtest/gtest.h>

#include <thread>

#include "demo_engine.hpp"
#include "engine/data_folders.hpp"
#include "engine/history.hpp"
#include "foundation/clock.hpp"
#include "support/result_matchers.hpp"
#include "support/scoped_env.hpp"
#include "test_platform.hpp"

namespace bootsmith::engine {
namespace {

using testing::IsOk;

class HistoryTest : public DemoEngineTest {
  protected:
    JournalRecord record(std::string action, std::string id, std::uint64_t of = 0) {
        JournalRecord r;
        r.action = std::move(action);
        r.id = id;
        r.name = "name of " + id;
        r.detail = "done";
        r.ok = true;
        r.of = of;
        return r;
    }
    std::string journal() const { return testing::read_file(data() / "journal.jsonl"); }
};

TEST_F(HistoryTest, AppendWritesOneCompactLinePerRecord) {
    JournalRecord r = record("create", "run|user|HKCU\\Run\\64|Bootsmith-x");
    r.spec = model::to_stored({"x", "\"C:\\x.exe\"", "", "", "login", "demouser", ""});
    r.time = "2026-12-08 10:00:00";
    ASSERT_THAT(append_record(engine.system(), r), IsOk());
    std::string text = journal();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    std::size_t after_seq = text.find(",\"time\"");
    EXPECT_EQ(text.substr(after_seq),
              ",\"time\":\"2026-12-08 10:00:00\",\"action\":\"create\","
              "\"id\":\"run|user|HKCU\\\\Run\\\\64|Bootsmith-x\",\"name\":\"name of "
              "run|user|HKCU\\\\Run\\\\64|Bootsmith-x\",\"detail\":\"done\",\"ok\":true,\"of\":0,"
              "\"spec\":{\"name\":\"x\",\"command\":\"\\\"C:\\\\x.exe\\\"\",\"exe\":\"\","
              "\"workdir\":\"\",\"mode\":\"login\",\"user\":\"demouser\",\"description\":\"\"},"
              "\"stop_now\":false}\n");
    auto records = read_records(engine.system());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].spec, r.spec);
}

TEST(Seq, StrictlyIncreasesEvenWithinOneMillisecond) {
    std::uint64_t last = next_seq();
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t seq = next_seq();
        EXPECT_GT(seq, last);
        last = seq;
    }
}

TEST(Seq, IsTheMillisecondOrOneMoreThanTheLast) {
    std::uint64_t last = next_seq();
    std::size_t one_more = 0;
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t seq = next_seq();
        std::uint64_t now = util::now_millis();
        if (seq == last + 1) {
            ++one_more;
        } else {
            EXPECT_GT(seq, last + 1);
            EXPECT_LE(seq, now) << "a jump lands on the clock, never beyond it";
        }
        last = seq;
    }
    // A thousand calls take far less than a thousand milliseconds.
    EXPECT_GT(one_more, 0u);
}

TEST(Seq, ThreadsGetDistinctValues) {
    std::vector<std::uint64_t> seen[4];
    std::vector<std::thread> threads;
    for (auto& list : seen) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 500; ++i)
                list.push_back(next_seq());
        });
    }
    for (auto& t : threads)
        t.join();
    std::set<std::uint64_t> all;
    for (const auto& list : seen)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), 2000u);
}

TEST_F(HistoryTest, BadLinesAreSkippedAndGoodOnesKept) {
    std::string big(10 * 1024 * 1024, 'x');
    testing::write_file(
        data() / "journal.jsonl",
        "{\"seq\":5,\"action\":\"disable\",\"id\":\"a\",\"ok\":true}\n"
        "{broken json\n"
        "   \n" +
            big +
            "\n"
            "[1,2,3]\n"
            "{\"seq\":\"7\",\"action\":3,\"id\":[],\"ok\":\"true\",\"spec\":{\"name\":1,\"x\":"
            "\"y\"}}\n"
            "{\"seq\":3.9,\"action\":\"enable\",\"id\":\"b\",\"ok\":true,\"of\":-2}");
    auto records = read_records(engine.system());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].seq, 0u);  // "7" is not a Number
    EXPECT_EQ(records[0].action, "");
    EXPECT_FALSE(records[0].ok);
    ASSERT_EQ(records[0].spec.size(), 2u);
    EXPECT_EQ(records[0].spec[0], (std::pair<std::string, std::string>{"name", ""}));
    EXPECT_EQ(records[1].seq, 3u);
    EXPECT_EQ(records[1].of, 0u);
    EXPECT_EQ(records[2].seq, 5u);
}

TEST_F(HistoryTest, SameSeqIsListedOnce) {
    testing::write_file(data() / "journal.jsonl",
                        "{\"seq\":9,\"action\":\"disable\",\"id\":\"first\",\"ok\":true}\n"
                        "{\"seq\":9,\"action\":\"disable\",\"id\":\"second\",\"ok\":true}\n");
    auto records = read_records(engine.system());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id, "first");
}

TEST_F(HistoryTest, ARecordInTheUsersAndTheMachineHistoryIsListedOnce) {
    // Without administrator rights the user's own folder and the machine-wide
    // one are both read.
    testing::ScopedEnv local_app_data("LOCALAPPDATA", (dir.path() / "user").string());
    auto test_platform = std::make_unique<TestPlatform>();
    platform::SystemInfo ordinary = test_platform->system_info();
    ordinary.admin = false;
    test_platform->system_override = ordinary;
    Engine user_engine(std::move(test_platform));
    ASSERT_EQ(folders_to_read(user_engine.system()),
              (std::vector<std::filesystem::path>{dir.path() / "user" / "Bootsmith", data()}));

    const std::string shared = "{\"seq\":5,\"action\":\"disable\",\"id\":\"both\",\"ok\":true}\n";
    testing::write_file(dir.path() / "user" / "Bootsmith" / "journal.jsonl",
                        shared + "{\"seq\":6,\"action\":\"enable\",\"id\":\"mine\",\"ok\":true}\n");
    testing::write_file(
        data() / "journal.jsonl",
        "{\"seq\":4,\"action\":\"disable\",\"id\":\"admin\",\"ok\":true}\n" + shared);
    auto records = read_records(user_engine.system());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].id, "admin");
    EXPECT_EQ(records[1].id, "both");
    EXPECT_EQ(records[2].id, "mine");
    EXPECT_EQ(history_list(user_engine.system()).size(), 3u);
}

TEST_F(HistoryTest, ListIsNewestFirstWithUndoneAndCanUndo) {
    ASSERT_THAT(append_record(engine.system(), record("disable", "a")), IsOk());
    ASSERT_THAT(append_record(engine.system(), record("enable", "b")), IsOk());
    auto records = read_records(engine.system());
    ASSERT_THAT(append_record(engine.system(), record("undo", "a", records[0].seq)), IsOk());
    auto entries = history_list(engine.system());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].record.action, "undo");
    EXPECT_FALSE(entries[0].can_undo);
    EXPECT_EQ(entries[1].record.id, "b");
    EXPECT_FALSE(entries[1].undone);
    EXPECT_TRUE(entries[1].can_undo);
    EXPECT_EQ(entries[2].record.id, "a");
    EXPECT_TRUE(entries[2].undone);
    EXPECT_FALSE(entries[2].can_undo);
}

TEST_F(HistoryTest, AppendIntoAnUncreatableFolderFails) {
    testing::write_file(dir.path() / "Bootsmith", "a file where the folder should be");
    auto status = append_record(engine.system(), record("disable", "a"));
    ASSERT_FALSE(status);
    EXPECT_TRUE(status.error().starts_with("cannot create ")) << status.error();
}

TEST(CreationSpec, NewestSuccessfulCreateElseBuiltFromTheItem) {
    model::Item item("run", "Registry (Run, this user)", "user", "HKCU\\Run\\64", "Bootsmith-x");
    item.command = "x.exe";
    item.extra.set("mode", "login");
    item.extra.set("run_as", "bob");
    JournalRecord old_create{1,    "", "create", item.id, "", "", true, 0, {{"command", "old"}},
                             false};
    JournalRecord failed{2,    "", "create", item.id, "", "", false, 0, {{"command", "failed"}},
                         false};
    JournalRecord newer{3, "", "create", item.id, "", "", true, 0, {{"command", "new"}}, false};
    EXPECT_EQ(model::from_stored(creation_spec({old_create, newer, failed}, item)).command, "new");
    model::CreateRequest built = model::from_stored(creation_spec({}, item));
    EXPECT_EQ(built.command, "x.exe");
    EXPECT_EQ(built.mode, "login");
    EXPECT_EQ(built.user, "bob");
    EXPECT_EQ(built.name, "Bootsmith-x");
}

}  // namespace
}  // namespace bootsmith::engine
