// Every endpoint of the window's API against the demonstration, and the whole
// road of a change: scan, plan, apply, history, undo, backups, restore.
#include <gtest/gtest.h>

#include "foundation/json.hpp"
#include "server/api_json.hpp"
#include "server/window_fixture.hpp"

namespace bootsmith::testing {
namespace {

using json::JsonValue;

JsonValue parsed(const HttpAnswer& answer) {
    return json::parse(answer.body).value_or(JsonValue());
}

std::vector<std::string> keys(const JsonValue& object) {
    std::vector<std::string> names;
    if (const json::JsonObject* members = object.as_object()) {
        for (const auto& m : *members) {
            names.push_back(m.key);
        }
    }
    return names;
}

const json::JsonArray& array(const JsonValue& object, std::string_view key) {
    static const json::JsonArray none;
    const JsonValue* value = object.get(key);
    return value != nullptr && value->as_array() != nullptr ? *value->as_array() : none;
}

using Api = Window;

TEST_F(Api, StateShowsTheDemonstrationWithItsMembersInOrder) {
    JsonValue state = parsed(get("/api/state"));
    EXPECT_EQ(keys(state), (std::vector<std::string>{"ok", "version", "developer", "company",
                                                     "copyright", "os", "os_version", "host",
                                                     "user", "home", "admin", "demo", "journal"}));
    EXPECT_TRUE(state.get_bool("demo"));
    EXPECT_TRUE(state.get_bool("admin"));
    EXPECT_EQ(state.get_str("os"), "windows");
}

TEST_F(Api, ScanChoosesByTheExactWord) {
    struct Case {
        std::string body;
        std::string_view marker;  ///< a member only that kind of object has
    };
    for (const Case& c : std::vector<Case>{{R"({"what":"Running"})", "kind"},
                                           {"{}", "kind"},
                                           {R"({"what":"running"})", "source"},
                                           {R"({"what":"apps"})", "source"}}) {
        JsonValue scan = parsed(post("/api/scan", c.body));
        EXPECT_EQ(keys(scan), (std::vector<std::string>{"ok", "items", "notes"})) << c.body;
        ASSERT_FALSE(array(scan, "items").empty()) << c.body;
        EXPECT_NE(array(scan, "items").front().get(c.marker), nullptr) << c.body;
    }
}

TEST_F(Api, AnswersTheSmallEndpointsInTheirForms) {
    EXPECT_EQ(post("/api/plan", R"({"changes":[]})").body, R"({"ok":true,"plans":[]})");
    EXPECT_EQ(post("/api/plan", "").body, R"({"ok":true,"plans":[]})");
    EXPECT_EQ(post("/api/backup/get").body,
              R"({"ok":false,"message":"That is not a backup file name."})");
    EXPECT_EQ(post("/api/backup/delete", R"({"name":"../journal.jsonl"})").body,
              R"({"ok":false,"message":"That is not a backup file name."})");
    EXPECT_EQ(post("/api/elevate").body.substr(0, 22), R"({"ok":false,"message":)");
    JsonValue probes = parsed(get("/api/doctor"));
    ASSERT_FALSE(array(probes, "probes").empty());
    EXPECT_EQ(keys(array(probes, "probes").front()),
              (std::vector<std::string>{"name", "status", "detail"}));
    EXPECT_EQ(keys(probes), (std::vector<std::string>{"ok", "probes", "since_backup"}));
    EXPECT_EQ(json::to_text(*probes.get("since_backup")->get("lines")), R"(["No backup yet."])");
    JsonValue status = parsed(get("/api/knowledge"));
    EXPECT_EQ(keys(status).front(), "builtin_version") << "the status record is not wrapped";
    EXPECT_EQ(status.get("ok"), nullptr);
    EXPECT_FALSE(parsed(post("/api/knowledge/import", R"({"text":"{}"})")).get_bool("ok"));
    EXPECT_EQ(post("/api/knowledge/update", R"({"url":"http://k.example/p.json"})").body,
              R"({"ok":false,"message":"Updates are only fetched over https."})");
    EXPECT_EQ(post("/api/apply", R"({"changes":[]})").body, R"({"ok":true,"results":[]})");
    EXPECT_EQ(parsed(post("/api/knowledge/rollback")).get_str("message"),
              "There is no earlier knowledge to go back to; the built-in knowledge is already in "
              "use.");
}

TEST_F(Api, KnowledgeSettingsRefuseAPlainHttpAddressAndKeepTheOldOne) {
    const std::string url = parsed(get("/api/knowledge")).get_str("url");
    EXPECT_EQ(
        post("/api/knowledge/settings", R"({"auto_check":true,"url":"http://x.example/k.json"})")
            .body,
        R"({"ok":false,"message":"The update address must start with https://"})");
    JsonValue after = parsed(get("/api/knowledge"));
    EXPECT_EQ(after.get_str("url"), url);
    EXPECT_FALSE(after.get_bool("auto_check")) << "nothing was saved";

    JsonValue saved = parsed(post("/api/knowledge/settings", R"({"auto_check":true,"url":""})"));
    EXPECT_EQ(keys(saved), (std::vector<std::string>{"ok", "status"}));
    EXPECT_TRUE(saved.get("status")->get_bool("auto_check"));
    EXPECT_EQ(saved.get("status")->get_str("url"), url);

    saved = parsed(post("/api/knowledge/settings", R"({"url":"https://k.example/p.json"})"));
    EXPECT_FALSE(saved.get("status")->get_bool("auto_check"));
    EXPECT_EQ(parsed(get("/api/knowledge")).get_str("url"), "https://k.example/p.json");
}

TEST_F(Api, GoesTheWholeRoadOfAChange) {
    JsonValue scan = parsed(post("/api/scan", R"({"what":"startup"})"));
    std::string id;
    for (const JsonValue& item : array(scan, "items")) {
        if (item.get_bool("enabled") && item.get_str("toggle") == "ok" &&
            !item.get("risk")->get_bool("blocked")) {
            id = item.get_str("id");
            break;
        }
    }
    ASSERT_FALSE(id.empty());
    const std::string change =
        R"({"changes":[{"action":"disable","id":")" + id + R"(","ack":true,"stop_now":false}]})";
    JsonValue plans = parsed(post("/api/plan", change));
    ASSERT_EQ(array(plans, "plans").size(), 1u);
    EXPECT_EQ(keys(array(plans, "plans")[0]),
              (std::vector<std::string>{"id", "name", "action", "risk", "problems", "blocked",
                                        "admin_needed", "spec"}));
    EXPECT_TRUE(array(parsed(get("/api/history")), "records").empty())
        << "planning changed something";

    JsonValue applied = parsed(post("/api/apply", change));
    ASSERT_EQ(array(applied, "results").size(), 1u);
    const JsonValue& result = array(applied, "results")[0];
    EXPECT_EQ(keys(result),
              (std::vector<std::string>{"id", "name", "action", "ok", "message", "admin_needed"}));
    EXPECT_TRUE(result.get_bool("ok")) << applied.get_str("message");
    // A second change of the run takes no second automatic backup.
    const std::string enable =
        R"({"changes":[{"action":"enable","id":")" + id + R"(","ack":true}]})";
    EXPECT_TRUE(array(parsed(post("/api/apply", enable)), "results")[0].get_bool("ok"));
    JsonValue backups = parsed(get("/api/backup/list"));
    ASSERT_EQ(array(backups, "backups").size(), 1u);
    EXPECT_TRUE(array(backups, "backups")[0].get_bool("auto"));
    EXPECT_EQ(keys(array(backups, "backups")[0]),
              (std::vector<std::string>{"name", "path", "label", "time", "host", "count", "size",
                                        "auto"}));

    JsonValue history = parsed(get("/api/history"));
    ASSERT_EQ(array(history, "records").size(), 2u);
    const JsonValue& newest = array(history, "records")[0];
    EXPECT_EQ(keys(newest), (std::vector<std::string>{"seq", "time", "action", "name", "command",
                                                      "detail", "ok", "undone", "can_undo"}));
    EXPECT_EQ(newest.get_str("action"), "enable");
    JsonValue undone = parsed(
        post("/api/undo", R"({"seq":)" + json::to_text(*newest.get("seq")) + R"(,"ack":true})"));
    EXPECT_TRUE(undone.get_bool("ok")) << undone.get_str("message");
    EXPECT_EQ(keys(undone), (std::vector<std::string>{"ok", "message"}));

    JsonValue made = parsed(post("/api/backup/create", R"({"label":""})"));
    EXPECT_EQ(keys(made), (std::vector<std::string>{"ok", "name", "path", "count"}));
    const std::string name = made.get_str("name");
    JsonValue text = parsed(post("/api/backup/get", R"({"name":")" + name + R"("})"));
    ASSERT_TRUE(text.get_bool("ok"));
    EXPECT_NE(text.get_str("text").find("Manual backup"), std::string::npos);

    JsonValue plan = parsed(post("/api/restore/plan", R"({"name":")" + name + R"("})"));
    EXPECT_EQ(keys(plan), (std::vector<std::string>{"ok", "header", "items", "same", "appeared",
                                                    "wrong_machine"}));
    EXPECT_FALSE(plan.get_bool("wrong_machine"));
    // A text wins over a name, even one that names nothing.
    JsonValue by_text = parsed(post(
        "/api/restore/plan",
        json::to_text(
            JsonValue::object().with_str("text", text.get_str("text")).with_str("name", "x"))));
    EXPECT_TRUE(by_text.get_bool("ok")) << by_text.get_str("message");
    // The automatic backup from before the first change differs from now by nothing
    // but the item disabled and enabled again, which matches it.
    std::string auto_name = array(backups, "backups")[0].get_str("name");
    JsonValue restore = parsed(post("/api/restore/plan", R"({"name":")" + auto_name + R"("})"));
    for (const JsonValue& item : array(restore, "items")) {
        EXPECT_EQ(keys(item),
                  (std::vector<std::string>{"kind", "id", "name", "detail", "selected", "change",
                                            "command", "mode", "runs_as", "warning"}));
    }

    EXPECT_EQ(post("/api/backup/delete", R"({"name":")" + name + R"("})").body, R"({"ok":true})");
    EXPECT_EQ(post("/api/backup/delete", R"({"name":")" + name + R"("})").body,
              R"({"ok":false,"message":"That backup was not found."})");
}

}  // namespace
}  // namespace bootsmith::testing

namespace bootsmith::testing {
namespace {

TEST(ChangeRequestJson, ARestoredCreationKeepsItsRecordedState) {
    for (bool off : {true, false}) {
        engine::ChangeRequest made;
        made.action = "create";
        made.id = "restore-1";
        made.create.name = "Notes";
        made.create.command = "/usr/bin/notes";
        made.switched_off = off;
        json::JsonValue changes = json::JsonValue::array();
        changes.push_back(server::change_request_json(made));
        json::JsonValue body = json::JsonValue::object().with("changes", std::move(changes));
        std::vector<engine::ChangeRequest> back = server::change_requests(body);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].switched_off, off);
        EXPECT_EQ(back[0].create.command, "/usr/bin/notes");
    }
}

}  // namespace
}  // namespace bootsmith::testing
