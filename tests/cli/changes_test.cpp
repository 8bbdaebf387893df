#include "engine/changes.hpp"
#include "cli/args.hpp"
#include "cli/change_commands.hpp"
#include "cli/listing_commands.hpp"
#include "cli/maintenance_commands.hpp"
#include "cli_fixture.hpp"
#include "engine/backups.hpp"
#include "engine/history.hpp"
#include "engine/lookup.hpp"
#include "engine/test_platform.hpp"
#include "engine/undo.hpp"
#include "foundation/json.hpp"
#include "support/scoped_env.hpp"

namespace bootsmith::testing {
namespace {

class Changes : public CliTest {};

TEST_F(Changes, SafeDisableGoesThroughWithoutADecision) {
    Outcome o = demo({"disable", "Spotify"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    auto lines = lines_of(o.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Stop it starting: Spotify");
    EXPECT_EQ(lines[1], "  If switched off: SAFE (high confidence)");
    EXPECT_EQ(lines.back(), "Spotify will no longer start with Windows (demonstration only).");
}

TEST_F(Changes, CautionNeedsYes) {
    Outcome held = demo({"disable", "Spooler"});
    EXPECT_EQ(held.status, 4);
    EXPECT_EQ(held.err, "  This needs a decision. Run it again with --yes if you accept that.\n");
    EXPECT_EQ(lines_of(held.out)[1], "  If switched off: CAUTION (high confidence)");
    Outcome accepted = demo({"disable", "Spooler", "--yes", "--stop-now"});
    EXPECT_EQ(accepted.status, 0);
    EXPECT_EQ(lines_of(accepted.out).back(),
              "Spooler will no longer start with Windows (demonstration only).");
}

TEST_F(Changes, WithTriggersSwitchesOffWhatStillStartsItToo) {
    Outcome held = demo({"disable", "gupdate"});
    EXPECT_EQ(held.status, 4);
    EXPECT_EQ(lines_of(held.out).back(),
              "It can still start: GoogleUpdateTaskMachineCore (a timer that starts it on "
              "schedule).");
    EXPECT_EQ(held.err,
              "It will still start through GoogleUpdateTaskMachineCore. Switch those off too "
              "with --with-triggers, or accept it with --yes.\n");

    Outcome both = demo({"disable", "gupdate", "--with-triggers"});
    EXPECT_EQ(both.status, 0) << both.err;
    auto lines = lines_of(both.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(both.out.find("\nStop it starting too: GoogleUpdateTaskMachineCore (it starts "
                            "gupdate)\n  If switched off: LOW"),
              std::string::npos)
        << both.out;
    EXPECT_EQ(lines[lines.size() - 2],
              "gupdate: gupdate will no longer start with Windows (demonstration only).");
    EXPECT_EQ(lines.back(),
              "GoogleUpdateTaskMachineCore: GoogleUpdateTaskMachineCore will no longer start with "
              "Windows (demonstration only).");

    Outcome elsewhere = demo({"enable", "Steam", "--with-triggers"});
    EXPECT_EQ(elsewhere.status, 2) << "only disable has it";
}

TEST_F(Changes, EnableMakesItStart) {
    Outcome o = demo({"enable", "wuauserv"});
    EXPECT_EQ(o.status, 0);
    auto lines = lines_of(o.out);
    EXPECT_EQ(lines[0], "Make it start: wuauserv");
    EXPECT_EQ(lines[1], "  If switched off: SAFE (high confidence)");
    EXPECT_EQ(lines[2],
              "  It will start automatically when the computer starts. Start-up takes "
              "slightly longer, and it uses memory while it runs.");
    EXPECT_EQ(lines.back(), "wuauserv will start with Windows (demonstration only).");
    // Already in effect: nothing needed doing, which is success (as systemctl).
    Outcome again = demo({"enable", "Spotify"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "Nothing needed doing: Spotify is already switched on.\n");
    EXPECT_EQ(again.err, "");
}

TEST_F(Changes, CriticalIsNeverSwitchedOff) {
    for (auto args : {std::vector<std::string>{"disable", "RpcSs"},
                      std::vector<std::string>{"disable", "RpcSs", "--yes"}}) {
        Outcome o = demo(args);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "  Bootsmith will not switch this off.\n");
        EXPECT_EQ(lines_of(o.out)[1], "  If switched off: CRITICAL (high confidence)");
    }
}

TEST_F(Changes, AddCreatesARunEntry) {
    Outcome o = demo({"add", "firefox", "--yes"});
    EXPECT_EQ(o.status, 0) << o.err;
    auto lines = lines_of(o.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "Will make \"Mozilla Firefox\" start with the computer: \"C:\\Program "
              "Files\\Mozilla Firefox\\firefox.exe\"");
    EXPECT_EQ(lines[1], "  Method: login");
    EXPECT_EQ(lines[2], "Make it start with the computer: Mozilla Firefox");
    EXPECT_EQ(lines.back(), "Created: Bootsmith-Mozilla Firefox (Registry (Run, this user)).");

    Outcome unknown = demo({"add", "no-such-program"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err,
              "No running or installed program matches \"no-such-program\", and it "
              "is not a file. Try: bootsmith running\n");

    // The Windows Update service already has an entry: adding it switches that on.
    Outcome service = demo({"add", "Windows Update"});
    EXPECT_EQ(service.status, 0) << service.err;
    EXPECT_EQ(lines_of(service.out)[2], "Make it start: wuauserv");
}

TEST_F(Changes, AddARelativePathMakesItFull) {
    const auto script = tmp.path() / "my tool.sh";
    write_file(script, "#!/bin/sh\n");
    const auto relative = std::filesystem::relative(script);
    ASSERT_FALSE(relative.is_absolute());
    Outcome o = demo({"add", relative.string(), "--yes"});
    ASSERT_FALSE(o.out.empty()) << o.err;
    EXPECT_EQ(lines_of(o.out)[0], "Will make \"my tool.sh\" start with the computer: \"" +
                                      script.lexically_normal().string() + "\"");
}

TEST_F(Changes, BootMethodNeedsADecision) {
    Outcome o = demo({"add", "vlc", "--mode", "boot"});
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.out.find("  If switched off: CAUTION (high confidence)"), std::string::npos);
}

TEST_F(Changes, RemoveOnlyTouchesOwnEntries) {
    Outcome o = demo({"remove", "OneDrive", "--yes"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err,
              "  Not possible: Only startup entries created by Bootsmith can be removed. "
              "Use Disable for others.\n");
    EXPECT_EQ(lines_of(o.out)[0], "Remove the entry: OneDrive");
}

TEST_F(Changes, ARecreationIsShownWithWhatItRunsAndAsWhom) {
    const auto path = tmp.path() / "forged.json";
    write_file(path,
               R"({"format":"bootsmith-backup","items":[{"id":"gone|1","name":"Helper",)"
               R"("managed":true,"spec":{"name":"Helper","command":"/bin/sh -c 'id > /tmp/x'",)"
               R"("mode":"boot","user":"root"}}]})");
    const std::vector<std::string> shown = {
        "         command: /bin/sh -c 'id > /tmp/x'",
        "         method: boot; runs as: demouser",
        "         Read the command carefully: it comes from the backup file, not from a program "
        "Bootsmith has just listed, and it will run as demouser.",
    };
    Outcome preview = demo({"restore", path.string()});
    EXPECT_EQ(preview.status, 0) << preview.err;
    auto lines = lines_of(preview.out);
    ASSERT_GE(lines.size(), 8u) << preview.out;
    EXPECT_TRUE(lines[3].starts_with("[DO  ] recreate Helper - ")) << lines[3];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 5, lines.begin() + 8), shown);

    // Applied unseen (the output goes elsewhere), it still says what it made start.
    Outcome applied = demo({"restore", path.string(), "--apply", "--yes"});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_EQ(applied.err,
              "note: Helper was created again; it runs /bin/sh -c 'id > /tmp/x' as "
              "demouser (boot).\n");
}

TEST_F(Changes, BackupToAFileAndItsLabel) {
    std::string out = (tmp.path() / "copy.json").string();
    Outcome o = run({"--demo", "--label", "--yes", "backup", "--out", out});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Saved 26 items to " + out + "\n");
    auto document = json::parse(read_file(out));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->get_str("label"), "--yes");
    EXPECT_EQ(document->get_str("format"), "bootsmith-backup");

    Outcome missing = demo({"backup", "--out", (tmp.path() / "no/such/folder.json").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("Could not write ")) << missing.err;
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
}

TEST_F(Changes, BackupOutThroughALinkWritesWhereTheLinkPoints) {
    // A link to a file: the link stays, the file gets the backup.
    const auto target = tmp.path() / "real.json";
    const auto link = tmp.path() / "link.json";
    write_file(target, "old");
    std::filesystem::create_symlink(target, link);
    Outcome to_file = demo({"backup", "--out", link.string()});
    ASSERT_EQ(to_file.status, 0) << to_file.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(json::parse(read_file(target)));

    // A link to the standard output (as /dev/stdout is): the backup is printed.
    const auto to_stdout = tmp.path() / "stdout";
    std::filesystem::create_symlink("/proc/self/fd/1", to_stdout);
    Outcome printed = demo({"backup", "--out", to_stdout.string()});
    ASSERT_EQ(printed.status, 0) << printed.err;
    EXPECT_TRUE(std::filesystem::is_symlink(to_stdout));
    const std::string saved_line = "Saved 26 items to " + to_stdout.string() + "\n";
    ASSERT_TRUE(printed.out.ends_with(saved_line)) << printed.out;
    auto document = json::parse(printed.out.substr(0, printed.out.size() - saved_line.size()));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->get_str("format"), "bootsmith-backup");
}

TEST_F(Changes, RestoreOfSomethingThatIsNotABackup) {
    EXPECT_EQ(demo({"restore", "../x.json"}).err, "That is not a backup file name.\n");
    EXPECT_EQ(demo({"restore", "nope.json"}).err, "That backup was not found.\n");
    write_file(tmp.path() / "junk.json", "{\"format\":\"other\"}");
    Outcome junk = demo({"restore", (tmp.path() / "junk.json").string()});
    EXPECT_EQ(junk.status, 1);
    EXPECT_EQ(junk.err, "That file is not a Bootsmith backup.\n");
}

TEST_F(Changes, FreshDemonstrationHasNoBackupsAndNoHistory) {
    Outcome backups = demo({"backups"});
    EXPECT_EQ(backups.status, 0);
    EXPECT_EQ(backups.out,
              "Backups are kept in C:\\Users\\demouser\\AppData\\Local\\Bootsmith\\backups\n"
              "TAKEN (UTC)          ITEMS  AUTO  LABEL                      NAME (use with: "
              "bootsmith restore NAME)\n"
              "(none yet; 'bootsmith backup' makes one, and one is made automatically before any "
              "change)\n");
    Outcome history = demo({"history"});
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(history.out,
              "#    SEQ            TIME (UTC)           ACTION    ITEM                     "
              "    RESULT\n");
    Outcome undo = demo({"undo", "12345"});
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "That entry is not in the history.\n");
}

TEST_F(Changes, DoctorOnTheDemonstration) {
    Outcome o = demo({"doctor"});
    EXPECT_EQ(o.status, 0);
    auto lines = lines_of(o.out);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0],
              "[ok  ] Demonstration data                 The demonstration reads nothing "
              "from a real computer.");
    EXPECT_TRUE(
        lines[1].starts_with("[ok  ] Knowledge                          Built-in "
                             "2026.10.13.2 (706 rules)."));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Everything Bootsmith reads on this computer is working.");
    EXPECT_EQ(lines.back(), "No backup yet.") << "a demonstration starts with an empty folder";
}

// The commands run in this process on one engine whose data folder is a
// temporary one: history and created entries then outlive a single command,
// which separate demonstration runs never show.
class InProcess : public ::testing::Test {
  protected:
    TempDir dir;
    // The demonstration runs as administrator on "windows": it keeps its data
    // in "$ProgramData/Bootsmith".
    ScopedEnv program_data{"ProgramData", dir.path().string()};
    engine::TestPlatform* platform = nullptr;
    engine::Engine context{make_platform()};
    std::ostringstream out;
    std::ostringstream err;

