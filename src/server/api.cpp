#include "server/api.hpp"

#include <array>

#include "engine/assess.hpp"
#include "engine/backups.hpp"
#include "engine/changes.hpp"
#include "engine/data_folders.hpp"
#include "engine/doctor.hpp"
#include "engine/history.hpp"
#include "engine/lookup.hpp"
#include "engine/restore.hpp"
#include "engine/since_backup.hpp"
#include "engine/undo.hpp"
#include "foundation/clock.hpp"
#include "foundation/text.hpp"
#include "foundation/version.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"
#include "server/api_json.hpp"

namespace bootsmith::server {

namespace {

using json::JsonValue;

JsonValue ok() {
    return JsonValue::object().with_bool("ok", true);
}

JsonValue outcome(bool success, std::string_view message) {
    return JsonValue::object().with_bool("ok", success).with_str("message", message);
}

JsonValue array_of(auto&& values, auto&& to_value) {
    JsonValue array = JsonValue::array();
    for (const auto& value : values) {
        array.push_back(to_value(value));
    }
    return array;
}

// Claims the right to change something; once the window is stopping, the
// request is refused instead and nothing is touched.
bool begin_change(ApiCall& call) {
    std::optional<ChangeGate::Pass> pass = call.state.changes.enter();
    if (!pass) {
        return false;
    }
    call.pass.emplace(std::move(*pass));
    return true;
}

JsonValue stopping() {
    return outcome(false,
                   "Bootsmith is stopping, so it makes no more changes. Start it again to go on.");
}

engine::Engine& engine_of(ApiCall& call) {
    return call.state.engine;
}

const platform::SystemInfo& system_of(ApiCall& call) {
    return call.state.engine.system();
}

knowledge::KnowledgeFolders knowledge_folders(ApiCall& call) {
    return engine::knowledge_folders(system_of(call));
}

JsonValue knowledge_status(ApiCall& call) {
    knowledge::KnowledgeFolders folders = knowledge_folders(call);
    std::string folder = folders.empty() ? std::string() : folders.front().string();
    return knowledge::status_record(*knowledge::current_store(), knowledge::read_settings(folders),
                                    folder);
}

// ---------------------------------------------------------------- GET

JsonValue get_state(ApiCall& call) {
    const platform::SystemInfo& s = system_of(call);
    return ok()
        .with_str("version", program_version)
        .with_str("developer", "The Bootsmith developers")
        .with_str("company", "Bootsmith")
        .with_str("copyright", "Made by the Bootsmith developers; free to use and to study.")
        .with_str("os", s.os)
        .with_str("os_version", s.os_version)
        .with_str("host", s.host)
        .with_str("user", s.user)
        .with_str("home", s.home)
        .with_bool("admin", s.admin)
        .with_bool("demo", s.demo)
        .with_str("journal", engine::folder_display(s));
}

JsonValue get_history(ApiCall& call) {
    return ok().with("records", array_of(engine::history_list(system_of(call)), history_json));
}

JsonValue since_backup_json(const engine::SinceBackup& since) {
    auto strings = [](const std::vector<std::string>& texts) {
        return array_of(texts, [](const std::string& t) { return JsonValue(t); });
    };
    return JsonValue::object()
        .with_bool("compared", since.compared)
        .with_str("backup", since.backup)
        .with_str("created", since.created)
        .with("appeared", strings(since.appeared))
        .with("switched_on", strings(since.switched_on))
        .with("switched_off", strings(since.switched_off))
        .with("disappeared", strings(since.disappeared))
        .with("notes", strings(since.notes))
        .with("lines", strings(engine::since_backup_lines(since)));
}

JsonValue get_doctor(ApiCall& call) {
    return ok()
        .with("probes", array_of(engine::doctor(engine_of(call)),
                                 [](const auto& probe) {
                                     return JsonValue::object()
                                         .with_str("name", probe.name)
                                         .with_str("status", probe.status)
                                         .with_str("detail", probe.detail);
                                 }))
        .with("since_backup", since_backup_json(engine::since_last_backup(engine_of(call))));
}

JsonValue get_knowledge(ApiCall& call) {
    return knowledge_status(call);
}

JsonValue get_backups(ApiCall& call) {
    return ok()
        .with("backups", array_of(engine::list_backups(system_of(call)), backup_json))
        .with_str("folder", engine::backups_folder_display(system_of(call)));
}

// ---------------------------------------------------------------- POST

JsonValue post_scan(ApiCall& call) {
    std::string what = call.body.get_str("what");
    if (what == "running" || what == "apps") {
        platform::CandidateList list = what == "running" ? engine::running_programs(engine_of(call))
                                                         : engine::installed_apps(engine_of(call));
        return ok()
            .with("items",
                  array_of(list.candidates, [](const auto& c) { return model::to_json(c); }))
            .with_str_list("notes", list.notes);
    }
    platform::ScanResult scan = engine::scan_and_assess(engine_of(call));
    return ok()
        .with("items", array_of(scan.items, [](const auto& item) { return model::to_json(item); }))
        .with_str_list("notes", scan.notes);
}

JsonValue post_plan(ApiCall& call) {
    std::vector<engine::Plan> plans =
        engine::plan_many(engine_of(call), change_requests(call.body));
    return ok().with("plans",
                     array_of(plans, [](const auto& plan) { return engine::to_json(plan); }));
}

JsonValue post_apply(ApiCall& call) {
    std::vector<engine::ChangeRequest> requests = change_requests(call.body);
    if (!begin_change(call)) {
        return stopping();
    }
    return ok().with("results", array_of(engine::apply(engine_of(call), requests), result_json));
}

JsonValue post_undo(ApiCall& call) {
    std::uint64_t seq = json::to_u64(call.body.get("seq"));
    if (!begin_change(call)) {
        return stopping();
    }
    engine::Outcome done = engine::undo(engine_of(call), seq, call.body.get_bool("ack"));
    return outcome(done.ok(), engine::window_message(done));
}

JsonValue post_elevate(ApiCall& call) {
    Status started = engine_of(call).platform().elevate({"serve"});
    return started ? ok() : outcome(false, started.error());
}

JsonValue post_knowledge_update(ApiCall& call) {
    knowledge::KnowledgeFolders folders = knowledge_folders(call);
    std::string address = call.body.get_str("url");
    if (address.empty()) {
        address = knowledge::read_settings(folders).url;
    }
    if (!begin_change(call)) {
        return stopping();
    }
    knowledge::UpdateOutcome done = knowledge::update_knowledge(address, folders);
    return outcome(!done.failed, done.message);
}

JsonValue post_knowledge_import(ApiCall& call) {
    if (!begin_change(call)) {
        return stopping();
    }
    knowledge::UpdateOutcome done =
        knowledge::import_pack(call.body.get_str("text"), knowledge_folders(call));
    return outcome(!done.failed, done.message);
}

JsonValue post_knowledge_rollback(ApiCall& call) {
    if (!begin_change(call)) {
        return stopping();
    }
    knowledge::UpdateOutcome done = knowledge::rollback_pack(knowledge_folders(call));
    return outcome(!done.failed, done.message);
}

JsonValue post_knowledge_settings(ApiCall& call) {
    std::string address = call.body.get_str("url");
    if (!address.empty() && !address.starts_with("https://")) {
        return outcome(false, "The update address must start with https://");
    }
    if (!begin_change(call)) {
        return stopping();
    }
    knowledge::KnowledgeFolders folders = knowledge_folders(call);
    knowledge::KnowledgeSettings settings = knowledge::read_settings(folders);
    settings.auto_check = call.body.get_bool("auto_check");
    if (!address.empty()) {
        settings.url = address;
    }
    if (folders.empty()) {
        return outcome(false, "There is no folder to keep the knowledge settings in.");
    }
    Status saved = knowledge::write_settings(folders.front(), settings);
    if (!saved) {
        return outcome(false, saved.error());
    }
    return ok().with("status", knowledge_status(call));
}

JsonValue post_backup_create(ApiCall& call) {
    std::string label = call.body.get_str("label");
    if (!begin_change(call)) {
        return stopping();
    }
    JsonValue document =
        engine::make_backup(engine_of(call), label.empty() ? "Manual backup" : label);
    auto saved = engine::save_backup(system_of(call), document, false);
    if (!saved) {
        return outcome(false, saved.error());
    }
    return ok()
        .with_str("name", saved->filename().string())
        .with_str("path", saved->string())
        .with_u64("count", json::to_u64(document.get("count")));
}

JsonValue post_backup_get(ApiCall& call) {
    auto text = engine::read_backup(system_of(call), call.body.get_str("name"));
    return text ? ok().with_str("text", *text) : outcome(false, text.error());
}

JsonValue post_backup_delete(ApiCall& call) {
    if (!begin_change(call)) {
        return stopping();
    }
    Status deleted = engine::delete_backup(system_of(call), call.body.get_str("name"));
    return deleted ? ok() : outcome(false, deleted.error());
}

JsonValue post_restore_plan(ApiCall& call) {
    std::string text = call.body.get_str("text");
    if (text.empty()) {
        auto stored = engine::read_backup(system_of(call), call.body.get_str("name"));
        if (!stored) {
            return outcome(false, stored.error());
        }
        text = std::move(*stored);
    }
    auto document = engine::parse_backup(text);
    if (!document) {
        return outcome(false, document.error());
    }
    return restore_plan_json(engine::restore_plan(engine_of(call), *document));
}

JsonValue post_ping(ApiCall& call) {
    call.state.opened.store(true);
    call.state.last_ping.store(util::now_unix());
    return ok();
}

JsonValue post_bye(ApiCall& call) {
    call.state.bye.store(util::now_unix());
    return ok();
}

JsonValue post_quit(ApiCall& call) {
    // No change starts once the user has asked to stop.
    call.state.changes.close();
    if (call.state.quit) {
        call.state.quit();
    }
    return ok();
}

struct Route {
    std::string_view method;
    std::string_view path;
    JsonValue (*handler)(ApiCall&);
};

constexpr std::array routes{
    Route{"GET", "/api/state", get_state},
    Route{"GET", "/api/history", get_history},
    Route{"GET", "/api/doctor", get_doctor},
    Route{"GET", "/api/knowledge", get_knowledge},
    Route{"GET", "/api/backup/list", get_backups},
    Route{"POST", "/api/scan", post_scan},
    Route{"POST", "/api/plan", post_plan},
    Route{"POST", "/api/apply", post_apply},
    Route{"POST", "/api/undo", post_undo},
    Route{"POST", "/api/elevate", post_elevate},
    Route{"POST", "/api/knowledge/update", post_knowledge_update},
    Route{"POST", "/api/knowledge/import", post_knowledge_import},
    Route{"POST", "/api/knowledge/rollback", post_knowledge_rollback},
    Route{"POST", "/api/knowledge/settings", post_knowledge_settings},
    Route{"POST", "/api/backup/create", post_backup_create},
    Route{"POST", "/api/backup/get", post_backup_get},
    Route{"POST", "/api/backup/delete", post_backup_delete},
    Route{"POST", "/api/restore/plan", post_restore_plan},
    Route{"POST", "/api/ping", post_ping},
    Route{"POST", "/api/bye", post_bye},
    Route{"POST", "/api/quit", post_quit},
};

}  // namespace

std::optional<JsonValue> route(ApiCall& call, std::string_view method, std::string_view path) {
    for (const Route& r : routes) {
        if (r.method == method && r.path == path) {
            return r.handler(call);
        }
    }
    return std::nullopt;
}

}  // namespace bootsmith::server
