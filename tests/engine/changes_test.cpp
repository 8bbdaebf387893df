#include <algorithm>
#include <thread>

#include "change_fixture.hpp"
#include "engine/decision.hpp"
#include "engine/undo.hpp"

namespace bootsmith::engine {
namespace {

const char* const spotify = "run|user|HKCU\\Run\\64|Spotify";
const char* const spooler = "service|machine|Services|Spooler";

class Planning : public ChangeTest {};

TEST_F(Planning, CreationProblemsAreAllListedInOrder) {
    Plan p = plan(*engine, creation("", "  ", "a\nb"));
    EXPECT_EQ(p.problems,
              (std::vector<std::string>{
                  "A name is required.",
                  "The command contains a line break or an invisible control character, which is "
                  "not allowed."}));
    std::vector<ChangeResult> results = apply(*engine, {creation("", "", "a\nb")});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].message,
              "Refused: A name is required. The command contains a line break or an invisible "
              "control character, which is not allowed.");
}

TEST_F(Planning, ForbiddenCharacters) {
    struct Case {
        std::string text;
        bool allowed;
    };
    const Case cases[] = {
        {"tool\t--x", true},          {"tool \xE2\x80\xAE", false},  // U+202E
        {"tool \xE2\x80\x8E", false}, {"tool \xE2\x81\xA6", false},  // U+200E, U+2066
        {"tool \x7f", false},         {"tool é ü", true},
        {"tool \xE2\x80\x8B", true},  // U+200B is not among them
    };
    for (const Case& c : cases) {
        ChangeRequest r = creation("", "Tool", c.text);
        r.create.workdir = c.text;
        Plan p = plan(*engine, r);
        bool flagged = false;
        for (const auto& problem : p.problems) {
            flagged = flagged || problem.starts_with("The command contains") ||
                      problem.starts_with("The working folder contains");
        }
        EXPECT_EQ(flagged, !c.allowed) << c.text;
    }
}

TEST_F(Planning, CreationMethodAndReach) {
    (void)running_programs(*engine);
    Plan listed = plan(*engine, creation("proc|firefox", "Firefox", "firefox.exe", "login"));
    EXPECT_TRUE(listed.problems.empty());
    EXPECT_EQ(listed.risk.level, model::Level::safe);
    EXPECT_EQ(listed.risk.reasons.front(), "Method: Start when I sign in.");
    EXPECT_EQ(listed.risk.reasons[1], "Published by Mozilla Corporation.");

    Plan boot = plan(*engine, creation("proc|firefox", "Firefox", "firefox.exe", "boot"));
    EXPECT_EQ(boot.risk.level, model::Level::caution);
    EXPECT_FALSE(boot.admin_needed) << "the demonstration runs as administrator";

    Plan unlisted = plan(*engine, creation("", "X", "C:\\tmp\\x.exe", "cron"));
    EXPECT_EQ(unlisted.problems,
              std::vector<std::string>{"\"cron\" is not a way a program can be started on this "
                                       "computer."});
    // A cron @reboot line starts with the computer, whether anyone signs in or not.
    EXPECT_EQ(unlisted.risk.effect,
              "\"X\" will start automatically when the computer starts. It can be switched off "
              "or removed later from this program, and the change is undoable from History.");
    Plan empty_mode = plan(*engine, creation("", "X", "x.exe", ""));
    EXPECT_EQ(empty_mode.problems, std::vector<std::string>{"A method is required."});
    Plan from_backup = plan(*engine, creation("restore|x", "X", "x.exe", "login"));
    EXPECT_EQ(from_backup.risk.level, model::Level::caution);
    ASSERT_TRUE(from_backup.spec);
    EXPECT_EQ(from_backup.spec->command, "x.exe");
}

TEST_F(Planning, CreateForACandidateWithAnEntryBecomesEnable) {
    (void)running_programs(*engine);
    Plan p =
        plan(*engine, creation("svc|wuauserv", "Windows Update", "svchost.exe", "service-auto"));
    EXPECT_EQ(p.action, "enable");
    EXPECT_EQ(p.id, "service|machine|Services|wuauserv");
    EXPECT_EQ(p.name, "wuauserv");
}

