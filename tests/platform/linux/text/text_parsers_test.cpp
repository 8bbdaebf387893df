#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/listing_text.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_programs.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::linux_backend {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Words = std::vector<std::string>;

struct SplitCase {
    const char* line;
    Words words;
};

TEST(ShellWords, SplitsAsAShellDoes) {
    const SplitCase cases[] = {
        {R"~(python3 -c "print('hi')" 'a b' c\ d)~",
         {"python3", "-c", "print('hi')", "a b", "c d"}},
        {R"("a"b'c')", {"abc"}},
        {R"(x "" '')", {"x", "", ""}},
        {R"("a \" \$ \` \\ \n")", {R"(a " $ ` \ \n)"}},
        {"  lots   of\tspace  ", {"lots", "of", "space"}},
        {R"('unterminated quote)", {"unterminated quote"}},
        {R"(trailing\)", {"trailing"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shell_words(c.line), c.words) << c.line;
    }
}

TEST(QuoteWord, QuotesOnlyWhatAShellWouldRead) {
    const std::pair<const char*, const char*> cases[] = {
        {"abc", "abc"},       {"it's", R"('it'\''s')"},
        {"", "''"},           {"/usr/bin/x", "/usr/bin/x"},
        {"a b", "'a b'"},     {"--x=50%,+@:", "--x=50%,+@:"},
        {"$HOME", "'$HOME'"}, {"naïve", "'naïve'"},
    };
    for (const auto& [word, quoted] : cases) {
        EXPECT_EQ(quote_word(word), quoted) << word;
    }
}

TEST(QuoteWord, QuotedCommandSplitsBackIntoTheSameWords) {
    const Words words = {"/opt/my app/run", "it's", "", "a\"b", "$x", "back\\slash", "\ttab"};
    EXPECT_EQ(shell_words(quote_command(words)), words);
    EXPECT_EQ(quote_command({"ls", "-l", "my dir"}), "ls -l 'my dir'");
    EXPECT_EQ(quote_command({}), "");
}

TEST(CheckOneLine, RefusesControlCharactersButNotTabs) {
    using bootsmith::testing::FailsWith;
    using bootsmith::testing::IsOk;
    EXPECT_THAT(check_one_line("a\tb ünï", "name"), IsOk());
    EXPECT_THAT(check_one_line("a\nb", "name"),
                FailsWith("The name contains a line break or control character, which is not "
                          "allowed."));
    EXPECT_THAT(check_one_line("a\rb", "command"),
                FailsWith("The command contains a line break or control character, which is not "
                          "allowed."));
    EXPECT_THAT(check_one_line("x\x7f", "working folder"),
                FailsWith("The working folder contains a line break or control character, which "
                          "is not allowed."));
    EXPECT_THAT(check_one_line(std::string("nul\0", 4), "user name"),
                FailsWith("The user name contains a line break or control character, which is "
                          "not allowed."));
}

TEST(FindOnPath, TakesTheFirstFolderThatHoldsTheWord) {
    bootsmith::testing::FakePrograms first(true);
    bootsmith::testing::FakePrograms second(false);  // now first on PATH
    first.add("tool", "exit 0");
    second.add("other", "exit 0");
    const std::string list = ":" + second.bin().string() + "::" + first.bin().string();
    EXPECT_EQ(find_in_path_list("tool", list), first.bin().string() + "/tool");
    EXPECT_EQ(find_in_path_list("other", list), second.bin().string() + "/other");
    EXPECT_EQ(find_in_path_list("missing", list), std::nullopt);
    EXPECT_EQ(find_in_path_list("", list), std::nullopt);
    EXPECT_EQ(find_in_path_list("bin/tool", list), std::nullopt);
    EXPECT_EQ(find_in_path_list("tool", ""), std::nullopt);
    EXPECT_TRUE(on_path("tool"));
    EXPECT_TRUE(on_path("other"));
    EXPECT_FALSE(on_path("surely-not-a-program-here"));
}

TEST(ProgramOf, SkipsEnvAndLooksBareWordsUp) {
    bootsmith::testing::FakePrograms fakes(true);
    const std::string node = fakes.add("node", "exit 0").string();
    const std::pair<Words, std::string> cases[] = {
        {{"env", "LANG=C", "FOO=1", "-i", "node", "/srv/app.js"}, node},
        {{"/usr/bin/env", "A=1", "node"}, node},
        {{"node", "x"}, node},
        {{"./run", "x"}, "./run"},
        {{"/opt/x/bin/tool"}, "/opt/x/bin/tool"},
        {{"unknown-tool", "--flag"}, "unknown-tool"},
        {{"env", "A=1"}, ""},
        {{}, ""},
    };
    for (const auto& [words, program] : cases) {
        EXPECT_EQ(program_of(words), program) << (words.empty() ? "" : words.front());
    }
}

