#include "engine/run.hpp"

#include <gtest/gtest.h>

#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::engine {
namespace {

TEST(DemoFolder, IsMadeInTheTemporaryFolderAndRemovedByItsLastOwner) {
    testing::TempDir tmp;
    testing::ScopedEnv tmpdir("TMPDIR", tmp.path().string());
    std::filesystem::path made;
    {
        DemoFolder first = make_demo_folder();
        made = first.path();
        EXPECT_EQ(made.parent_path(), tmp.path());
        EXPECT_TRUE(made.filename().string().starts_with("bootsmith-demo-")) << made;
        testing::write_file(made / "backups" / "auto" / "a.json", "{}");
        DemoFolder owner = std::move(first);
        { DemoFolder moved_from = std::move(first); }
        EXPECT_TRUE(std::filesystem::exists(made / "backups" / "auto" / "a.json"))
            << "an object that owns nothing removes nothing";
        DemoFolder second = make_demo_folder();
        EXPECT_NE(second.path(), made);
    }
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "both folders go with their owners";
}

TEST(DemoFolder, AFolderItDidNotMakeIsLeftAlone) {
    testing::TempDir tmp;
    std::filesystem::create_directory(tmp.path() / "bootsmith-demo");
    { DemoFolder fallback(tmp.path() / "bootsmith-demo", false); }
    EXPECT_TRUE(std::filesystem::exists(tmp.path() / "bootsmith-demo"));
}

}  // namespace
}  // namespace bootsmith::engine