    std::unique_ptr<engine::TestPlatform> make_platform() {
        auto made = std::make_unique<engine::TestPlatform>();
        platform = made.get();
        return made;
    }

    int command(int (*run)(cli::Invocation&), const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        cli::ParsedArgs parsed = cli::parse_args(args);
        cli::Invocation inv{parsed, context, out, err};
        return run(inv);
    }

    static engine::ChangeRequest request(std::string action, std::string id) {
        engine::ChangeRequest r;
        r.action = std::move(action);
        r.id = std::move(id);
        return r;
    }

    bool has_item(std::string_view name) {
        for (const auto& item : engine::items(context)) {
            if (item.name == name) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(InProcess, HistoryMarksTheUndoneRecord) {
    ASSERT_TRUE(
        engine::apply(context, {request("disable", "run|user|HKCU\\Run\\64|Spotify")})[0].ok);
    std::uint64_t seq = engine::read_records(context.system()).back().seq;
    ASSERT_TRUE(engine::undo(context, seq, false).ok());

    ASSERT_EQ(command(cli::run_history, {"history"}), 0);
    auto lines = lines_of(out.str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(41, 10), "undo      ") << "the newest record comes first";
    EXPECT_TRUE(lines[1].starts_with("2    ")) << "numbered from the oldest: " << lines[1];
    EXPECT_FALSE(lines[1].ends_with("[undone]")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with("1    " + std::to_string(seq) + " ")) << lines[2];
    EXPECT_TRUE(lines[2].ends_with(
        "Spotify will no longer start with Windows (demonstration on\u2026  [undone]"))
        << lines[2];
}

TEST_F(InProcess, RightsMissingAtApplyTimeExitThreeWithTheCommandLinesAdvice) {
    const std::string spotify = "run|user|HKCU\\Run\\64|Spotify";
    ASSERT_TRUE(engine::apply(context, {request("disable", spotify)})[0].ok);
    std::uint64_t seq = engine::read_records(context.system()).back().seq;
    platform->toggle_failure = "ADMIN: Changing a system service needs administrator rights.";
    const std::string sentence =
        "Changing a system service needs administrator rights. Run it again with sudo.\n";

    EXPECT_EQ(command(cli::run_switch, {"enable", "Spotify", "--yes"}), 3);
    EXPECT_TRUE(err.str().ends_with(sentence)) << err.str();
    EXPECT_EQ(command(cli::run_undo, {"undo", std::to_string(seq), "--yes"}), 3);
    EXPECT_EQ(err.str(), sentence);
    EXPECT_EQ(err.str().find("Restart as administrator"), std::string::npos);

    // The window's answer to the same failure keeps its button's words.
    auto results = engine::apply(context, {request("enable", spotify)});
    EXPECT_TRUE(results[0].admin);
    EXPECT_EQ(results[0].message,
              "Changing a system service needs administrator rights. Use \"Restart as "
              "administrator\".");
    EXPECT_EQ(engine::read_records(context.system()).size(), 1u) << "nothing was recorded";
}

TEST_F(InProcess, RestoreAsksForAnUntickedChangeUnlessAllAreWanted) {
    auto saved =
        engine::save_backup(context.system(), engine::make_backup(context, "before"), false);
    ASSERT_TRUE(saved) << saved.error();
    // An entry this program creates after the backup: going back removes it,
    // but that change is not ticked by default.
    (void)engine::running_programs(context);
    engine::ChangeRequest firefox = request("create", "proc|firefox");
    firefox.create.name = "Mozilla Firefox";
    firefox.create.command = "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"";
    firefox.create.mode = "login";
    ASSERT_TRUE(engine::apply(context, {firefox})[0].ok);
    ASSERT_TRUE(has_item("Bootsmith-Mozilla Firefox"));

    const std::string removal =
        "remove   Bootsmith-Mozilla Firefox - Bootsmith created this entry "
        "after the backup was taken.";
    const std::string nothing_changed =
        "Nothing was changed. Add --apply to do the items marked DO (and --yes to accept the "
        "ones that need a decision).";
    struct Case {
        std::vector<std::string> args;
        std::string mark;
    };
    const Case cases[] = {{{"restore", saved->string()}, "[ask ] "},
                          {{"restore", saved->string(), "--all"}, "[DO  ] "}};
    for (const Case& c : cases) {
        EXPECT_EQ(command(cli::run_restore, c.args), 0) << c.mark;
        EXPECT_EQ(err.str(), "");
        auto lines = lines_of(out.str());
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[1],
                  "26 items already match; 0 items appeared since the backup and are left alone.");
        EXPECT_TRUE(lines[3].starts_with(c.mark + removal)) << lines[3];
        EXPECT_EQ(lines.back(), nothing_changed);
        EXPECT_TRUE(has_item("Bootsmith-Mozilla Firefox")) << "without --apply nothing changes";
    }
}

// In one process, because a demonstration run's folder goes with the run.
TEST_F(InProcess, BackupAndRestorePreview) {
    ASSERT_EQ(command(cli::run_backup, {"backup", "--label", "before"}), 0) << err.str();
    ASSERT_TRUE(out.str().starts_with("Saved 26 items to "));
    std::string path = out.str().substr(std::string("Saved 26 items to ").size());
    path.pop_back();
    EXPECT_NE(path.find("/backups/bootsmith-backup-"), std::string::npos);
    EXPECT_TRUE(path.ends_with("-demo-pc.json"));
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // Edit the backup so that it differs from the fresh demonstration.
    std::string text = read_file(path);
    std::string spotify = "\"name\":\"Spotify\",";
    std::size_t at = text.find("\"enabled\":true", text.find(spotify));
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "\"enabled\":false");
    write_file(path, text);

    EXPECT_EQ(command(cli::run_restore, {"restore", path}), 0) << err.str();
    auto lines = lines_of(out.str());
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0].substr(0, 13), "Backup taken ");
    EXPECT_TRUE(
        lines[0].ends_with(" on DEMO-PC (Windows 11 Pro 24H2 (demonstration data)), 26 "
                           "items; label: before"));
    EXPECT_EQ(lines[1],
              "25 items already match; 0 items appeared since the backup and are left alone.");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "[DO  ] state    Spotify - Now on; the backup had it off (Enabled).");
    EXPECT_EQ(lines[5],
              "Nothing was changed. Add --apply to do the items marked DO (and --yes to "
              "accept the ones that need a decision).");

    EXPECT_EQ(command(cli::run_restore, {"restore", path, "--apply"}), 0) << err.str();
    EXPECT_EQ(lines_of(out.str()).back(),
              "ok   Spotify: Spotify will no longer start with Windows (demonstration only).");
}