TEST(ProgramOf, KeepsTheBareWordWhenItIsNotOnPath) {
    bootsmith::testing::FakePrograms fakes(true);
    EXPECT_EQ(program_of({"env", "LANG=C", "FOO=1", "-i", "node", "/srv/app.js"}), "node");
}

TEST(IsInterpreter, KnowsTheTwelveNamesAndTheirVersions) {
    for (const char* name :
         {"python", "python3", "perl", "ruby", "node", "nodejs", "java", "bash", "sh", "dash",
          "php", "lua", "python3.11", "python3.12", "perl5.36", "lua5.4", "python2.7.18"}) {
        EXPECT_TRUE(is_interpreter(name)) << name;
    }
    for (const char* name : {"python-config", "pythonista", "bash5a", "zsh", "shx", "", "node-gyp",
                             "/usr/bin/python3"}) {
        EXPECT_FALSE(is_interpreter(name)) << name;
    }
}

TEST(ProgramIdentity, TellsScriptsOfOneInterpreterApart) {
    const std::tuple<const char*, Words, const char*> cases[] = {
        {"/usr/bin/python3.12",
         {"python3", "-u", "/srv/server.py", "--port", "80"},
         "/usr/bin/python3.12|server.py"},
        {"/usr/bin/python3.12",
         {"env", "A=1", "/usr/bin/python3", "server.py"},
         "/usr/bin/python3.12|server.py"},
        {"/usr/bin/python3.12", {"python3", "-u"}, "/usr/bin/python3.12"},
        {"/usr/bin/python3.12", {"myapp", "server.py"}, "/usr/bin/python3.12"},
        {"/usr/bin/firefox", {"firefox", "page.html"}, "/usr/bin/firefox"},
        {"/bin/bash", {"bash", "/opt/start.sh"}, "/bin/bash|start.sh"},
    };
    for (const auto& [program, words, identity] : cases) {
        EXPECT_EQ(program_identity(program, words), identity) << identity;
    }
}

TEST(DesktopEntry, ReadsTheDesktopEntryGroupOnly) {
    const char* text =
        "# comment\n"
        "[Other]\nName=Not this\n"
        "[Desktop Entry]\n"
        "  Name = Tool  \n"
        "Name[de]=Werkzeug\n"
        "Exec=tool --x %U\n"
        "; another comment\n"
        "no equals sign\n"
        "Comment=Does things\n"
        "OnlyShowIn=GNOME;\n"
        "Path=/srv\n"
        "Hidden=TRUE\n"
        "NoDisplay=false\n"
        "X-GNOME-Autostart-enabled=false\n"
        "Name=Second name\n"
        "[Desktop Action new]\nExec=ignored\n";
    auto entry = parse_desktop_entry(text, "tool.desktop");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->name, "Tool");
    EXPECT_EQ(entry->value("Name[de]"), "Werkzeug");
    EXPECT_EQ(entry->exec, "tool --x %U");
    EXPECT_EQ(entry->comment, "Does things");
    EXPECT_EQ(entry->only_show_in, "GNOME;");
    EXPECT_EQ(entry->path, "/srv");
    EXPECT_EQ(entry->file_name, "tool.desktop");
    EXPECT_TRUE(entry->hidden);
    EXPECT_FALSE(entry->no_display);
    EXPECT_EQ(entry->autostart_enabled, Tristate::no);
    EXPECT_EQ(entry->pairs.size(), 10u);
}

TEST(DesktopEntry, AutostartFlagNeedsTheExactWord) {
    const std::pair<const char*, Tristate> cases[] = {
        {"X-GNOME-Autostart-enabled=true", Tristate::yes},
        {"X-GNOME-Autostart-enabled=false", Tristate::no},
        {"X-GNOME-Autostart-enabled=False", Tristate::unset},
        {"X-GNOME-Autostart-enabled=", Tristate::unset},
        {"Other=1", Tristate::unset},
    };
    for (const auto& [line, state] : cases) {
        auto entry =
            parse_desktop_entry(std::string("[Desktop Entry]\n") + line + "\n", "x.desktop");
        ASSERT_TRUE(entry.has_value()) << line;
        EXPECT_EQ(entry->autostart_enabled, state) << line;
    }
}