TEST_F(Planning, ProgramFilesAreOnlyLookedForOnARealComputer) {
    // The demonstration's Windows paths exist nowhere on this computer.
    const std::string steam = "run|user|HKCU\\Run\\64|Steam";
    const std::string missing_reason = "The file named in the command does not exist.";
    const std::string missing_problem = "The program file does not exist: C:\\Tools\\tool.exe";
    for (bool demo : {true, false}) {
        platform::SystemInfo system = TestPlatform().system_info();
        system.demo = demo;
        make_engine(system);
        Plan enable = plan(*engine, request("enable", steam));
        const auto& reasons = enable.risk.reasons;
        bool missing = std::find(reasons.begin(), reasons.end(), missing_reason) != reasons.end();
        EXPECT_EQ(missing, !demo) << "demo=" << demo;
        EXPECT_EQ(enable.risk.level, demo ? model::Level::safe : model::Level::caution)
            << "demo=" << demo;
        EXPECT_EQ(enable.risk.effect.starts_with("Its program file is missing ("), !demo)
            << enable.risk.effect;

        Plan create = plan(*engine, creation("", "Tool", "C:\\Tools\\tool.exe"));
        EXPECT_EQ(create.problems,
                  demo ? std::vector<std::string>{} : std::vector<std::string>{missing_problem})
            << "demo=" << demo;
    }
}

TEST_F(Planning, TheDemonstrationStillWarnsAboutWhereAProgramSitsAndWhoMadeIt) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        for (auto& item : items) {
            if (item.name == "Steam") {
                item.exe = "C:\\Users\\demouser\\Downloads\\steam.exe";
                item.publisher.clear();
            }
        }
    };
    Plan enable = plan(*engine, request("enable", "run|user|HKCU\\Run\\64|Steam"));
    EXPECT_EQ(enable.risk.level, model::Level::caution);
    EXPECT_EQ(enable.risk.reasons,
              (std::vector<std::string>{
                  "Its program sits in a temporary or Downloads folder, which is where unwanted "
                  "software often hides.",
                  "No publisher is recorded for its program file; make sure you recognise it."}));
}

TEST_F(Planning, LockedItemsAndTheirNotes) {
    platform->after_scan = [](std::vector<model::Item>& items) {
        named(items, "Spotify").toggle = "locked";
        named(items, "Discord").toggle = "locked";
        named(items, "Discord").toggle_note = "Set by a policy.";
    };
    EXPECT_EQ(plan(*engine, request("disable", spotify)).problems,
              std::vector<std::string>{"This item cannot be switched here."});
    EXPECT_EQ(plan(*engine, request("disable", "run|user|HKCU\\Run\\64|Discord")).problems,
              std::vector<std::string>{"Set by a policy."});
}

TEST_F(Planning, UnknownActionAndMissingItem) {
    Plan unknown = plan(*engine, request("frob", spotify));
    EXPECT_EQ(unknown.problems, std::vector<std::string>{"Unknown action \"frob\"."});
    EXPECT_TRUE(unknown.risk.blocked());
    Plan missing = plan(*engine, request("disable", "run|user|x|gone"));
    EXPECT_EQ(missing.problems,
              std::vector<std::string>{
                  "The item was not found; it may have been removed since the last scan."});
    EXPECT_EQ(missing.risk.effect, "This item no longer exists. Scan again.");
}

TEST_F(Planning, AdminNeededWithoutRights) {
    platform::SystemInfo ordinary = TestPlatform().system_info();
    ordinary.admin = false;
    make_engine(ordinary);
    platform->after_scan = [](std::vector<model::Item>& items) {
        named(items, "Spooler").toggle = "admin";
    };
    Plan p = plan(*engine, request("disable", spooler, true));
    EXPECT_TRUE(p.admin_needed);
    auto results = apply(*engine, {request("disable", spooler, true)});
    EXPECT_TRUE(results[0].admin);
    EXPECT_EQ(results[0].message,
              "This change needs administrator rights. Use \"Restart as administrator\".");
    EXPECT_EQ(platform->toggles, 0);
}

class Applying : public ChangeTest {};