TEST_F(InProcess, DoctorWithOnlyWarningsSucceeds) {
    platform->probes = std::vector<platform::Probe>{
        {"Desktop entries", "Two were skipped.", "warn"}, {"Services", "All read.", "ok"}};
    EXPECT_EQ(command(cli::run_doctor, {"doctor"}), 0);
    auto lines = lines_of(out.str());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[WARN] Desktop entries                    Two were skipped.");
    // The closing line does not contradict the warning above it.
    EXPECT_NE(out.str().find("\nEverything Bootsmith reads on this computer is working, with 1 "
                             "warning above.\n"),
              std::string::npos)
        << out.str();
    // Warnings or not, the self-check ends with what changed since the last backup.
    EXPECT_EQ(lines.back(), "No backup yet.");

    platform->probes->pop_back();
    platform->probes->front().status = "ok";
    EXPECT_EQ(command(cli::run_doctor, {"doctor"}), 0);
    EXPECT_NE(out.str().find("\nEverything Bootsmith reads on this computer is working.\n"),
              std::string::npos)
        << out.str();

    platform->probes->push_back({"Cron", "crontab failed.", "fail"});
    EXPECT_EQ(command(cli::run_doctor, {"doctor"}), 1);
    EXPECT_NE(out.str().find("\n1 source(s) did not work."), std::string::npos) << out.str();
}

