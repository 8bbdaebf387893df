#include "foundation/process.hpp"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "foundation/text.hpp"
#include "support/temp_dir.hpp"

namespace {

using bootsmith::util::Pairs;
using bootsmith::util::run_program;
using bootsmith::util::RunResult;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

constexpr int limit = 20;  // generous: only the time-out tests rely on the limit

RunResult shell(const std::string& script, const Pairs& env = {}) {
    return run_program("sh", {"-c", script}, env, std::nullopt, limit);
}

// True when this process has no child left, running or zombie.
bool no_children() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(RunProgram, PassesExitCodesThrough) {
    for (int code : {0, 1, 3, 42, 255}) {
        RunResult result = shell("exit " + std::to_string(code));
        EXPECT_EQ(result.exit_code, code);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.ok(), code == 0);
    }
}

TEST(RunProgram, CapturesBothOutputsSeparately) {
    RunResult result = shell("echo out; echo err >&2; echo more");
    EXPECT_EQ(result.out, "out\nmore\n");
    EXPECT_EQ(result.err, "err\n");
    EXPECT_EQ(result.exit_code, 0);
}

TEST(RunProgram, PassesArgumentsWithoutAShell) {
    RunResult result =
        run_program("printf", {"[%s]", "a b", "$HOME", "*", "'q'"}, {}, std::nullopt, limit);
    EXPECT_EQ(result.out, "[a b][$HOME][*]['q']");
}

TEST(RunProgram, DecodesItsOutputs) {
    RunResult result = shell("printf 'caf\\351'; printf '\\377\\376h\\000i\\000' >&2");
    EXPECT_EQ(result.out, "café");
    EXPECT_EQ(result.err, "hi");
}

TEST(RunProgram, StopsAProgramAtItsTimeLimit) {
    auto start = Clock::now();
    RunResult result = run_program("sleep", {"60"}, {}, std::nullopt, 1);
    auto elapsed = Clock::now() - start;
    EXPECT_EQ(result.exit_code, -1);
    EXPECT_TRUE(result.timed_out);
    EXPECT_FALSE(result.ok());
    EXPECT_GE(elapsed, std::chrono::seconds(1));
    // Far below the sleep, with room for a loaded machine and sanitizers.
    EXPECT_LT(elapsed, std::chrono::seconds(30));
    EXPECT_TRUE(no_children());
}

TEST(RunProgram, KeepsWhatWasWrittenBeforeTheTimeLimit) {
    RunResult result = run_program("sh", {"-c", "echo early; exec sleep 5"}, {}, std::nullopt, 1);
    EXPECT_TRUE(result.timed_out);
    EXPECT_EQ(result.out, "early\n");
}

TEST(RunProgram, AMissingProgramCannotStart) {
    for (std::string program : {"bootsmith-no-such-program", "/nonexistent/folder/program"}) {
        RunResult result = run_program(program, {"x"}, {}, std::nullopt, limit);
        EXPECT_EQ(result.exit_code, -1);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.out, "");
        EXPECT_THAT(result.err, StartsWith(program + ": "));
        EXPECT_THAT(result.err, HasSubstr("No such file"));
    }
}

TEST(RunProgram, AFileThatIsNotAProgramCannotStart) {
    bootsmith::testing::TempDir dir;
    const std::string text_file = dir.write("notes.txt", "just text\n").string();
    RunResult result = run_program(text_file, {}, {}, std::nullopt, limit);
    EXPECT_EQ(result.exit_code, -1);
    EXPECT_EQ(result.err, text_file + ": Permission denied");
}

TEST(RunProgram, AProgramEndedByASignalGivesMinusOne) {
    RunResult result = shell("echo before; kill -9 $$");
    EXPECT_EQ(result.exit_code, -1);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.out, "before\n");
}

TEST(RunProgram, DrainsLargeOutputsOnBothStreamsAtOnce) {
    constexpr std::size_t size = 10 * 1024 * 1024;
    RunResult result = shell("head -c 10485760 /dev/zero & head -c 10485760 /dev/zero >&2; wait");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out.size(), size);
    EXPECT_EQ(result.err.size(), size);
    EXPECT_EQ(result.out.find_first_not_of('\0'), std::string::npos);
}

TEST(RunProgram, StopsAProgramWhoseOutputPassesItsLimit) {
    const struct {
        const char* script;
        bool too_long;
    } cases[] = {
        {"head -c 1000 /dev/zero", false},
        {"head -c 1001 /dev/zero", true},
        {"exec cat /dev/zero", true},  // never ends by itself
    };
    for (const auto& c : cases) {
        const auto start = Clock::now();
        RunResult result = run_program("sh", {"-c", c.script}, {}, std::nullopt, limit, 1000);
        EXPECT_EQ(result.too_long, c.too_long) << c.script;
        EXPECT_EQ(result.ok(), !c.too_long) << c.script;
        EXPECT_FALSE(result.timed_out) << c.script;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(limit / 2)) << c.script;
    }
    EXPECT_TRUE(no_children());
}

