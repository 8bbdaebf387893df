#include "engine/data_folders.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "demo_engine.hpp"
#include "engine/doctor.hpp"

namespace bootsmith::engine {
namespace {

namespace fs = std::filesystem;

platform::SystemInfo linux_system(bool admin) {
    platform::SystemInfo system;
    system.os = "linux";
    system.host = "box";
    system.user = "alice";
    system.home = "/home/alice";
    system.admin = admin;
    return system;
}

TEST(DataFolders, FollowTheRightsAndTheEnvironment) {
    struct Case {
        const char* label;
        bool admin;
        std::optional<std::string> xdg;
        fs::path folder;
        std::vector<fs::path> read;
    };
    const Case cases[] = {
        {"empty XDG_DATA_HOME",
         false,
         "",
         "/home/alice/.local/share/bootsmith",
         {"/home/alice/.local/share/bootsmith", "/var/lib/bootsmith"}},
        {"no XDG_DATA_HOME",
         false,
         std::nullopt,
         "/home/alice/.local/share/bootsmith",
         {"/home/alice/.local/share/bootsmith", "/var/lib/bootsmith"}},
        {"XDG_DATA_HOME",
         false,
         "/data/alice",
         "/data/alice/bootsmith",
         {"/data/alice/bootsmith", "/var/lib/bootsmith"}},
        {"administrator", true, "/data/alice", "/var/lib/bootsmith", {"/var/lib/bootsmith"}},
    };
    for (const Case& c : cases) {
        testing::ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(data_folder(linux_system(c.admin)), c.folder) << c.label;
        EXPECT_EQ(folders_to_read(linux_system(c.admin)), c.read) << c.label;
        EXPECT_EQ(folder_display(linux_system(c.admin)), c.folder.string()) << c.label;
    }
}

// The override lasts for the whole process, so it is set in a child of its own.
TEST(DataFoldersDeathTest, TheOverrideIsTheOnlyFolderWhateverTheRights) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto check = [] {
        set_data_folder_override("/tmp/forced");
        set_data_folder_override("/tmp/ignored");  // the first setting wins
        bool all = true;
        for (bool admin : {false, true}) {
            all = all && data_folder(linux_system(admin)) == "/tmp/forced" &&
                  folders_to_read(linux_system(admin)) == std::vector<fs::path>{"/tmp/forced"};
        }
        std::exit(all ? 0 : 1);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

class FolderProbe : public DemoEngineTest {
  protected:
    platform::Probe probe() {
        for (auto& p : doctor(engine)) {
            if (p.name == "History and backups folder") {
                return p;
            }
        }
        ADD_FAILURE() << "no folder probe";
        return {};
    }
};

TEST_F(FolderProbe, SaysWhetherTheFolderCanBeWritten) {
    const std::string shown = "C:\\Users\\demouser\\AppData\\Local\\Bootsmith";
    platform::Probe missing = probe();
    EXPECT_EQ(missing.status, "ok");
    EXPECT_EQ(missing.detail, shown +
                                  " (it does not exist yet; it is made when the first change or "
                                  "backup is saved)");
    EXPECT_FALSE(fs::exists(data())) << "the probe makes no folder";

    fs::create_directories(data());
    platform::Probe writable = probe();
    EXPECT_EQ(writable.status, "ok");
    EXPECT_EQ(writable.detail, shown);
    EXPECT_TRUE(fs::is_empty(data())) << "no .write-test is left behind";

    // Something of that name that is not ours stops the write and is left alone.
    fs::create_directory(data() / ".write-test");
    EXPECT_EQ(probe().status, "fail");
    EXPECT_TRUE(fs::is_directory(data() / ".write-test"));
    fs::remove(data() / ".write-test");

    // A file where the folder should be exists, but nothing can be written into it.
    fs::remove(data());
    testing::write_file(data(), "not a folder");
    platform::Probe blocked = probe();
    EXPECT_EQ(blocked.status, "fail");
    EXPECT_EQ(blocked.detail, shown);
    EXPECT_EQ(testing::read_file(data()), "not a folder");
}

}  // namespace
}  // namespace bootsmith::engine