TEST(DesktopEntry, NoEntryWithoutKeysInTheGroup) {
    for (const char* text : {"", "Name=x\n", "[Desktop Entry]\n# only a comment\n",
                             "[Other]\nName=x\n", "\xff\xfe garbage \x01\x02"}) {
        EXPECT_FALSE(parse_desktop_entry(text, "x.desktop").has_value()) << text;
    }
}

TEST(DesktopCommandWords, DropsFieldCodesAndUnescapesPercent) {
    const std::pair<const char*, Words> cases[] = {
        {"tool %U --x", {"tool", "--x"}},
        {"tool %f %F %u %i %c %k", {"tool"}},
        {"tool --rate=50%% %%U", {"tool", "--rate=50%", "%U"}},
        {R"("/opt/My App/run" --a "%f")", {"/opt/My App/run", "--a"}},
        {"tool %1 %%", {"tool", "%1", "%"}},
        {"", {}},
    };
    for (const auto& [exec, words] : cases) {
        EXPECT_EQ(desktop_command_words(exec), words) << exec;
    }
}

TEST(ExecValue, QuotesAndEscapesLikeTheFileFormat) {
    const std::pair<Words, const char*> cases[] = {
        {{"tool", "--x"}, "tool --x"},
        {{"tool", "50%"}, "tool 50%%"},
        {{"/opt/My App/run"}, R"("/opt/My App/run")"},
        {{"say", "a\"b"}, R"(say "a\\"b")"},
        {{"echo", "$HOME"}, R"(echo "\\$HOME")"},
        {{"echo", "`x`"}, R"(echo "\\`x\\`")"},
        {{"back\\slash"}, R"("back\\\\slash")"},
        {{"a;b", "x>y", "~", "*?"}, R"("a;b" "x>y" "~" "*?")"},
        {{"tool", ""}, R"(tool "")"},
    };
    for (const auto& [words, value] : cases) {
        EXPECT_EQ(exec_value(words), value) << value;
    }
}

TEST(ExecValue, ReadsBackAsTheSameWords) {
    const Words words = {"/opt/My App/run", "--rate=50%", "a\"b", "$HOME", "`x`",
                         "back\\slash",     "it's",       "(x)",  "a&b|c", ""};
    EXPECT_EQ(desktop_command_words(exec_value(words)), words);
}

TEST(SetDesktopKey, ReplacesTheFirstLineOfTheKeyInTheGroup) {
    EXPECT_EQ(set_desktop_key("[Desktop Entry]\nName=x\n Hidden = false\nHidden=false\n", "Hidden",
                              "true"),
              "[Desktop Entry]\nName=x\nHidden=true\nHidden=false\n");
}

TEST(SetDesktopKey, InsertsBeforeTheNextGroupOrAtTheEnd) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"[Desktop Entry]\nName=x\n[Desktop Action a]\nHidden=false\n", "Hidden",
         "[Desktop Entry]\nName=x\nHidden=true\n[Desktop Action a]\nHidden=false\n"},
        {"[Desktop Entry]\nName=x", "Hidden", "[Desktop Entry]\nName=x\nHidden=true\n"},
        {"[Other]\nHidden=false\n[Desktop Entry]\nName=x\n", "Hidden",
         "[Other]\nHidden=false\n[Desktop Entry]\nName=x\nHidden=true\n"},
        {"Name=x\nExec=y\n", "Hidden", "[Desktop Entry]\nHidden=true\nName=x\nExec=y\n"},
        {"", "Hidden", "[Desktop Entry]\nHidden=true\n"},
        {"[Desktop Entry]\n#Hidden=false\nHiddenX=1\n", "Hidden",
         "[Desktop Entry]\n#Hidden=false\nHiddenX=1\nHidden=true\n"},
    };
    for (const auto& [text, key, expected] : cases) {
        EXPECT_EQ(set_desktop_key(text, key, "true"), expected) << text;
    }
}

TEST(SetDesktopKey, KeepsOtherLinesByteForByte) {
    const char* text = "[Desktop Entry]\r\nName=x  \r\n\n  # note\nExec=a b\n";
    EXPECT_EQ(set_desktop_key(text, "Exec", "c"),
              "[Desktop Entry]\r\nName=x  \r\n\n  # note\nExec=c\n");
}

