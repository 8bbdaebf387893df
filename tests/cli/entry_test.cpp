#include "cli_fixture.hpp"

namespace bootsmith::testing {
namespace {

class Entry : public CliTest {};

TEST_F(Entry, HelpInEveryFormPrintsTheSameGeneralHelp) {
    Outcome reference = run({"help"});
    EXPECT_EQ(reference.status, 0);
    EXPECT_EQ(reference.err, "");
    auto lines = lines_of(reference.out);
    ASSERT_EQ(lines.size(), 34u);
    EXPECT_EQ(lines[0], "Bootsmith - see what starts with your computer, and switch it on or off.");
    EXPECT_EQ(lines[4], "Usage:");
    EXPECT_EQ(lines[32], "and items it considers critical are never switched off.");
    EXPECT_EQ(lines[33],
              "Help on one command: bootsmith help COMMAND (or bootsmith COMMAND --help).");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"-h"}, {"--help"}, {"--demo", "-h"}}) {
        Outcome o = run(args);
        EXPECT_EQ(o.status, 0) << args[0];
        EXPECT_EQ(o.out, reference.out) << args[0];
        EXPECT_EQ(o.err, "");
    }
}

TEST_F(Entry, HelpOfOneCommandInEveryForm) {
    Outcome reference = run({"help", "add"});
    EXPECT_EQ(reference.status, 0);
    auto lines = lines_of(reference.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0],
              "Usage: bootsmith add PROGRAM [--name N] [--mode MODE] [--args TEXT] [--workdir DIR] "
              "[--yes]");
    for (const char* mode : {"  login ", "  user-service ", "  boot ", "  cron "}) {
        EXPECT_NE(reference.out.find(mode), std::string::npos) << mode;
    }
    EXPECT_NE(reference.out.find("Examples:\n  bootsmith add firefox\n"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"add", "--help"}, {"add", "-h"}, {"--demo", "add", "firefox", "--help"}}) {
        Outcome o = run(args);
        EXPECT_EQ(o.status, 0) << args[0];
        EXPECT_EQ(o.out, reference.out) << args[0];
    }
    EXPECT_NE(run({"list", "--help"}).out.find("  critical  "), std::string::npos)
        << "the level words are explained";
    EXPECT_NE(run({"help", "running"}).out.find("--all "), std::string::npos);
    Outcome unknown = run({"help", "extra"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "There is no command \"extra\". Try: bootsmith help\n");
}

TEST_F(Entry, VersionAsJson) {
    Outcome o = run({"version", "--json"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "{\"name\":\"Bootsmith\",\"version\":\"1.0.0\",\"developer\":\"The Bootsmith "
              "developers\",\"license\":\"MIT\"}\n");
}

TEST_F(Entry, VersionPrintsThreeLines) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"version"}, {"--version"}}) {
        Outcome o = run(args);
        EXPECT_EQ(o.status, 0);
        auto lines = lines_of(o.out);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "Bootsmith 1.0.0");
    }
}

TEST_F(Entry, UsageErrorsComeBeforeAnythingIsRead) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"frobnicate"}, "Unknown command \"frobnicate\". Try: bootsmith help\n"},
        {{"assess"}, "Which item? bootsmith assess NAME\n"},
        {{"disable"}, "Which item? bootsmith disable NAME\n"},
        {{"enable"}, "Which item? bootsmith enable NAME\n"},
        {{"add"}, "Which program? bootsmith add NAME-or-PATH\n"},
        {{"remove"}, "Which entry? bootsmith remove NAME\n"},
        {{"restore"}, "Which backup? bootsmith restore FILE-or-NAME\n"},
        {{"undo", "7x"}, "Which change? bootsmith undo SEQ   (see: bootsmith history)\n"},
        {{"undo", "-1"}, "Which change? bootsmith undo SEQ   (see: bootsmith history)\n"},
        {{"knowledge", "import"}, "Which file? bootsmith knowledge import FILE\n"},
        {{"knowledge", "frob"},
         "Try: bootsmith knowledge status | update | import FILE | rollback | export\n"},
        // A value option takes the next word even when it looks like an option.
        {{"--label", "--yes", "frob"}, "Unknown command \"frob\". Try: bootsmith help\n"},
    };
    for (const Case& c : cases) {
        // With and without --demo: nothing is scanned or created before the check.
        for (bool demo_run : {false, true}) {
            Outcome o = demo_run ? demo(c.args) : run(c.args);
            EXPECT_EQ(o.status, 2) << c.args[0];
            EXPECT_EQ(o.err, c.err) << c.args[0];
            EXPECT_EQ(o.out, "");
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "no demonstration folder was made";
}

TEST_F(Entry, EveryDemonstrationRunHasAFolderOfItsOwnThatGoesWithIt) {
    // A backup names the file it wrote, which lies in the run's own folder.
    std::vector<std::string> folders;
    for (int i = 0; i < 2; ++i) {
        Outcome o = demo({"backup"});
        ASSERT_EQ(o.status, 0) << o.err;
        std::filesystem::path saved = o.out.substr(o.out.find(" to ") + 4);
        saved = saved.string().substr(0, saved.string().find('\n'));
        std::filesystem::path folder = saved.parent_path().parent_path();
        EXPECT_EQ(folder.parent_path(), tmp.path());
        EXPECT_TRUE(folder.filename().string().starts_with("bootsmith-demo-")) << folder;
        EXPECT_EQ(folder.filename().string().size(), std::string("bootsmith-demo-").size() + 12);
        folders.push_back(folder.string());
    }
    EXPECT_NE(folders[0], folders[1]);
    // Listing, changing and undoing all write into the folder; none is left.
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(demo({"list"}).status, 0);
    }
    ASSERT_EQ(demo({"disable", "Spotify"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "no demonstration folder is left";
}

TEST_F(Entry, ArgumentsThatAreNotUtf8AreReadAsLatin1) {
    Outcome o = demo({"assess", "caf\xe9"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "nothing matches \"caf\xc3\xa9\"\n");
}

}  // namespace
}  // namespace bootsmith::testing
