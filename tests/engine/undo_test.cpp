#include "engine/undo.hpp"
#include "change_fixture.hpp"

namespace bootsmith::engine {
namespace {

// An undo that ended with this kind and message.
MATCHER_P2(Ends, kind, message, "") {
    if (arg.kind == kind && arg.message == message) {
        return true;
    }
    *result_listener << "ended as " << static_cast<int>(arg.kind) << " with \"" << arg.message
                     << "\"";
    return false;
}

auto Done(std::string message) {
    return Ends(OutcomeKind::done, std::move(message));
}
auto Failed(std::string message) {
    return Ends(OutcomeKind::failed, std::move(message));
}

const char* const spotify = "run|user|HKCU\\Run\\64|Spotify";
const char* const spooler = "service|machine|Services|Spooler";

class Undo : public ChangeTest {
  protected:
    std::uint64_t last_seq() { return read_records(engine->system()).back().seq; }
};

TEST_F(Undo, DisableOfASafeItemNeedsNoConfirmation) {
    ASSERT_TRUE(apply(*engine, {request("disable", spotify)})[0].ok);
    std::uint64_t seq = last_seq();
    EXPECT_THAT(undo(*engine, seq, false),
                Done("Spotify will start with Windows (demonstration only)."));
    EXPECT_TRUE(item_named("Spotify").enabled);
    auto records = read_records(engine->system());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].action, "undo");
    EXPECT_EQ(records[1].of, seq);
    EXPECT_EQ(records[1].id, spotify);
    EXPECT_THAT(undo(*engine, seq, true), Failed("That change was already undone."));
    EXPECT_THAT(undo(*engine, records[1].seq, true),
                Failed("That kind of record cannot be undone."));
}

TEST_F(Undo, EnableOfAnItemBecomesACautiousDisable) {
    ASSERT_TRUE(apply(*engine, {request("disable", spooler, true)})[0].ok);
    ASSERT_TRUE(apply(*engine, {request("enable", spooler)})[0].ok);
    std::uint64_t seq = last_seq();
    Outcome held = undo(*engine, seq, false);
    EXPECT_EQ(held.kind, OutcomeKind::needs_confirmation) << held.message;
    EXPECT_TRUE(item_named("Spooler").enabled);
    ASSERT_TRUE(undo(*engine, seq, true).ok());
    EXPECT_FALSE(item_named("Spooler").enabled);
}

TEST_F(Undo, CreateIsUndoneByRemovalAndRemovalByRecreation) {
    (void)running_programs(*engine);
    ChangeRequest r = creation("proc|keepass", "KeePass",
                               "\"C:\\Program Files\\KeePass Password "
                               "Safe 2\\KeePass.exe\"");
    ASSERT_TRUE(apply(*engine, {r})[0].ok);
    std::uint64_t created = last_seq();
    EXPECT_THAT(undo(*engine, created, false),
                Done("Removed Bootsmith-KeePass (demonstration only)."));

    // Remove it again through a new entry and undo that removal.
    ASSERT_TRUE(apply(*engine, {r})[0].ok);
    std::string id = read_records(engine->system()).back().id;
    ASSERT_TRUE(apply(*engine, {request("remove", id, true)})[0].ok);
    std::uint64_t removal = last_seq();
    EXPECT_THAT(undo(*engine, removal, false),
                Ends(OutcomeKind::needs_confirmation,
                     "It would create \"KeePass\" running: \"C:\\Program Files\\KeePass "
                     "Password Safe 2\\KeePass.exe\""));
    EXPECT_THAT(undo(*engine, removal, true), Done("Recreated Bootsmith-KeePass."));
    EXPECT_TRUE(item_named("Bootsmith-KeePass").managed) << "the undo's own creation counts too";
}

TEST_F(Undo, RecordsThatCannotBeUndone) {
    EXPECT_THAT(undo(*engine, 42, true), Failed("That entry is not in the history."));
    testing::write_file(data() / "journal.jsonl",
                        "{\"seq\":1,\"action\":\"disable\",\"id\":\"x\",\"ok\":false}\n"
                        "{\"seq\":2,\"action\":\"remove\",\"id\":\"y\",\"ok\":true,\"spec\":{}}\n"
                        "{\"seq\":3,\"action\":\"enable\",\"id\":\"gone\",\"ok\":true}\n");
    EXPECT_THAT(undo(*engine, 1, true),
                Failed("That change did not succeed, so there is nothing to undo."));
    EXPECT_THAT(undo(*engine, 2, true),
                Failed("The original command was not recorded, so it cannot be recreated."));
    Outcome gone = undo(*engine, 3, true);
    EXPECT_EQ(gone.kind, OutcomeKind::failed);
    EXPECT_TRUE(gone.message.starts_with("Refused: The item was not found")) << gone.message;
}

TEST_F(Undo, PlatformFailureIsNotRecorded) {
    ASSERT_TRUE(apply(*engine, {request("disable", spotify)})[0].ok);
    std::uint64_t seq = last_seq();
    platform->toggle_failure = "ADMIN: systemd refused the change.";
    Outcome refused = undo(*engine, seq, true);
    EXPECT_THAT(refused, Ends(OutcomeKind::admin_needed, "systemd refused the change."));
    EXPECT_EQ(window_message(refused),
              "systemd refused the change. Use \"Restart as administrator\".");
    EXPECT_EQ(read_records(engine->system()).size(), 1u);
}

TEST_F(Undo, MissingRightsAreTypedSoEachFrontEndWordsThem) {
    platform::SystemInfo ordinary = TestPlatform().system_info();
    ordinary.admin = false;
    make_engine(ordinary);
    platform->after_scan = [](std::vector<model::Item>& items) {
        named(items, "Spooler").toggle = "admin";
    };
    testing::write_file(data() / "journal.jsonl",
                        "{\"seq\":5,\"action\":\"enable\",\"id\":\"" +
                            std::string("service|machine|Services|Spooler") + "\",\"ok\":true}\n");
    Outcome refused = undo(*engine, 5, true);
    EXPECT_THAT(refused,
                Ends(OutcomeKind::admin_needed, "Undoing this needs administrator rights."));
    EXPECT_EQ(window_message(refused),
              "Undoing this needs administrator rights. Use \"Restart as administrator\".");
    EXPECT_EQ(platform->toggles, 0);
}

}  // namespace
}  // namespace bootsmith::engine
