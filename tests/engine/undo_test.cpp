#include "engine/undo.hpp"
#include "change_fixture.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::engine {
namespace {

using testing::FailsWith;
using testing::IsOk;

const char* const spotify = "run|user|HKCU\\Run\\64|Spotify";
const char* const spooler = "service|machine|Services|Spooler";

class Undo : public ChangeTest {
  protected:
    std::uint64_t last_seq() { return read_records(engine->system()).back().seq; }
};

TEST_F(Undo, DisableOfASafeItemNeedsNoConfirmation) {
    ASSERT_TRUE(apply(*engine, {request("disable", spotify)})[0].ok);
    std::uint64_t seq = last_seq();
    auto result = undo(*engine, seq, false);
    ASSERT_THAT(result, IsOk());
    EXPECT_EQ(*result, "Spotify will start with Windows (demonstration only).");
    EXPECT_TRUE(item_named("Spotify").enabled);
    auto records = read_records(engine->system());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].action, "undo");
    EXPECT_EQ(records[1].of, seq);
    EXPECT_EQ(records[1].id, spotify);
    EXPECT_THAT(undo(*engine, seq, true), FailsWith("That change was already undone."));
    EXPECT_THAT(undo(*engine, records[1].seq, true),
                FailsWith("That kind of record cannot be undone."));
}

TEST_F(Undo, EnableOfAnItemBecomesACautiousDisable) {
    ASSERT_TRUE(apply(*engine, {request("disable", spooler, true)})[0].ok);
    ASSERT_TRUE(apply(*engine, {request("enable", spooler)})[0].ok);
    std::uint64_t seq = last_seq();
    auto held = undo(*engine, seq, false);
    ASSERT_FALSE(held);
    EXPECT_TRUE(held.error().starts_with("CONFIRM: ")) << held.error();
    EXPECT_TRUE(item_named("Spooler").enabled);
    ASSERT_THAT(undo(*engine, seq, true), IsOk());
    EXPECT_FALSE(item_named("Spooler").enabled);
}

TEST_F(Undo, CreateIsUndoneByRemovalAndRemovalByRecreation) {
    (void)running_programs(*engine);
    ChangeRequest r = creation("proc|keepass", "KeePass",
                               "\"C:\\Program Files\\KeePass Password "
                               "Safe 2\\KeePass.exe\"");
    ASSERT_TRUE(apply(*engine, {r})[0].ok);
    std::uint64_t created = last_seq();
    auto removed = undo(*engine, created, false);
    ASSERT_THAT(removed, IsOk());
    EXPECT_EQ(*removed, "Removed Bootsmith-KeePass (demonstration only).");

    // Remove it again through a new entry and undo that removal.
    ASSERT_TRUE(apply(*engine, {r})[0].ok);
    std::string id = read_records(engine->system()).back().id;
    ASSERT_TRUE(apply(*engine, {request("remove", id, true)})[0].ok);
    std::uint64_t removal = last_seq();
    auto held = undo(*engine, removal, false);
    EXPECT_THAT(held, FailsWith("CONFIRM: It would create \"KeePass\" running: \"C:\\Program "
                                "Files\\KeePass Password Safe 2\\KeePass.exe\""));
    auto recreated = undo(*engine, removal, true);
    ASSERT_THAT(recreated, IsOk());
    EXPECT_EQ(*recreated, "Recreated Bootsmith-KeePass.");
    EXPECT_TRUE(item_named("Bootsmith-KeePass").managed) << "the undo's own creation counts too";
}

TEST_F(Undo, RecordsThatCannotBeUndone) {
    EXPECT_THAT(undo(*engine, 42, true), FailsWith("That entry is not in the history."));
    testing::write_file(data() / "journal.jsonl",
                        "{\"seq\":1,\"action\":\"disable\",\"id\":\"x\",\"ok\":false}\n"
                        "{\"seq\":2,\"action\":\"remove\",\"id\":\"y\",\"ok\":true,\"spec\":{}}\n"
                        "{\"seq\":3,\"action\":\"enable\",\"id\":\"gone\",\"ok\":true}\n");
    EXPECT_THAT(undo(*engine, 1, true),
                FailsWith("That change did not succeed, so there is nothing to undo."));
    EXPECT_THAT(undo(*engine, 2, true),
                FailsWith("The original command was not recorded, so it cannot be recreated."));
    auto gone = undo(*engine, 3, true);
    ASSERT_FALSE(gone);
    EXPECT_TRUE(gone.error().starts_with("Refused: The item was not found")) << gone.error();
}

TEST_F(Undo, PlatformFailureIsNotRecorded) {
    ASSERT_TRUE(apply(*engine, {request("disable", spotify)})[0].ok);
    std::uint64_t seq = last_seq();
    platform->toggle_failure = "ADMIN: systemd refused the change.";
    EXPECT_THAT(undo(*engine, seq, true),
                FailsWith("systemd refused the change. Use \"Restart as administrator\"."));
    EXPECT_EQ(read_records(engine->system()).size(), 1u);
}

}  // namespace
}  // namespace bootsmith::engine
