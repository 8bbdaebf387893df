// Installing, importing and going back, seen through the folder and the store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "knowledge/outcome_printer.hpp"
#include "knowledge/pack_text.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"
#include "support/result_matchers.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::knowledge {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing::FailsWith;
using ::testing::IsEmpty;
using testing::IsOk;
using testing::TempDir;

const char* const nothing_earlier =
    "There is no earlier knowledge to go back to; the built-in knowledge is already in use.";

class Install : public ::testing::Test {
  protected:
    TempDir dir;
    fs::path folder = dir.path() / "data" / "knowledge";
    std::vector<fs::path> folders{folder, dir.path() / "machine" / "knowledge"};

    void SetUp() override { load_store(folders); }

    std::vector<std::string> names(const fs::path& where) const {
        std::vector<std::string> found;
        std::error_code error;
        for (auto it = fs::directory_iterator(where, error);
             !error && it != fs::directory_iterator(); it.increment(error)) {
            if (it->is_regular_file()) {
                found.push_back(it->path().filename().string());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    std::string in_use() const {
        auto store = current_store();
        return store->pack ? store->pack->version : std::string("built-in");
    }
    std::string status_pack() const {
        return status_record(*current_store(), read_settings(folders), folder.string())
            .get_str("pack_version");
    }
};

TEST_F(Install, InstallsThePackTextAsGivenAndUsesIt) {
    std::string text = testing::small_pack_text("2027.1.1");
    auto pack = install_pack(text, folders);
    ASSERT_THAT(pack, IsOk());
    EXPECT_EQ(pack->version, "2027.1.1");
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.1.1.json"));
    EXPECT_THAT(names(folder / "previous"), IsEmpty());
    EXPECT_EQ(testing::read_file(folder / "pack-2027.1.1.json"), text);
    EXPECT_EQ(in_use(), "2027.1.1");
    EXPECT_EQ(status_pack(), "2027.1.1");
}

TEST_F(Install, InvalidPackLeavesTheFolderUntouched) {
    EXPECT_THAT(install_pack("{\"format\":\"x\"}", folders),
                FailsWith("That is not a Bootsmith knowledge pack."));
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(Install, InstallRollbackAndRollbackAgain) {
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.1"), folders), IsOk());
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.2"), folders), IsOk());
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.2.json"));
    EXPECT_THAT(names(folder / "previous"), ElementsAre("pack-2027.1.json"));
    EXPECT_EQ(status_pack(), "2027.2");

    EXPECT_EQ(rollback_pack(folders), (UpdateOutcome{false, "Went back to 2027.1."}));
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.1.json"));
    EXPECT_THAT(names(folder / "previous"), ElementsAre("pack-2027.2.json"));
    EXPECT_EQ(status_pack(), "2027.1");

    EXPECT_EQ(rollback_pack(folders), (UpdateOutcome{false, "Went back to 2027.2."}));
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.2.json"));
    EXPECT_EQ(in_use(), "2027.2");
}

TEST_F(Install, RollbackWithNothingAnywhere) {
    EXPECT_EQ(rollback_pack(folders), (UpdateOutcome{true, nothing_earlier}));
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(Install, RollbackFromTheOnlyPackGoesToTheBuiltInAndBack) {
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.3"), folders), IsOk());
    EXPECT_EQ(rollback_pack(folders),
              (UpdateOutcome{false, "Went back to the built-in knowledge."}));
    EXPECT_THAT(names(folder), IsEmpty());
    EXPECT_THAT(names(folder / "previous"), ElementsAre("pack-2027.3.json"));
    EXPECT_EQ(in_use(), "built-in");
    EXPECT_EQ(status_pack(), "");

    EXPECT_EQ(rollback_pack(folders), (UpdateOutcome{false, "Went back to 2027.3."}));
    EXPECT_EQ(in_use(), "2027.3");
}

TEST_F(Install, RollbackToTheBuiltInMakesThePreviousFolder) {
    testing::write_file(folder / "pack-2027.4.json", testing::small_pack_text("2027.4"));
    load_store(folders);
    EXPECT_EQ(rollback_pack(folders),
              (UpdateOutcome{false, "Went back to the built-in knowledge."}));
    EXPECT_THAT(names(folder / "previous"), ElementsAre("pack-2027.4.json"));
    EXPECT_EQ(in_use(), "built-in");
}

TEST_F(Install, RollbackChoosesTheNewestEarlierVersion) {
    for (const char* version : {"2027.10.1", "2027.9.1", "2027.11.1"}) {
        ASSERT_THAT(install_pack(testing::small_pack_text(version), folders), IsOk());
    }
    EXPECT_THAT(names(folder / "previous"),
                ElementsAre("pack-2027.10.1.json", "pack-2027.9.1.json"));
    EXPECT_EQ(rollback_pack(folders), (UpdateOutcome{false, "Went back to 2027.10.1."}));
    EXPECT_EQ(in_use(), "2027.10.1");
}

TEST_F(Install, ReinstallingTheSameVersionKeepsOneCopyOfEach) {
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.5"), folders), IsOk());
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.5"), folders), IsOk());
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.5.json"));
    EXPECT_THAT(names(folder / "previous"), ElementsAre("pack-2027.5.json"));
    EXPECT_EQ(in_use(), "2027.5");
}

TEST_F(Install, ImportOfANewerPack) {
    EXPECT_EQ(import_pack(testing::small_pack_text("2027.6"), folders),
              (UpdateOutcome{false, "Installed knowledge 2027.6 (published 2027-02-03)."}));
    EXPECT_EQ(in_use(), "2027.6");
}

TEST_F(Install, ImportOfAnOlderPackKeepsItButDoesNotUseIt) {
    std::string builtin = current_store()->builtin_version;
    EXPECT_EQ(import_pack(testing::small_pack_text("1.0"), folders),
              (UpdateOutcome{false,
                             "Installed knowledge 1.0 (published 2027-02-03). It is not "
                             "newer than the built-in knowledge " +
                                 builtin + ", so it is kept but not used."}));
    EXPECT_THAT(names(folder), ElementsAre("pack-1.0.json"));
    EXPECT_EQ(in_use(), "built-in");
}

TEST_F(Install, ImportOfAnInvalidPackFails) {
    EXPECT_EQ(import_pack("not json", folders).failed, true);
    EXPECT_EQ(
        import_pack(testing::small_pack_text("2027.7", R"({"linux":[{"match":"*"}]})"), folders),
        (UpdateOutcome{true, "linux rule 1: the pattern is empty"}));
}

TEST_F(Install, FolderThatCannotBeMade) {
    testing::write_file(dir.path() / "blocker", "");
    std::vector<fs::path> blocked{dir.path() / "blocker" / "knowledge"};
    auto result = install_pack(testing::small_pack_text("2027.8"), blocked);
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("cannot create " +
                                                      (blocked[0] / "previous").string() + ": "));
}

TEST_F(Install, AFailedWriteKeepsThePackInUse) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.9"), folders), IsOk());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    auto result = install_pack(testing::small_pack_text("2027.10"), folders);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_THAT(result, FailsWith("cannot write the pack: Permission denied"));
    EXPECT_THAT(names(folder), ElementsAre("pack-2027.9.json"));
    EXPECT_THAT(names(folder / "previous"), IsEmpty());
    EXPECT_EQ(in_use(), "2027.9");
}

TEST_F(Install, RollbackThatCannotMoveThePackSaysSo) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.11"), folders), IsOk());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    UpdateOutcome outcome = rollback_pack(folders);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.message,
              "cannot move pack-2027.11.json into the previous folder, so it is still in use.");
    EXPECT_EQ(in_use(), "2027.11");
}

TEST_F(Install, AFailedFinalStepPutsThePackInUseBack) {
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.12"), folders), IsOk());
    // A folder in the way of the new file, which cannot be moved aside either.
    testing::write_file(folder / "pack-2027.13.json" / "in-the-way", "");
    testing::write_file(folder / "previous" / "pack-2027.13.json" / "in-the-way", "");
    auto result = install_pack(testing::small_pack_text("2027.13"), folders);
    ASSERT_FALSE(result.has_value());
    EXPECT_THAT(result.error(), ::testing::StartsWith("cannot write the pack: "));
    EXPECT_TRUE(fs::is_regular_file(folder / "pack-2027.12.json"));
    EXPECT_FALSE(fs::exists(folder / "previous" / "pack-2027.12.json"));
    EXPECT_EQ(in_use(), "2027.12");
    load_store(folders);
    EXPECT_EQ(in_use(), "2027.12");
    for (const std::string& name : names(folder)) {
        EXPECT_FALSE(name.starts_with(".bootsmith")) << "left behind: " << name;
    }
}

TEST_F(Install, RollbackToTheBuiltInThatCannotMoveThePackSaysSo) {
    ASSERT_THAT(install_pack(testing::small_pack_text("2027.14"), folders), IsOk());
    // A folder of the same name in previous/ blocks the move, for root too.
    testing::write_file(folder / "previous" / "pack-2027.14.json" / "in-the-way", "");
    EXPECT_EQ(rollback_pack(folders),
              (UpdateOutcome{true,
                             "cannot move pack-2027.14.json into the previous folder, so it is "
                             "still in use."}));
    EXPECT_EQ(in_use(), "2027.14");
}

}  // namespace
}  // namespace bootsmith::knowledge
