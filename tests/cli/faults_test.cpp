// Faults found in use, each shown end to end: the command that lost or hid
// something now keeps or says it.
#include "cli/change_commands.hpp"
#include "cli/maintenance_commands.hpp"
#include "cli_fixture.hpp"
#include "engine/history.hpp"
#include "in_process.hpp"
#include "support/fake_programs.hpp"

namespace bootsmith::testing {
namespace {

namespace fs = std::filesystem;

const std::string firefox_entry = "Bootsmith-Mozilla Firefox";

class Faults : public InProcessCli {
  protected:
    std::string backup_file() { return (dir.path() / "before.json").string(); }
};

TEST_F(Faults, RestoreCreatesAnEntryAgainInTheStateTheBackupHad) {
    ASSERT_EQ(command(cli::run_add, {"add", "firefox", "--yes"}), 0) << err.str();
    ASSERT_EQ(command(cli::run_switch, {"disable", firefox_entry, "--yes"}), 0) << err.str();
    ASSERT_EQ(command(cli::run_backup, {"backup", "--out", backup_file()}), 0);
    ASSERT_EQ(command(cli::run_remove, {"remove", firefox_entry, "--yes"}), 0) << err.str();
    ASSERT_FALSE(item_named(firefox_entry));

    ASSERT_EQ(command(cli::run_restore, {"restore", backup_file(), "--apply", "--yes"}), 0)
        << out.str() << err.str();
    EXPECT_NE(out.str().find("It is switched off, as the backup had it."), std::string::npos)
        << out.str();
    auto restored = item_named(firefox_entry);
    ASSERT_TRUE(restored) << "it exists again";
    EXPECT_FALSE(restored->enabled) << "and is off, as in the backup";
}

TEST_F(Faults, AddNeverMakesASecondEntryWithATakenId) {
    ASSERT_EQ(command(cli::run_add, {"add", "firefox", "--yes"}), 0) << err.str();
    // Another program under the same name would be listed under the same id.
    EXPECT_EQ(command(cli::run_add, {"add", "notepad", "--name", "Mozilla Firefox", "--yes"}), 1);
    EXPECT_NE(err.str().find("  Not possible: An entry called \"" + firefox_entry +
                             "\" starts with the computer already"),
              std::string::npos)
        << err.str();
    std::set<std::string> ids;
    for (const auto& item : engine::scan_and_assess(context).items) {
        EXPECT_TRUE(ids.insert(item.id).second) << "twice: " << item.id;
    }
}

TEST_F(Faults, RestoreApplyWithoutYesChangesNothingAndNamesWhatWaits) {
    ASSERT_EQ(command(cli::run_backup, {"backup", "--out", backup_file()}), 0);
    ASSERT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0);
    ASSERT_EQ(command(cli::run_switch, {"enable", "wuauserv"}), 0);
    // Back to the backup: Spotify on (safe), wuauserv off (high: a decision).
    EXPECT_EQ(command(cli::run_restore, {"restore", backup_file(), "--apply"}), 4);
    EXPECT_EQ(err.str(),
              "\n1 change needs a decision and nothing was changed: wuauserv. Run it again with "
              "--yes if you accept them.\n");
    EXPECT_FALSE(item_named("Spotify")->enabled) << "nothing was changed, not a part";
    EXPECT_TRUE(item_named("wuauserv")->enabled);
    EXPECT_EQ(command(cli::run_restore, {"restore", backup_file(), "--apply", "--yes"}), 0);
    EXPECT_TRUE(item_named("Spotify")->enabled);
    EXPECT_FALSE(item_named("wuauserv")->enabled);
}

TEST_F(Faults, AChangeByAPartOfANameSaysWhatItFoundAndWaitsForYes) {
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spot"}), 4);
    EXPECT_EQ(err.str(),
              "Found by a part of its name: Spotify (Registry (Run, this user)), id "
              "run|user|HKCU\\Run\\64|Spotify\n"
              "  \"Spot\" is only a part of its name. Run it again with the whole name, the id "
              "or --yes.\n");
    EXPECT_TRUE(item_named("Spotify")->enabled) << "nothing changed";
    for (const char* whole : {"spotify", "run|user|HKCU\\Run\\64|Spotify"}) {
        EXPECT_EQ(command(cli::run_switch, {"enable", whole}), 0) << whole;
        EXPECT_EQ(command(cli::run_switch, {"disable", whole}), 0) << whole << err.str();
        EXPECT_EQ(err.str(), "");
    }
    EXPECT_EQ(command(cli::run_switch, {"enable", "Spot", "--yes"}), 0);
    EXPECT_TRUE(item_named("Spotify")->enabled);
}

TEST_F(Faults, AChangeInEffectAlreadyNeedsNothingAndSucceeds) {
    ASSERT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0);
    std::size_t records = engine::read_records(context.system()).size();
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0);
    EXPECT_EQ(out.str(), "Nothing needed doing: Spotify is already switched off.\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(engine::read_records(context.system()).size(), records) << "no history record";
}

class ImpossibleCreation : public CliTest {};

TEST_F(ImpossibleCreation, CronWithoutCronIsRefusedAtOnceAndStartsAtBoot) {
    FakePrograms fakes(true);  // no crontab, no systemctl: nothing can change
    TempDir home;
    Outcome o = run({"add", "/bin/true", "--mode", "cron"},
                    {{"HOME", home.path().string()},
                     {"XDG_DATA_HOME", (home.path() / "data").string()},
                     {"SUDO_USER", std::nullopt},
                     {"PKEXEC_UID", std::nullopt}});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("  Not possible: cron is not installed on this computer"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(o.err.find("needs a decision"), std::string::npos) << "not asked as a decision";
    EXPECT_NE(o.out.find("will start automatically when the computer starts."), std::string::npos)
        << o.out;
    EXPECT_EQ(o.out.find("when you sign in"), std::string::npos) << o.out;
    EXPECT_FALSE(fs::exists(home.path() / "data")) << "nothing was saved";
}

}  // namespace
}  // namespace bootsmith::testing
