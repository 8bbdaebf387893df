#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "platform/linux/change_tree.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using bootsmith::testing::ChangeTree;
using bootsmith::testing::FailsWith;
using bootsmith::testing::IsOk;
using bootsmith::testing::wait_for_call;
using Clock = std::chrono::steady_clock;

constexpr const char* declined =
    "The administrator prompt was declined or is not available. Run it from a terminal: sudo "
    "bootsmith";

// Children of this process that have ended but were never reaped.
int zombie_children() {
    int zombies = 0;
    const std::string me = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        auto close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        std::string state, parent;
        rest >> state >> parent;
        zombies += state == "Z" && parent == me ? 1 : 0;
    }
    return zombies;
}

class Elevate : public ::testing::Test {
  protected:
    Elevate() { changes.tree.link("/proc/self/exe", "/opt/bootsmith/bin/bootsmith"); }

    LinuxOptions options(util::Pairs session) {
        LinuxOptions result = changes.options();
        result.env.session = std::move(session);
        return result;
    }

    ChangeTree changes;
};

TEST_F(Elevate, NeedsADesktopSessionAndPkexec) {
    changes.tree.fakes().add_logged("pkexec");
    EXPECT_THAT(LinuxPlatform(options({{"XAUTHORITY", "/x"}})).elevate({"serve"}),
                FailsWith("Run it from a terminal with: sudo bootsmith"));
    std::filesystem::remove(changes.tree.fakes().bin() / "pkexec");
    EXPECT_THAT(LinuxPlatform(options({{"DISPLAY", ":0"}})).elevate({"serve"}),
                FailsWith("Run it from a terminal with: sudo bootsmith"));
    EXPECT_EQ(changes.calls(), "");
    changes.tree.remove("/proc/self/exe");
    EXPECT_THAT(LinuxPlatform(options({{"DISPLAY", ":0"}})).elevate({"serve"}),
                FailsWith("Could not find the running program: No such file or directory"));
}

TEST_F(Elevate, ADeclinedPromptIsReported) {
    changes.tree.fakes().add_logged("pkexec", "exit 126");
    EXPECT_THAT(LinuxPlatform(options({{"WAYLAND_DISPLAY", "wayland-0"},
                                       {"DISPLAY", ":0"},
                                       {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"},
                                       {"XAUTHORITY", "/home/alice/.Xauthority"}}))
                    .elevate({"serve", "--x"}),
                FailsWith(declined));
    EXPECT_EQ(changes.calls(),
              "pkexec env DISPLAY=:0 XAUTHORITY=/home/alice/.Xauthority WAYLAND_DISPLAY=wayland-0 "
              "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus /opt/bootsmith/bin/bootsmith "
              "serve --x\n");
    EXPECT_EQ(zombie_children(), 0);
}

TEST_F(Elevate, APromptStillOpenAfterTheLookIsSuccess) {
    // The prompt stays open far longer than the look (1.5 s) lasts, so that a
    // loaded machine cannot make the look outlast it.
    changes.tree.fakes().add_logged("pkexec", "/bin/sleep 40");
    const auto start = Clock::now();
    EXPECT_THAT(LinuxPlatform(options({{"DISPLAY", ":0"}})).elevate({"serve"}), IsOk());
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1400));
    EXPECT_LT(waited, std::chrono::seconds(20)) << "it does not wait for the prompt to close";
    EXPECT_EQ(zombie_children(), 0);
    changes.tree.fakes().add_logged("pkexec", "exit 0");
    EXPECT_THAT(LinuxPlatform(options({{"DISPLAY", ":0"}})).elevate({"serve"}), IsOk());
}

TEST_F(Elevate, APkexecThatCannotStartIsReported) {
    auto pkexec = changes.tree.fakes().add("pkexec", "exit 0");
    std::filesystem::permissions(pkexec, std::filesystem::perms::owner_read);
    EXPECT_THAT(LinuxPlatform(options({{"DISPLAY", ":0"}})).elevate({"serve"}),
                FailsWith("Could not start pkexec: Permission denied"));
}

TEST_F(Elevate, TheBrowserOpensForTheInvokingUser) {
    // It notes where its output goes: nowhere, as nobody reads it.
    std::filesystem::create_directories(changes.tree.answers());
    changes.tree.fakes().add_logged(
        "xdg-open", "where=$(/bin/readlink /proc/$$/fd/1 /proc/$$/fd/2)\necho \"$where\" > " +
                        bootsmith::testing::shell_quoted(changes.tree.answers() / "outputs"));
    const std::string address = "http://127.0.0.1:8080/#k=abc";
    struct Case {
        bool root;
        std::string sudo_user;
        std::string pkexec_uid;
        std::string runuser_call;  ///< "" when xdg-open is started directly
    };
    const std::string runuser = "runuser -u alice -- env DISPLAY=:0 xdg-open " + address;
    const Case cases[] = {
        {false, "", "", ""},
        {true, "alice", "", runuser},
        {true, "root", "1000", runuser},
        {true, "", "", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(changes.tree.fakes().root() / "calls.log");
        LinuxOptions opts = c.root ? changes.admin() : changes.options();
        opts.env.sudo_user = c.sudo_user;
        opts.env.pkexec_uid = c.pkexec_uid;
        opts.env.session = {{"DISPLAY", ":0"}};
        LinuxPlatform(opts).open_browser(address);
        // Through runuser, xdg-open is run by it, so its line follows.
        const std::string expected =
            (c.runuser_call.empty() ? "" : c.runuser_call + "\n") + "xdg-open " + address + "\n";
        EXPECT_TRUE(wait_for_call(changes, expected)) << c.sudo_user;
        EXPECT_EQ(changes.calls(), expected);
        std::string outputs;
        for (int i = 0; i < 250 && outputs.size() < 20; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            outputs = bootsmith::testing::read_file(changes.tree.answers() / "outputs");
        }
        EXPECT_EQ(outputs, "/dev/null\n/dev/null\n");
        std::filesystem::remove(changes.tree.answers() / "outputs");
    }
    EXPECT_EQ(zombie_children(), 0);
    std::filesystem::remove(changes.tree.fakes().bin() / "xdg-open");
    std::filesystem::remove(changes.tree.fakes().bin() / "runuser");
    LinuxPlatform(changes.admin()).open_browser(address);  // nothing to run, nothing said
}

}  // namespace
}  // namespace bootsmith::linux_backend