TEST(CronLine, ReadsRebootLinesAndTheOffMarker) {
    const std::tuple<const char*, bool, bool, const char*> cases[] = {
        // line, is an entry, enabled, command
        {"@reboot /opt/x.sh", true, true, "/opt/x.sh"},
        {"  @reboot   cd /srv && ./run  ", true, true, "cd /srv && ./run"},
        {"#bootsmith-off# @reboot /opt/x.sh", true, false, "/opt/x.sh"},
        {"#bootsmith-off#@reboot /opt/x.sh", true, false, "/opt/x.sh"},
        {"@reboot\t/opt/tab.sh", true, true, "/opt/tab.sh"},
        {"# @reboot /opt/x.sh", false, false, ""},
        {"@reboot", false, false, ""},
        {"@reboot   ", false, false, ""},
        {"@rebootx /opt/x.sh", false, false, ""},
        {"*/5 * * * * /opt/x.sh", false, false, ""},
        {"@daily /opt/x.sh", false, false, ""},
        {"PATH=/usr/bin", false, false, ""},
        {"", false, false, ""},
    };
    for (const auto& [line, is_entry, enabled, command] : cases) {
        auto entry = parse_cron_line(line);
        ASSERT_EQ(entry.has_value(), is_entry) << line;
        if (entry) {
            EXPECT_EQ(entry->enabled, enabled) << line;
            EXPECT_EQ(entry->command, command) << line;
        }
    }
}

TEST(CronCommand, SplitsAccountAndTag) {
    auto user = split_cron_command("cd /srv && ./run # bootsmith:my-run", CronSource::user_crontab);
    EXPECT_EQ(user.runs_as, "");
    EXPECT_EQ(user.command, "cd /srv && ./run");
    EXPECT_EQ(user.tag, " # bootsmith:my-run");
    auto system = split_cron_command("root   /usr/sbin/job --x", CronSource::system_file);
    EXPECT_EQ(system.runs_as, "root");
    EXPECT_EQ(system.command, "/usr/sbin/job --x");
    EXPECT_EQ(system.tag, "");
    auto inner =
        split_cron_command(R"(echo " # bootsmith:x" # bootsmith:echo-x)", CronSource::user_crontab);
    EXPECT_EQ(inner.command, R"(echo " # bootsmith:x")");
    EXPECT_EQ(inner.tag, " # bootsmith:echo-x");
    auto plain = split_cron_command("/opt/x.sh # a comment", CronSource::user_crontab);
    EXPECT_EQ(plain.command, "/opt/x.sh # a comment");
    EXPECT_EQ(split_cron_command("root", CronSource::system_file).command, "");
}

TEST(UnitFiles, TakesUnitAndStateOfEachRow) {
    const char* text =
        "apt-daily.service                      static   -\n"
        "cryptdisks.service                     masked   enabled\n"
        "e2scrub_reap.service                   enabled  enabled\n"
        "nodot                                  enabled\n"
        "lonely.service\n"
        "\n"
        "3 unit files listed.\n";
    auto rows = parse_unit_files(text);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].unit, "apt-daily.service");
    EXPECT_EQ(rows[0].state, "static");
    EXPECT_EQ(rows[1].unit, "cryptdisks.service");
    EXPECT_EQ(rows[1].state, "masked");
    EXPECT_EQ(rows[2].state, "enabled");
}

TEST(Units, SkipsStatusMarksAndJoinsTheDescription) {
    const char* text =
        "\u25cf foo.service loaded failed failed Foo   Service\n"
        "  cron.service                loaded active running Regular background program\n"
        "* bar.service loaded inactive dead\n"
        "\u00d7 baz.socket loaded failed failed Baz\n"
        "short.service loaded active\n"
        "nodot loaded active running x\n";
    auto rows = parse_units(text);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows["foo.service"].active, "failed");
    EXPECT_EQ(rows["foo.service"].description, "Foo Service");
    EXPECT_EQ(rows["cron.service"].load, "loaded");
    EXPECT_EQ(rows["cron.service"].sub, "running");
    EXPECT_EQ(rows["cron.service"].description, "Regular background program");
    EXPECT_EQ(rows["bar.service"].description, "");
    EXPECT_EQ(rows["baz.socket"].active, "failed");
}

TEST(Show, SplitsBlocksAtBlankLines) {
    const char* text =
        "Id=a.service\nDescription=A = first\nDescription=A again\nExecStart=\n\n"
        "\n  \n\n"
        "Id=b.service\nnot a property\nUser=\n";
    auto records = parse_show(text);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(show_value(records[0], "Id"), "a.service");
    EXPECT_EQ(show_value(records[0], "Description"), "A again");
    EXPECT_EQ(records[0].count("ExecStart"), 1u);
    EXPECT_EQ(show_value(records[1], "Id"), "b.service");
    EXPECT_EQ(show_value(records[1], "Missing"), "");
    EXPECT_THAT(parse_show(""), IsEmpty());
    EXPECT_THAT(parse_show("\n\n\n"), IsEmpty());
}