TEST_F(InProcess, DoctorEndsWithWhatChangedSinceTheLastBackup) {
    ASSERT_EQ(command(cli::run_backup, {"backup"}), 0) << err.str();
    ASSERT_EQ(command(cli::run_switch, {"disable", "Spotify", "--yes"}), 0) << err.str();
    ASSERT_EQ(command(cli::run_doctor, {"doctor"}), 0) << err.str();
    auto lines = lines_of(out.str());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 3], "");
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("Since your last backup (20"));
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(
        " UTC): 0 entries appeared, 0 were switched on, 1 were switched off, 0 disappeared."))
        << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "Switched off: Spotify.");
}

TEST_F(InProcess, AssessNamesTheOtherWaysAnEntryStartsThatAreOn) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        for (auto& item : items) {
            if (item.name == "Spotify") {
                item.also_started_by = {{"spotify.socket", "socket", true},
                                        {"spotify.timer", "timer", false},
                                        {"session.target", "wanted", true}};
            }
        }
    };
    ASSERT_EQ(command(cli::run_assess, {"assess", "Spotify"}), 0) << err.str();
    auto lines = lines_of(out.str());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2],
              "It can still start: spotify.socket (a socket that starts it when something "
              "connects).");
    EXPECT_EQ(lines.back(), "It can still start: session.target (another unit pulls it in).");
}

