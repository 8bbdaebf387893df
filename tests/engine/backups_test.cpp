#include <gmock/gmock.h>

#include <set>
#include <thread>

#include "change_fixture.hpp"
#include "engine/backups.hpp"
#include "engine/restore.hpp"
#include "engine/undo.hpp"
#include "support/result_matchers.hpp"

namespace bootsmith::engine {
namespace {

using testing::FailsWith;
using testing::IsOk;

class Backups : public ChangeTest {};

TEST(BackupNames, HostPartAndNameRule) {
    EXPECT_EQ(host_part("My PC_1"), "mypc1");
    EXPECT_EQ(host_part(""), "computer");
    EXPECT_EQ(host_part("ÜÖ"), "computer");
    EXPECT_EQ(host_part("DEMO-PC"), "demo-pc");
    for (const char* bad :
         {"../x.json", "a/b.json", "notes.txt", "", "c:x.json", "a\\b.json", "x..json"}) {
        EXPECT_FALSE(is_backup_name(bad)) << bad;
    }
    EXPECT_TRUE(is_backup_name("bootsmith-backup-20261208T044659-demo-pc.json"));
}

TEST_F(Backups, DocumentHoldsEveryItemWithItsBackupAttributes) {
    json::JsonValue doc = make_backup(*engine, "Manual backup");
    EXPECT_EQ(doc.get_str("format"), "bootsmith-backup");
    EXPECT_EQ(*doc.get("format_version")->as_number(), 1.0);
    EXPECT_EQ(doc.get_str("host"), "DEMO-PC");
    EXPECT_EQ(*doc.get("count")->as_number(), 26.0);
    const json::JsonArray& items = *doc.get("items")->as_array();
    ASSERT_EQ(items.size(), 26u);
    std::vector<std::string> keys;
    for (const auto& member : *items[0].as_object())
        keys.push_back(member.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "name", "kind", "kind_label", "scope",
                                              "location", "enabled", "state_text", "running", "exe",
                                              "publisher", "managed", "extra"}));
    EXPECT_EQ(json::to_text(*items[0].get("extra")), "{\"label\":\"Remote Procedure Call (RPC)\"}");
}