TEST(ExecStartValue, TakesPathAndArgv) {
    auto exec = parse_exec_start(
        "{ path=/usr/sbin/cupsd ; argv[]=/usr/sbin/cupsd -l ; ignore_errors=no ; "
        "start_time=[n/a] ; stop_time=[n/a] ; pid=0 ; code=(null) ; status=0/0 }");
    EXPECT_EQ(exec.path, "/usr/sbin/cupsd");
    EXPECT_EQ(exec.command, "/usr/sbin/cupsd -l");
    for (const char* broken : {"", "garbage", "} path=/x {", "{ no parts here }"}) {
        auto none = parse_exec_start(broken);
        EXPECT_EQ(none.path, "") << broken;
        EXPECT_EQ(none.command, "") << broken;
    }
}

TEST(ExecStartValue, KeepsSeparatorsInsideTheCommand) {
    // systemctl prints argv[] unquoted, so " ; " may belong to the command.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // value, path, command
        {"{ path=/bin/sh ; argv[]=/bin/sh -c a ; b ; ignore_errors=no ; start_time=[n/a] ; "
         "stop_time=[n/a] ; pid=0 ; code=(null) ; status=0/0 }",
         "/bin/sh", "/bin/sh -c a ; b"},
        {"{ path=/bin/x ; argv[]=/bin/x ; ; ignore_errors=no }", "/bin/x", "/bin/x ;"},
        {"{ path=/bin/x ; argv[]=/bin/x a ; b }", "/bin/x", "/bin/x a ; b"},
    };
    for (const auto& [value, path, command] : cases) {
        auto exec = parse_exec_start(value);
        EXPECT_EQ(exec.path, path) << value;
        EXPECT_EQ(exec.command, command) << value;
    }
    auto exec = parse_exec_start(
        show_value(parse_unit_cat("ExecStart=/bin/sh -c 'x ; y ; ignore_errors=no'", "x@.service"),
                   "ExecStart"));
    EXPECT_EQ(exec.path, "/bin/sh");
    EXPECT_EQ(exec.command, "/bin/sh -c 'x ; y ; ignore_errors=no'");
}

TEST(UnitCat, BuildsARecordThatReadsLikeShow) {
    const char* text =
        "# /lib/systemd/system/getty@.service\n"
        "[Unit]\n"
        "Description=Getty on %I\n"
        "[Service]\n"
        "ExecStart=-/sbin/agetty -o '-p -- \\\\u' --noclear - $TERM\n"
        "ExecStart=/not/this\n"
        "\n"
        "# /etc/systemd/system/getty@.service.d/override.conf\n"
        "Description=Not this\n";
    auto record = parse_unit_cat(text, "getty@.service");
    EXPECT_EQ(show_value(record, "Id"), "getty@.service");
    EXPECT_EQ(show_value(record, "FragmentPath"), "/lib/systemd/system/getty@.service");
    EXPECT_EQ(show_value(record, "Description"), "Getty on %I");
    auto exec = parse_exec_start(show_value(record, "ExecStart"));
    EXPECT_EQ(exec.path, "/sbin/agetty");
    EXPECT_EQ(exec.command, "/sbin/agetty -o '-p -- \\\\u' --noclear - $TERM");
    EXPECT_EQ(parse_exec_start(
                  show_value(parse_unit_cat("ExecStart=+@!:-/bin/x y", "x@.service"), "ExecStart"))
                  .path,
              "/bin/x");
    EXPECT_EQ(show_value(parse_unit_cat("garbage", "x@.service"), "FragmentPath"), "");
}

TEST(UnitNames, TypesAndTemplates) {
    EXPECT_EQ(unit_type("cron.service"), "service");
    EXPECT_EQ(unit_type("apt-daily.timer"), "timer");
    EXPECT_EQ(unit_type("noext"), "service");
    EXPECT_TRUE(is_template_unit("getty@.service"));
    EXPECT_TRUE(is_template_unit("x@"));
    EXPECT_FALSE(is_template_unit("getty@tty1.service"));
    EXPECT_FALSE(is_template_unit("cron.service"));
}

TEST(WhiteSpaceFields, KeepsQuotesAndBackslashes) {
    EXPECT_EQ(white_space_fields("  a.service\tdev-x\\x2dy.mount  'q' \u00a0z "),
              (std::vector<std::string>{"a.service", "dev-x\\x2dy.mount", "'q'", "z"}));
    EXPECT_TRUE(white_space_fields(" \t ").empty());
}

}  // namespace
}  // namespace bootsmith::linux_backend