TEST_F(Applying, AllRefusedStillSavesTheOneAutomaticBackupAndNoHistory) {
    auto results = apply(*engine, {request("disable", "service|machine|Services|RpcSs", true),
                                   request("disable", spooler, false)});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].message.starts_with("Refused: "));
    EXPECT_EQ(results[1].message, "Not applied: this change needs your confirmation first.");
    EXPECT_EQ(platform->toggles, 0);
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u);
    EXPECT_FALSE(std::filesystem::exists(data() / "journal.jsonl"));
    (void)apply(*engine, {request("disable", spotify)});
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u) << "once per run";
}

TEST_F(Applying, SuccessIsRecordedAndTheCacheEmptied) {
    (void)items(*engine);
    auto results = apply(*engine, {request("disable", spotify)});
    ASSERT_TRUE(results[0].ok);
    EXPECT_EQ(results[0].message,
              "Spotify will no longer start with Windows (demonstration only).");
    EXPECT_TRUE(engine->cached_items().empty());
    auto records = read_records(engine->system());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].action, "disable");
    EXPECT_EQ(records[0].id, spotify);
    EXPECT_EQ(records[0].detail, results[0].message);
    EXPECT_TRUE(records[0].ok);
}

TEST_F(Applying, PlatformFailuresAreNotRecorded) {
    platform->toggle_failure = "ADMIN: Changing a system service needs administrator rights.";
    auto results = apply(*engine, {request("disable", spotify)});
    EXPECT_FALSE(results[0].ok);
    EXPECT_TRUE(results[0].admin);
    EXPECT_EQ(results[0].message,
              "Changing a system service needs administrator rights. Use \"Restart as "
              "administrator\".");
    EXPECT_EQ(results[0].reason, "Changing a system service needs administrator rights.")
        << "the command line words its own advice";
    platform->toggle_failure = "systemctl could not change x.service: boom";
    results = apply(*engine, {request("disable", spotify)});
    EXPECT_FALSE(results[0].admin);
    EXPECT_EQ(results[0].message, "systemctl could not change x.service: boom");
    EXPECT_TRUE(read_records(engine->system()).empty());
}

TEST_F(Applying, HintsReachThePlatformAsWantAttributes) {
    ChangeRequest r = request("disable", spotify);
    r.hints = {{"start", "demand"}, {"delayed", "1"}};
    (void)apply(*engine, {r});
    ASSERT_TRUE(platform->last_toggled);
    EXPECT_EQ(platform->last_toggled->extra.get("want_start"), "demand");
    EXPECT_EQ(platform->last_toggled->extra.get("want_delayed"), "1");
}

TEST_F(Applying, FailingBackupFolderNotesTheFirstResultAndRetriesLater) {
    testing::write_file(data() / "backups", "a file where the folder belongs");
    auto results = apply(*engine, {request("disable", spotify),
                                   request("disable", "run|user|HKCU\\Run\\64|Discord")});
    ASSERT_TRUE(results[0].ok);
    EXPECT_NE(results[0].message.find(" (No automatic backup could be saved first: cannot create "),
              std::string::npos)
        << results[0].message;
    EXPECT_EQ(results[1].message.find("No automatic backup"), std::string::npos);
    EXPECT_FALSE(engine->auto_backup_taken());
    std::filesystem::remove(data() / "backups");
    (void)apply(*engine, {request("enable", spotify)});
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u);
    EXPECT_TRUE(engine->auto_backup_taken());
}

TEST_F(Applying, RacingBatchesMakeOneAutomaticBackup) {
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([this] { (void)apply(*engine, {request("disable", spooler)}); });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u);
    // No batch changed anything before the backup was saved.
    for (const auto& file : std::filesystem::directory_iterator(data() / "backups" / "auto")) {
        auto document = json::parse(testing::read_file(file.path()));
        ASSERT_TRUE(document);
        const json::JsonArray* items = document->get("items")->as_array();
        ASSERT_NE(items, nullptr);
        auto saved = std::find_if(items->begin(), items->end(), [](const json::JsonValue& item) {
            return item.get_str("id") == spooler;
        });
        ASSERT_NE(saved, items->end());
        EXPECT_TRUE(saved->get_bool("enabled"));
    }
}

