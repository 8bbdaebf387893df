// Habits users bring from other tools: a listing as wide as the terminal,
// --json on every command that shows data, undo without a number.
#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/change_commands.hpp"
#include "cli/maintenance_commands.hpp"
#include "cli_fixture.hpp"
#include "engine/test_platform.hpp"
#include "foundation/json.hpp"
#include "in_process.hpp"
#include "support/scoped_env.hpp"

extern char** environ;

namespace bootsmith::testing {
namespace {

namespace fs = std::filesystem;

// Runs the program with its standard output on a terminal of this width
// (standard error is dropped); the terminal's "\r\n" become "\n".
std::string run_on_terminal(const std::vector<std::string>& args, unsigned short width,
                            const std::string& tmpdir) {
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = width;
    size.ws_row = 50;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        return "openpty failed";
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, slave, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv_text{bootsmith_binary()};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env_text{"LC_ALL=C", "TMPDIR=" + tmpdir, "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env_text) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(slave);
    std::string text;
    char buffer[4096];
    for (ssize_t n; rc == 0 && (n = read(master, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(master);
    int status = 0;
    if (rc == 0) {
        waitpid(pid, &status, 0);
    }
    std::erase(text, '\r');
    return text;
}

std::size_t longest_line(const std::string& text) {
    std::size_t longest = 0;
    for (const auto& line : lines_of(text)) {
        // Characters, not bytes: "…" is three bytes.
        auto characters = static_cast<std::size_t>(
            std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        longest = std::max(longest, characters);
    }
    return longest;
}

class Habits : public CliTest {};

TEST_F(Habits, ListFitsTheTerminalAndFullShortensNothing) {
    const std::string dir = tmp.path().string();
    // The demonstration's longest command is far over 70 characters.
    std::string piped = demo({"list"}).out;
    std::string wide = run_on_terminal({"--demo", "list"}, 200, dir);
    std::string narrow = run_on_terminal({"--demo", "list"}, 100, dir);
    std::string full = run_on_terminal({"--demo", "list", "--full"}, 100, dir);
    EXPECT_EQ(longest_line(piped), 69u + 70u) << "a pipe keeps the fixed layout";
    EXPECT_EQ(longest_line(narrow), 100u) << narrow;
    EXPECT_GT(longest_line(wide), longest_line(piped));
    EXPECT_LE(longest_line(wide), 200u);
    EXPECT_EQ(full.find("\u2026"), std::string::npos) << "--full shortens nothing";
    EXPECT_EQ(lines_of(full).size(), lines_of(narrow).size());
    EXPECT_EQ(demo({"list", "--full"}).out.find("\u2026"), std::string::npos);
}

TEST_F(Habits, EveryCommandThatShowsDataSpeaksJson) {
    struct Case {
        std::vector<std::string> args;
        json::JsonValue::Type type;
        const char* first_key;  ///< of the object, or of the first element
    };
    ASSERT_EQ(demo({"disable", "Spotify"}).status, 0);
    const Case cases[] = {
        {{"assess", "Spotify", "--json"}, json::JsonValue::Type::Object, "id"},
        {{"doctor", "--json"}, json::JsonValue::Type::Object, "probes"},
        {{"backups", "--json"}, json::JsonValue::Type::Object, "folder"},
        {{"knowledge", "--json"}, json::JsonValue::Type::Object, "builtin_version"},
        {{"knowledge", "status", "--json"}, json::JsonValue::Type::Object, "builtin_version"},
        {{"version", "--json"}, json::JsonValue::Type::Object, "name"},
        {{"history", "--json"}, json::JsonValue::Type::Array, nullptr},
    };
    for (const Case& c : cases) {
        Outcome o = demo(c.args);
        EXPECT_EQ(o.status, 0) << c.args[0];
        EXPECT_EQ(o.err, "") << c.args[0];
        auto parsed = json::parse(o.out);
        ASSERT_TRUE(parsed) << c.args[0] << ": " << o.out;
        EXPECT_EQ(parsed->type(), c.type) << c.args[0];
        if (c.first_key != nullptr) {
            ASSERT_FALSE(parsed->as_object()->empty());
            EXPECT_EQ(parsed->as_object()->front().key, c.first_key) << c.args[0];
        }
    }
}

class HabitsInProcess : public InProcessCli {};

TEST_F(HabitsInProcess, RestorePreviewAsJsonMarksWhatApplyWouldDo) {
    ASSERT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0);
    fs::path backup = dir.path() / "b.json";
    ASSERT_EQ(command(cli::run_backup, {"backup", "--out", backup.string()}), 0);
    ASSERT_EQ(command(cli::run_switch, {"enable", "Spotify"}), 0);
    ASSERT_EQ(command(cli::run_restore, {"restore", backup.string(), "--json"}), 0);
    auto plan = json::parse(out.str());
    ASSERT_TRUE(plan) << out.str();
    EXPECT_EQ(json::to_u64(plan->get("same")), 25u);
    const json::JsonArray* items = plan->get("items")->as_array();
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->front().get_str("kind"), "state");
    EXPECT_EQ(items->front().get_str("mark"), "do");
    EXPECT_EQ(items->front().get("change")->get_str("action"), "disable");
}

TEST_F(HabitsInProcess, UndoWithoutANumberTakesTheNewestAndHistoryNumbersWork) {
    ASSERT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0);
    ASSERT_EQ(command(cli::run_switch, {"enable", "wuauserv"}), 0);
    ASSERT_EQ(command(cli::run_undo, {"undo", "--yes"}), 0) << err.str();
    EXPECT_TRUE(out.str().starts_with("Undoing the newest change (2): enable wuauserv"))
        << out.str();
    // The number 1 is the oldest record, the disable of Spotify.
    ASSERT_EQ(command(cli::run_undo, {"undo", "1"}), 0) << err.str();
    ASSERT_EQ(command(cli::run_history, {"history"}), 0);
    auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[3].ends_with("[undone]")) << lines[3];
    EXPECT_TRUE(lines[4].ends_with("[undone]")) << lines[4];
    EXPECT_EQ(command(cli::run_undo, {"undo"}), 1);
    EXPECT_EQ(err.str(), "Nothing in the history can be undone.\n");
}

TEST(AdministratorWords, LinuxSaysSudoAndTheDemonstrationKeepsItsWords) {
    for (bool demo : {false, true}) {
        auto made = std::make_unique<engine::TestPlatform>();
        platform::SystemInfo info = made->system_info();
        info.demo = demo;
        info.admin = false;
        info.os = demo ? "windows" : "linux";
        made->system_override = info;
        made->after_scan = [](std::vector<model::Item>& items) {
            for (auto& item : items) {
                item.toggle = "admin";
            }
        };
        engine::Engine context{std::move(made)};
        std::ostringstream out;
        std::ostringstream err;
        cli::ParsedArgs parsed = cli::parse_args({"disable", "Spotify"});
        cli::Invocation inv{parsed, context, out, err};
        EXPECT_EQ(cli::run_switch(inv), 3);
        EXPECT_EQ(err.str(), demo ? "  This needs administrator rights. Run it again as "
                                    "administrator (Windows) or with sudo (Linux/macOS).\n"
                                  : "  This needs administrator rights. Run it again with sudo.\n");
    }
}

}  // namespace
}  // namespace bootsmith::testing