TEST_F(Backups, TwoManualBackupsInOneSecondGetDistinctNames) {
    json::JsonValue doc = make_backup(*engine, "Manual backup");
    auto first = save_backup(engine->system(), doc, false);
    auto second = save_backup(engine->system(), doc, false);
    ASSERT_THAT(first, IsOk());
    ASSERT_THAT(second, IsOk());
    std::string a = first->filename().string();
    std::string b = second->filename().string();
    EXPECT_TRUE(a.starts_with("bootsmith-backup-"));
    if (a.substr(0, 32) == b.substr(0, 32)) {  // the same second
        EXPECT_EQ(b, a.substr(0, a.size() - 5) + "-2.json");
    }
    EXPECT_NE(a, b);
    auto perms = std::filesystem::status(*first).permissions() & std::filesystem::perms::all;
    EXPECT_EQ(perms, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(Backups, BackupsSavedAtTheSameTimeNeverReplaceEachOther) {
    json::JsonValue doc = make_backup(*engine, "Manual backup");
    constexpr int writers = 8;
    std::vector<Result<std::filesystem::path>> saved(writers, fail("not run"));
    std::vector<std::thread> threads;
    for (int i = 0; i < writers; ++i) {
        threads.emplace_back([&, i] { saved[i] = save_backup(engine->system(), doc, false); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<std::string> names;
    for (const auto& path : saved) {
        ASSERT_THAT(path, IsOk());
        names.insert(path->filename().string());
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(writers));
    EXPECT_EQ(list_backups(engine->system()).size(), static_cast<std::size_t>(writers));
}

TEST_F(Backups, OnlyTheThirtyNewestAutomaticBackupsAreKept) {
    std::filesystem::path folder = data() / "backups" / "auto";
    testing::write_file(data() / "backups" / "bootsmith-backup-19990101T000000-x.json", "{}");
    // Thirty kept backups from before now, and thirty from after it (a clock
    // set back): either way the oldest goes and the one just saved stays.
    for (const char* year : {"2001", "2999"}) {
        std::filesystem::remove_all(folder);
        for (int i = 0; i < 30; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "auto-bootsmith-backup-%s010%02dT000000-x.json", year,
                          i);
            testing::write_file(folder / name, "{}");
        }
        auto saved = save_backup(engine->system(), make_backup(*engine, "a"), true);
        ASSERT_THAT(saved, IsOk()) << year;
        EXPECT_TRUE(std::filesystem::exists(*saved)) << year;
        EXPECT_EQ(files_in(folder), 30u) << year;
        EXPECT_FALSE(std::filesystem::exists(
            folder / ("auto-bootsmith-backup-" + std::string(year) + "01000T000000-x.json")))
            << year;
    }
    EXPECT_TRUE(
        std::filesystem::exists(data() / "backups" / "bootsmith-backup-19990101T000000-x.json"))
        << "manual backups are never deleted automatically";
}

TEST_F(Backups, ListingReadingAndDeleting) {
    auto manual = save_backup(engine->system(), make_backup(*engine, "mine"), false);
    ASSERT_THAT(manual, IsOk());
    testing::write_file(data() / "backups" / "auto" / "z.json",
                        "{\"format\":\"bootsmith-backup\",\"created\":\"1999-01-01 00:00:00\","
                        "\"label\":\"old\",\"count\":\"many\",\"items\":[]}");
    testing::write_file(data() / "backups" / "foreign.json", "{\"format\":\"other\"}");
    testing::write_file(data() / "backups" / "broken.json", "{");
    testing::write_file(data() / "backups" / "notes.txt", "x");
    auto list = list_backups(engine->system());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].label, "mine");
    EXPECT_EQ(list[0].count, 26u);
    EXPECT_FALSE(list[0].automatic);
    EXPECT_EQ(list[1].name, "z.json");
    EXPECT_EQ(list[1].count, 0u);
    EXPECT_TRUE(list[1].automatic);

    EXPECT_THAT(read_backup(engine->system(), "z.json"), IsOk());
    EXPECT_THAT(read_backup(engine->system(), "../z.json"),
                FailsWith("That is not a backup file name."));
    EXPECT_THAT(read_backup(engine->system(), "foreign.json"),
                FailsWith("That backup was not found."));
    EXPECT_THAT(delete_backup(engine->system(), "a/z.json"),
                FailsWith("That is not a backup file name."));
    EXPECT_THAT(delete_backup(engine->system(), "z.json"), IsOk());
    EXPECT_THAT(delete_backup(engine->system(), "z.json"), FailsWith("That backup was not found."));
    EXPECT_TRUE(std::filesystem::exists(data() / "backups" / "foreign.json"));
}

TEST(ParseBackup, RejectsWhatIsNotABackup) {
    EXPECT_THAT(parse_backup("{"),
                FailsWith("That file is not a Bootsmith backup (expected a key at byte 1)."));
    EXPECT_THAT(parse_backup("[]"), FailsWith("That file is not a Bootsmith backup."));
    EXPECT_THAT(parse_backup("{\"format\":1}"), FailsWith("That file is not a Bootsmith backup."));
    EXPECT_THAT(parse_backup("{\"format\":\"bootsmith-backup\",\"items\":{}}"),
                FailsWith("That backup has no items."));
    EXPECT_THAT(parse_backup("{\"format\":\"bootsmith-backup\",\"items\":[]}"), IsOk());
}

class Restore : public ChangeTest {};

TEST_F(Restore, FourKindsOfChangeAndTheCounts) {
    (void)running_programs(*engine);
    ASSERT_TRUE(apply(*engine, {creation("proc|code", "Code", "code.exe")})[0].ok);
    json::JsonValue doc = make_backup(*engine, "before");
    ASSERT_TRUE(apply(*engine, {request("disable", "run|user|HKCU\\Run\\64|Spotify")})[0].ok);
    ASSERT_TRUE(
        apply(*engine, {request("remove", "run|user|HKCU\\Run\\64|Bootsmith-Code", true)})[0].ok);
    ASSERT_TRUE(apply(*engine, {creation("proc|code", "Later", "code.exe")})[0].ok);

    // A backup item that this computer no longer has, and one with wrong types.
    json::JsonObject& members = *doc.as_object();
    for (auto& member : members) {
        if (member.key == "items") {
            member.value.push_back(json::JsonValue::object()
                                       .with_str("id", "run|user|HKCU\\Run\\64|Gone")
                                       .with_str("name", "Gone")
                                       .with_bool("enabled", true));
            member.value.push_back(json::JsonValue::object().with("id", 7).with("enabled", "yes"));
        }
    }

    RestorePlan plan = restore_plan(*engine, doc);
    ASSERT_EQ(plan.changes.size(), 5u);
    EXPECT_EQ(plan.changes[0].what, "state");
    EXPECT_EQ(plan.changes[0].name, "Spotify");
    EXPECT_EQ(plan.changes[0].note, "Now off; the backup had it on (Enabled).");
    EXPECT_EQ(plan.changes[0].request->action, "enable");
    EXPECT_TRUE(plan.changes[0].selected);
    EXPECT_EQ(plan.changes[1].what, "recreate");
    EXPECT_EQ(plan.changes[1].request->id, "restore|run|user|HKCU\\Run\\64|Bootsmith-Code");
    EXPECT_EQ(plan.changes[1].request->create.command, "code.exe");
    EXPECT_EQ(plan.changes[1].note,
              "Bootsmith created this entry before; it no longer exists. It "
              "can be created again (login).");
    EXPECT_EQ(plan.changes[2].what, "missing");
    EXPECT_FALSE(plan.changes[2].request);
    EXPECT_FALSE(plan.changes[2].selected);
    EXPECT_EQ(plan.changes[3].what, "missing");
    EXPECT_EQ(plan.changes[4].what, "remove");
    EXPECT_EQ(plan.changes[4].name, "Bootsmith-Later");
    EXPECT_FALSE(plan.changes[4].selected);
    EXPECT_EQ(plan.same, 25u);
    EXPECT_EQ(plan.appeared, 0u);
    EXPECT_FALSE(plan.wrong_machine);
    EXPECT_EQ(*plan.header.get("count")->as_number(), 29.0);
}

TEST_F(Restore, AppearedItemsAndOtherComputers) {
    json::JsonValue doc = json::JsonValue::object()
                              .with_str("format", "bootsmith-backup")
                              .with_str("host", "other-pc")
                              .with_str("os", "windows")
                              .with("items", json::JsonValue::array());
    RestorePlan plan = restore_plan(*engine, doc);
    EXPECT_EQ(plan.appeared, 26u);
    EXPECT_TRUE(plan.changes.empty());
    EXPECT_TRUE(plan.wrong_machine);
    json::JsonValue same_host = json::JsonValue::object().with_str("host", "demo-pc");
    EXPECT_FALSE(restore_plan(*engine, same_host).wrong_machine) << "ASCII case is ignored";
    json::JsonValue other_os = json::JsonValue::object().with_str("os", "linux");
    EXPECT_TRUE(restore_plan(*engine, other_os).wrong_machine);
}

TEST_F(Restore, LockedItemsAreNeitherChangedNorCounted) {
    json::JsonValue doc = make_backup(*engine, "x");
    ASSERT_TRUE(apply(*engine, {request("disable", "run|user|HKCU\\Run\\64|Spotify")})[0].ok);
    platform->after_scan = [](std::vector<model::Item>& items) {
        named(items, "Spotify").toggle = "locked";
    };
    RestorePlan plan = restore_plan(*engine, doc);
    EXPECT_TRUE(plan.changes.empty());
    EXPECT_EQ(plan.same, 25u);
}

TEST_F(Restore, ARecreationShowsItsCommandAndRunsAsTheActingAccount) {
    // A hand-edited backup asks for a service that runs a shell as root.
    const std::string command = "/bin/sh -c 'id > /tmp/owned'";
    json::JsonValue forged = json::JsonValue::object()
                                 .with_str("name", "Helper")
                                 .with_str("command", command)
                                 .with_str("mode", "boot")
                                 .with_str("user", "root");
    json::JsonValue items = json::JsonValue::array();
    items.push_back(json::JsonValue::object()
                        .with_str("id", "gone|1")
                        .with_str("name", "Helper")
                        .with_bool("managed", true)
                        .with("spec", forged));
    json::JsonValue doc = json::JsonValue::object()
                              .with_str("format", "bootsmith-backup")
                              .with("items", std::move(items));
    const std::string acting = engine->system().user;
    ASSERT_NE(acting, "root");
    RestorePlan plan = restore_plan(*engine, doc);
    ASSERT_EQ(plan.changes.size(), 1u);
    const RestoreChange& change = plan.changes[0];
    EXPECT_EQ(change.command, command);
    EXPECT_EQ(change.mode, "boot");
    EXPECT_EQ(change.runs_as, acting);
    EXPECT_THAT(change.warning, ::testing::HasSubstr("Read the command carefully"));
    ASSERT_TRUE(change.request);
    EXPECT_EQ(change.request->create.user, acting);

    ChangeRequest accepted = *change.request;
    accepted.ack = true;
    auto results = apply(*engine, {accepted});
    ASSERT_TRUE(results[0].ok) << results[0].message;
    model::CreateRequest made = model::from_stored(history_list(engine->system())[0].record.spec);
    EXPECT_EQ(made.user, acting);
    EXPECT_EQ(made.command, command);
}

TEST_F(Restore, TheWholeRoadInOneProcess) {
    // Scan, plan, apply, history, undo, backup and restore --apply, as the window would.
    EXPECT_EQ(items(*engine).size(), 26u);
    auto saved = save_backup(engine->system(), make_backup(*engine, "start"), false);
    ASSERT_THAT(saved, IsOk());
    (void)running_programs(*engine);
    auto results = apply(*engine, {request("disable", "run|user|HKCU\\Run\\64|Discord"),
                                   creation("proc|firefox", "Firefox", "firefox.exe"),
                                   request("disable", "service|machine|Services|Spooler", true)});
    for (const auto& r : results)
        ASSERT_TRUE(r.ok) << r.message;
    auto history = history_list(engine->system());
    ASSERT_EQ(history.size(), 3u);
    ASSERT_TRUE(undo(*engine, history[0].record.seq, true).ok());  // Spooler back on
    EXPECT_TRUE(item_named("Spooler").enabled);

    auto text = read_backup(engine->system(), saved->filename().string());
    ASSERT_THAT(text, IsOk());
    auto doc = parse_backup(*text);
    ASSERT_THAT(doc, IsOk());
    RestorePlan plan = restore_plan(*engine, *doc);
    std::vector<ChangeRequest> batch;
    for (const auto& change : plan.changes) {
        if (change.request) {
            ChangeRequest r = *change.request;
            r.ack = true;
            batch.push_back(r);
        }
    }
    ASSERT_EQ(batch.size(), 2u);  // Discord back on, Firefox entry removed
    for (const auto& r : engine::apply(*engine, batch))
        EXPECT_TRUE(r.ok) << r.message;
    RestorePlan after = restore_plan(*engine, *doc);
    EXPECT_TRUE(after.changes.empty());
    EXPECT_EQ(after.same, 26u);
    EXPECT_EQ(history_list(engine->system()).size(), 6u);
}

}  // namespace
}  // namespace bootsmith::engine
