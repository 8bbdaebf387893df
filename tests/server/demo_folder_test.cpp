// A demonstration window leaves no data folder behind, however it is stopped.
#include <signal.h>

#include <gtest/gtest.h>

#include "server/window_fixture.hpp"

namespace bootsmith::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(Window, ItsDemonstrationFolderGoesWhenThePageSaysGoodbye) {
    ASSERT_FALSE(data_folder().empty()) << "the folder is there while the window runs";
    EXPECT_EQ(post("/api/bye", "bye").body, R"({"ok":true})");
    ASSERT_TRUE(window.wait_exit(120s)) << "the window stops some seconds after goodbye";
    EXPECT_TRUE(data_folder().empty()) << data_folder();
}

TEST_F(Window, ItsDemonstrationFolderGoesWhenStoppedFromTheTerminal) {
    ASSERT_FALSE(data_folder().empty());
    ASSERT_EQ(::kill(window.pid(), SIGINT), 0);
    std::optional<int> status = window.wait_exit(60s);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 128 + SIGINT);
    EXPECT_TRUE(data_folder().empty()) << data_folder();
}

}  // namespace
}  // namespace bootsmith::testing