TEST_F(Applying, CreationCompletesTheRequestAndRecordsItsSpec) {
    (void)running_programs(*engine);
    ChangeRequest r =
        creation("proc|node", "Dev server", "\"C:\\Program Files\\nodejs\\node.exe\" server.js");
    auto results = apply(*engine, {r});
    ASSERT_TRUE(results[0].ok) << results[0].message;
    EXPECT_EQ(results[0].message, "Created: Bootsmith-Dev server (Registry (Run, this user)).");
    EXPECT_EQ(results[0].id, "run|user|HKCU\\Run\\64|Bootsmith-Dev server");
    auto records = read_records(engine->system());
    ASSERT_EQ(records.size(), 1u);
    model::CreateRequest spec = model::from_stored(records[0].spec);
    EXPECT_EQ(spec.exe, "C:\\Program Files\\nodejs\\node.exe");
    EXPECT_EQ(spec.user, "demouser");
    EXPECT_EQ(spec.mode, "login");
    // The history now vouches for the entry, so it is shown as this program's own.
    model::Item created = item_named("Bootsmith-Dev server");
    EXPECT_TRUE(created.managed);
    EXPECT_EQ(created.risk.level, model::Level::safe);
}

TEST_F(Applying, RemoveRefusesForeignEntries) {
    auto results = apply(*engine, {request("remove", spotify, true)});
    EXPECT_EQ(results[0].message,
              "Refused: Only startup entries created by Bootsmith can be removed. Use Disable "
              "for others.");
}

}  // namespace
}  // namespace bootsmith::engine

