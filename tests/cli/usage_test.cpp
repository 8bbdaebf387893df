// Mistakes on the command line: each is refused with one sentence and exit
// status 2 before anything is read, scanned or written.
#include "cli_fixture.hpp"
#include "support/fake_programs.hpp"

namespace bootsmith::testing {
namespace {

namespace fs = std::filesystem;

struct Mistake {
    std::vector<std::string> args;
    std::string err;
};

const Mistake mistakes[] = {
    {{"list", "--jsno"}, "bootsmith list has no option \"--jsno\". Did you mean --json?\n"},
    {{"list", "--fitler", "x"},
     "bootsmith list has no option \"--fitler\". Did you mean --filter?\n"},
    {{"list", "-j"}, "bootsmith list has no option \"-j\". Did you mean --json?\n"},
    {{"list", "--yes"}, "bootsmith list has no option \"--yes\". See: bootsmith help list\n"},
    {{"list", "--filter"}, "--filter needs a value: bootsmith list --filter TEXT\n"},
    {{"add", "x", "--name", ""}, "--name needs a value: bootsmith add --name N\n"},
    {{"list", "--level", "bogus"},
     "\"bogus\" is not a level; use one of safe, low, caution, high, critical, unknown.\n"},
    {{"list", "--level=hihg"},
     "\"hihg\" is not a level; use one of safe, low, caution, high, critical, unknown. Did you "
     "mean high?\n"},
    {{"add", "x", "--mode", "bogus"},
     "\"bogus\" is not a way to start a program; use one of login, user-service, boot, cron, "
     "service-auto.\n"},
    {{"list", "--level", "caf\xe9"},
     "\"caf\xc3\xa9\" is not a level; use one of safe, low, caution, high, critical, unknown.\n"},
    {{"list", "--on", "--off"}, "--on and --off together would leave nothing; give one of them.\n"},
    {{"list", "--level", "low", "--level=high"}, "--level is given twice; give it once.\n"},
    {{"disable", "x", "--yes=1"}, "--yes takes no value; write --yes alone.\n"},
    {{"disable", "x", "--json"}, "bootsmith disable has no JSON form; leave out --json.\n"},
    {{"knowledge", "update", "--json"},
     "bootsmith knowledge update has no JSON form; leave out --json.\n"},
    {{"restore", "b.json", "--apply", "--json"},
     "restore --json shows the comparison only; leave out --apply or --json.\n"},
    {{"assess", "Acme", "Notes"},
     "bootsmith assess takes one NAME, but \"Notes\" follows it; put a name with spaces in "
     "quotes: bootsmith assess \"Acme Notes\".\n"},
    {{"list", "Spotify"},
     "bootsmith list takes no further words, but \"Spotify\" was given; see: bootsmith help "
     "list\n"},
    {{"undo", "3", "4"}, "bootsmith undo takes one NUMBER, but \"4\" follows it.\n"},
    {{"lsit"}, "Unknown command \"lsit\". Did you mean: bootsmith list?\n"},
};

class Usage : public CliTest {};

TEST_F(Usage, MistakesAreRefusedBeforeAnythingIsReadOrChanged) {
    // Were a scan to start, it would run these programs; none may run.
    FakePrograms fakes(true);
    for (const char* program : {"systemctl", "crontab", "dpkg-query", "getent", "runuser"}) {
        fakes.add_logged(program);
    }
    TempDir home;
    for (const Mistake& m : mistakes) {
        for (bool demo_run : {false, true}) {
            EnvChanges env{{"HOME", home.path().string()},
                           {"XDG_DATA_HOME", (home.path() / "data").string()}};
            Outcome o = demo_run ? demo(m.args, env) : run(m.args, env);
            EXPECT_EQ(o.status, 2) << m.args[0] << " " << m.args.back();
            EXPECT_EQ(o.err, m.err);
            EXPECT_EQ(o.out, "");
        }
    }
    EXPECT_EQ(fakes.calls(), "");
    EXPECT_TRUE(fs::is_empty(home.path())) << "nothing was written for the user";
    EXPECT_TRUE(fs::is_empty(tmp.path())) << "no demonstration folder was made";
}

TEST_F(Usage, ForgivingFormsMeanWhatTheySay) {
    Outcome high = demo({"list", "--level", "HIGH"});
    EXPECT_EQ(high.status, 0);
    EXPECT_EQ(high.out, demo({"list", "--level", "high"}).out);
    EXPECT_NE(high.out.find("wuauserv"), std::string::npos);

    // "--option=value", an empty filter, a flag twice and "--" before a name.
    EXPECT_EQ(demo({"list", "--filter=Spot"}).out, demo({"list", "--filter", "Spot"}).out);
    EXPECT_EQ(demo({"list", "--filter", ""}).out, demo({"list"}).out);
    EXPECT_EQ(demo({"list", "--on", "--on"}).out, demo({"list", "--on"}).out);
    EXPECT_EQ(demo({"assess", "--", "Spotify"}).out, demo({"assess", "Spotify"}).out);

    // A value that begins with a dash stays the value.
    Outcome added = demo({"add", "firefox", "--args", "-v"});
    EXPECT_EQ(lines_of(added.out).at(0),
              "Will make \"Mozilla Firefox\" start with the computer: \"C:\\Program "
              "Files\\Mozilla Firefox\\firefox.exe\" -v");
}

}  // namespace
}  // namespace bootsmith::testing
