#include "engine/since_backup.hpp"
#include "change_fixture.hpp"
#include "engine/backups.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::engine {
namespace {

using testing::IsOk;

class SinceBackupTest : public ChangeTest {
  protected:
    // A backup of the present state without the item named `left_out`, so
    // that item counts as having appeared since.
    void save_backup_without(std::string_view left_out) {
        json::JsonValue doc = make_backup(*engine, "Manual backup");
        for (auto& member : *doc.as_object()) {
            if (member.key == "items") {
                json::JsonValue kept = json::JsonValue::array();
                for (const auto& item : *member.value.as_array()) {
                    if (item.get_str("name") != left_out) {
                        kept.push_back(item);
                    }
                }
                member.value = std::move(kept);
            }
        }
        ASSERT_THAT(save_backup(engine->system(), doc, false), IsOk());
    }
};

TEST_F(SinceBackupTest, NoBackupYet) {
    SinceBackup since = since_last_backup(*engine);
    EXPECT_FALSE(since.compared);
    EXPECT_EQ(since_backup_lines(since), std::vector<std::string>{"No backup yet."});
}

TEST_F(SinceBackupTest, ReportsEachKindOfChangeByName) {
    (void)running_programs(*engine);
    ASSERT_TRUE(apply(*engine, {creation("proc|code", "Code", "code.exe")})[0].ok);
    save_backup_without("Discord");
    ASSERT_TRUE(apply(*engine, {request("disable", "run|user|HKCU\\Run\\64|Spotify")})[0].ok);
    ASSERT_TRUE(apply(*engine, {request("enable", "run|user|HKCU\\Run\\64|Steam", true)})[0].ok);
    ASSERT_TRUE(
        apply(*engine, {request("remove", "run|user|HKCU\\Run\\64|Bootsmith-Code", true)})[0].ok);
    ASSERT_TRUE(apply(*engine, {creation("proc|code", "Later", "code.exe")})[0].ok);

    SinceBackup since = since_last_backup(*engine);
    ASSERT_TRUE(since.compared);
    EXPECT_EQ(since.appeared, (std::vector<std::string>{"Bootsmith-Later", "Discord"}));
    EXPECT_EQ(since.switched_on, std::vector<std::string>{"Steam"});
    EXPECT_EQ(since.switched_off, std::vector<std::string>{"Spotify"});
    EXPECT_EQ(since.disappeared, std::vector<std::string>{"Bootsmith-Code"});
    auto lines = since_backup_lines(since);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Since your last backup (" + since.created +
                            " UTC): 2 entries appeared, 1 were switched on, 1 were switched off, "
                            "1 disappeared.");
    EXPECT_EQ(lines[1], "Appeared: Bootsmith-Later, Discord.");
    EXPECT_EQ(lines[4], "Disappeared: Bootsmith-Code.");
}

TEST_F(SinceBackupTest, DamagedNewerBackupsArePassedOverWithANote) {
    save_backup_without("");
    std::filesystem::path backups = data() / "backups";
    testing::write_file(backups / "bootsmith-backup-29990101T000000-x.json", "{");
    testing::write_file(backups / "auto" / "auto-bootsmith-backup-29990102T000000-x.json",
                        "{\"format\":\"bootsmith-backup\",\"created\":\"2999-01-02 00:00:00\"}");
    testing::write_file(backups / "bootsmith-backup-19990101T000000-x.json", "not json");

    SinceBackup since = since_last_backup(*engine);
    ASSERT_TRUE(since.compared);
    EXPECT_EQ(since.appeared.size() + since.switched_on.size() + since.switched_off.size() +
                  since.disappeared.size(),
              0u);
    std::sort(since.notes.begin(), since.notes.end());
    EXPECT_EQ(since.notes,
              (std::vector<std::string>{
                  "The backup auto-bootsmith-backup-29990102T000000-x.json is damaged and was "
                  "passed over.",
                  "The backup bootsmith-backup-29990101T000000-x.json is damaged and was passed "
                  "over."}));

    std::filesystem::remove_all(backups);
    testing::write_file(backups / "bootsmith-backup-29990101T000000-x.json", "{");
    EXPECT_EQ(since_backup_lines(since_last_backup(*engine)),
              (std::vector<std::string>{
                  "No backup that can be read, so nothing to compare with.",
                  "The backup bootsmith-backup-29990101T000000-x.json is damaged and was passed "
                  "over."}));
}

TEST(SinceBackupLines, TenNamesPerKindThenHowManyMore) {
    SinceBackup since;
    since.compared = true;
    since.created = "2026-12-09 08:00:00";
    for (int i = 1; i <= 12; ++i) {
        since.switched_off.push_back("e" + std::to_string(i));
    }
    auto lines = since_backup_lines(since);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Switched off: e1, e2, e3, e4, e5, e6, e7, e8, e9, e10 and 2 more.");
    since.switched_off.resize(10);
    EXPECT_EQ(since_backup_lines(since)[1],
              "Switched off: e1, e2, e3, e4, e5, e6, e7, e8, e9, e10.");
}

}  // namespace
}  // namespace bootsmith::engine