TEST_F(InProcess, DisableOfAnEntryThatWouldStillStartNeedsADecision) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        for (auto& item : items) {
            if (item.name == "Spotify") {
                item.also_started_by = {{"spotify.socket", "socket", true},
                                        {"spotify.timer", "timer", false}};
            }
        }
    };
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 4);
    EXPECT_NE(out.str().find("\nIt can still start: spotify.socket (a socket that starts it when "
                             "something connects).\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(err.str(),
              "It will still start through spotify.socket. Switch those off too with "
              "--with-triggers, or accept it with --yes.\n");
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spotify", "--yes"}), 0) << err.str();
}

TEST_F(InProcess, WhatSwitchesOffWithTheEntryDoesNotKeepItStarting) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        for (auto& item : items) {
            if (item.name == "Spotify") {
                item.also_started_by = {
                    {"spotify.socket", "socket", true, true}, {"org.spotify", "dbus", true},
                    {"Spotify helper", "autostart", true},    {"@reboot spotify", "cron", true},
                    {"spotify.service", "unit", true},        {"spotify.path", "path", true, true}};
            }
        }
    };
    ASSERT_EQ(command(cli::run_assess, {"assess", "Spotify"}), 0) << err.str();
    EXPECT_NE(
        out.str().find(
            "\nIt can still start: org.spotify (D-Bus starts it when a program asks for it).\n"
            "It can still start: Spotify helper (another autostart file runs the same "
            "program).\n"
            "It can still start: @reboot spotify (another @reboot line runs the same "
            "program).\n"
            "It can still start: spotify.service (a systemd unit starts it).\n"),
        std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("spotify.socket"), std::string::npos) << out.str();
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 4);
    EXPECT_EQ(err.str(),
              "It will still start through org.spotify, Spotify helper, @reboot spotify, "
              "spotify.service. Switch those off too with --with-triggers, or accept it with "
              "--yes.\n");
}

TEST_F(InProcess, DisableNeedsNoDecisionWhenItsTriggersGoWithIt) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        for (auto& item : items) {
            if (item.name == "Spotify") {
                item.also_started_by = {{"spotify.socket", "socket", true, true}};
            }
        }
    };
    EXPECT_EQ(command(cli::run_switch, {"disable", "Spotify"}), 0) << err.str();
    EXPECT_EQ(out.str().find("It can still start"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace bootsmith::testing