namespace bootsmith::engine {
namespace {

const char* const acme_sync = "service|machine|Services|AcmeSync";
const char* const updater = "service|machine|Services|gupdate";
const char* const updater_task =
    "task|machine|\\GoogleUpdateTaskMachineCore|GoogleUpdateTaskMachineCore";

// Acme Sync, a low-level service, started also by the ways of a case; SysMain
// is locked for these tests.
class OtherStarts : public ChangeTest {
  protected:
    void start_acme_sync_through(std::vector<model::StartPath> paths) {
        platform->after_scan = [paths](std::vector<model::Item>& items) {
            for (auto& item : items) {
                if (item.name == "AcmeSync") {
                    item.also_started_by = paths;
                }
                if (item.name == "SysMain") {
                    item.toggle = "locked";
                    item.toggle_note = "SysMain is held by a policy.";
                }
            }
        };
    }
    static ChangeRequest switch_off(const char* id, engine::OtherStarts others, bool ack = false) {
        ChangeRequest r = request("disable", id, ack);
        r.other_starts = others;
        return r;
    }
};

TEST_F(OtherStarts, PlansOfASwitchOffWithWhatStartsIt) {
    using O = engine::OtherStarts;
    struct Case {
        const char* what;
        std::vector<model::StartPath> paths;
        O others;
        std::vector<std::string> triggers;  ///< planned with it
        std::vector<std::string> stays;     ///< still_started_by
        std::size_t notes;
        const char* problem;  ///< the start of its only problem, or empty
        bool waits;
    };
    const Case cases[] = {
        {"asked: the task is named and could go too",
         {{"GoogleUpdateTaskMachineCore", "timer", true}},
         O::ask,
         {},
         {"GoogleUpdateTaskMachineCore"},
         0,
         "",
         true},
        {"with triggers: the task goes too and nothing stays",
         {{"GoogleUpdateTaskMachineCore", "timer", true}},
         O::switch_off,
         {"GoogleUpdateTaskMachineCore"},
         {},
         0,
         "",
         false},
        {"a way that is off is no way",
         {{"GoogleUpdateTaskMachineCore", "timer", false}},
         O::switch_off,
         {},
         {},
         0,
         "",
         false},
        {"a restore asks nothing",
         {{"GoogleUpdateTaskMachineCore", "timer", true}},
         O::leave,
         {},
         {},
         0,
         "",
         false},
        {"D-Bus cannot be switched off, and says so",
         {{"org.acme.Sync", "dbus", true}, {"GoogleUpdateTaskMachineCore", "timer", true}},
         O::switch_off,
         {"GoogleUpdateTaskMachineCore"},
         {"org.acme.Sync"},
         1,
         "",
         true},
        {"a way that is not listed stays",
         {{"acme-sync.socket", "socket", true}},
         O::switch_off,
         {},
         {"acme-sync.socket"},
         1,
         "",
         true},
        {"a critical trigger blocks, by name",
         {{"RpcSs", "unit", true}},
         O::switch_off,
         {"RpcSs"},
         {},
         0,
         "RpcSs starts it and is judged critical, so Bootsmith will not switch it off.",
         false},
        {"a locked trigger blocks with its note",
         {{"SysMain", "wanted", true}},
         O::switch_off,
         {"SysMain"},
         {},
         0,
         "SysMain starts it but cannot be switched off: SysMain is held by a policy.",
         false},
    };
    for (const auto& c : cases) {
        start_acme_sync_through(c.paths);
        engine->clear_items();
        Plan planned = plan(*engine, switch_off(acme_sync, c.others));
        std::vector<std::string> triggers;
        for (const auto& trigger : planned.triggers) {
            triggers.push_back(trigger.name);
        }
        std::vector<std::string> stays;
        for (const auto& path : planned.still_started_by) {
            stays.push_back(path.name);
        }
        EXPECT_EQ(triggers, c.triggers) << c.what;
        EXPECT_EQ(stays, c.stays) << c.what;
        EXPECT_EQ(planned.trigger_notes.size(), c.notes) << c.what;
        if (*c.problem != '\0') {
            EXPECT_EQ(planned.problems, std::vector<std::string>{c.problem}) << c.what;
        } else {
            EXPECT_FALSE(planned.blocked()) << c.what << ": " << refusal_reason(planned);
            EXPECT_EQ(waits_for_acceptance(planned), c.waits) << c.what;
        }
    }
}

TEST_F(OtherStarts, OneBatchSwitchesBothOffAndEachIsUndoneAlone) {
    auto results = apply(*engine, {switch_off(updater, engine::OtherStarts::switch_off)});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].ok && results[1].ok) << results[0].message << results[1].message;
    EXPECT_EQ(results[0].id, updater);
    EXPECT_EQ(results[1].id, updater_task);
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u);
    auto records = read_records(engine->system());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].id, updater_task);

    ASSERT_TRUE(undo(*engine, records[1].seq, false).ok());
    EXPECT_TRUE(item_named("GoogleUpdateTaskMachineCore").enabled);
    EXPECT_FALSE(item_named("gupdate").enabled) << "undoing the trigger leaves the entry off";
    EXPECT_EQ(files_in(data() / "backups" / "auto"), 1u);
}

TEST_F(OtherStarts, WithoutTriggersTheSwitchOffWaitsForAcceptance) {
    auto waiting = apply(*engine, {request("disable", updater)});
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting[0].message,
              "Not applied: it would still start through GoogleUpdateTaskMachineCore. Accept "
              "that, or switch those off too.");
    EXPECT_EQ(platform->toggles, 0);
    auto accepted = apply(*engine, {request("disable", updater, true)});
    ASSERT_EQ(accepted.size(), 1u) << "the task is left on";
    EXPECT_TRUE(accepted[0].ok);
    EXPECT_TRUE(item_named("GoogleUpdateTaskMachineCore").enabled);
}

TEST_F(OtherStarts, AnEntryOffAlreadyStillHasItsTriggersSwitchedOff) {
    ASSERT_TRUE(apply(*engine, {request("disable", updater, true)})[0].ok);
    Plan planned = plan(*engine, switch_off(updater, engine::OtherStarts::switch_off));
    EXPECT_EQ(decide(planned, false).verdict, Verdict::go);
    auto results = apply(*engine, {switch_off(updater, engine::OtherStarts::switch_off)});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].message, "It is already switched off.");
    EXPECT_TRUE(results[1].ok);
    EXPECT_EQ(read_records(engine->system()).size(), 2u) << "the first switch-off and the task";
    EXPECT_EQ(decide(plan(*engine, request("disable", updater)), false).verdict,
              Verdict::nothing_to_do);
}

}  // namespace
}  // namespace bootsmith::engine