TEST(RunProgram, FeedsTheWholeInput) {
    std::string input;
    for (std::size_t i = 0; input.size() < 5 * 1024 * 1024; ++i) {
        input += "line " + std::to_string(i) + "\n";
    }
    RunResult result = run_program("cat", {}, {}, input, limit);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out.size(), input.size());
    EXPECT_TRUE(result.out == input);
}

TEST(RunProgram, SurvivesAProgramThatIgnoresItsInput) {
    // Writing into a pipe nobody reads raises SIGPIPE; that must not end us.
    std::string input(8 * 1024 * 1024, 'x');
    RunResult result = run_program("true", {}, {}, input, limit);
    EXPECT_EQ(result.exit_code, 0);
    result = run_program("head", {"-c", "3"}, {}, input, limit);
    EXPECT_EQ(result.out, "xxx");
}

TEST(RunProgram, WithoutInputReadsNothing) {
    RunResult result = run_program("readlink", {"/proc/self/fd/0"}, {}, std::nullopt, limit);
    EXPECT_EQ(result.out, "/dev/null\n");
    auto start = Clock::now();
    result = run_program("cat", {}, {}, std::nullopt, limit);
    EXPECT_EQ(result.exit_code, 0);
    // Well below the limit, which a cat waiting for input would reach.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(limit / 2));
    EXPECT_EQ(run_program("cat", {}, {}, std::string(), limit).out, "");
}

TEST(RunProgram, AddsTheExtraEnvironment) {
    const std::string home = bootsmith::util::env_text("HOME");
    RunResult result =
        shell("echo \"$BOOTSMITH_ONE|$LANG_TEST|$HOME\"",
              {{"BOOTSMITH_ONE", "1"}, {"LANG_TEST", "a b"}, {"HOME", "/elsewhere"}});
    EXPECT_EQ(result.out, "1|a b|/elsewhere\n");
    // The inherited variables stay, and our own environment is unchanged.
    EXPECT_EQ(shell("echo \"$HOME\"").out, home + "\n");
    EXPECT_EQ(bootsmith::util::env_text("HOME"), home);
    EXPECT_EQ(shell("env | grep -c '^HOME='", {{"HOME", "/x"}}).out, "1\n");
}

TEST(RunProgram, LeaksNoDescriptors) {
    // A descriptor opened without close-on-exec by some other part of the process.
    int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    ASSERT_EQ(::dup2(stray, 100), 100);
    RunResult result = run_program("ls", {"/proc/self/fd"}, {}, std::string("x"), limit);
    ::close(100);
    ::close(stray);
    std::vector<std::string> fds =
        bootsmith::util::split_words(result.out, bootsmith::util::ShellRules::off);
    // 0, 1 and 2, and the one ls opened to read the folder.
    ASSERT_EQ(fds.size(), 4u) << result.out;
    EXPECT_EQ(fds[0], "0");
    EXPECT_EQ(fds[1], "1");
    EXPECT_EQ(fds[2], "2");
    EXPECT_EQ(fds[3], "3");
}

TEST(RunProgram, AProgramLeftRunningByTheChildDoesNotHoldUsUp) {
    auto start = Clock::now();
    RunResult result = shell("sleep 40 & echo started");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "started\n");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(limit));
    EXPECT_TRUE(no_children());
}

TEST(RunProgram, StartsTheProgramWithDefaultSignals) {
    // An ignored SIGPIPE would be inherited over exec; `yes` would then
    // complain about a broken pipe instead of ending quietly.
    struct sigaction ignore {};
    struct sigaction old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);
    RunResult result = shell("yes | head -c 4");
    ::sigaction(SIGPIPE, &old, nullptr);
    EXPECT_EQ(result.out, "y\ny\n");
    EXPECT_EQ(result.err, "");
}

TEST(RunProgram, RunsFromManyThreadsAtOnce) {
    constexpr int count = 12;
    std::vector<RunResult> results(count);
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([i, &results] {
            results[static_cast<std::size_t>(i)] = run_program(
                "sh", {"-c", "cat; echo \" $0\" >&2; ls /proc/self/fd | wc -l", std::to_string(i)},
                {}, "input " + std::to_string(i), limit);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < count; ++i) {
        const RunResult& result = results[static_cast<std::size_t>(i)];
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_EQ(result.out, "input " + std::to_string(i) + "4\n");
        EXPECT_EQ(result.err, " " + std::to_string(i) + "\n");
    }
    EXPECT_TRUE(no_children());
}

}  // namespace
