#include "server/api_json.hpp"

#include "foundation/text.hpp"

namespace bootsmith::server {

namespace {

using json::JsonValue;

const JsonValue& member(const JsonValue& object, std::string_view key) {
    static const JsonValue none;
    const JsonValue* value = object.get(key);
    return value != nullptr ? *value : none;
}

engine::ChangeRequest change_request(const JsonValue& change) {
    engine::ChangeRequest r;
    r.action = change.get_str("action");
    r.id = change.get_str("id");
    r.stop_now = change.get_bool("stop_now");
    r.ack = change.get_bool("ack");
    r.switched_off = change.get_bool("switched_off");
    r.create = model::from_stored(model::stored_spec_from_json(change.get("spec")));
    if (const json::JsonObject* hints = member(change, "hints").as_object()) {
        for (const json::JsonMember& hint : *hints) {
            r.hints.emplace_back(hint.key, std::string(hint.value.as_str().value_or("")));
        }
    }
    return r;
}

}  // namespace

std::vector<engine::ChangeRequest> change_requests(const JsonValue& body) {
    std::vector<engine::ChangeRequest> requests;
    if (const json::JsonArray* changes = member(body, "changes").as_array()) {
        for (const JsonValue& change : *changes) {
            requests.push_back(change_request(change));
        }
    }
    return requests;
}

JsonValue change_request_json(const engine::ChangeRequest& request) {
    JsonValue value = JsonValue::object()
                          .with_str("action", request.action)
                          .with_str("id", request.id)
                          .with_bool("stop_now", request.stop_now);
    if (request.action == "create") {
        // A restore re-creates an entry in the state the backup recorded.
        value = std::move(value)
                    .with("spec", model::stored_spec_json(model::to_stored(request.create)))
                    .with_bool("switched_off", request.switched_off);
    }
    return value;
}

JsonValue result_json(const engine::ChangeResult& result) {
    return JsonValue::object()
        .with_str("id", result.id)
        .with_str("name", result.name)
        .with_str("action", result.action)
        .with_bool("ok", result.ok)
        .with_str("message", result.message)
        .with_bool("admin_needed", result.admin);
}

JsonValue history_json(const engine::HistoryEntry& entry) {
    const engine::JournalRecord& r = entry.record;
    return JsonValue::object()
        .with_u64("seq", r.seq)
        .with_str("time", r.time)
        .with_str("action", r.action)
        .with_str("name", r.name)
        .with_str("command", util::pair_value(r.spec, "command"))
        .with_str("detail", r.detail)
        .with_bool("ok", r.ok)
        .with_bool("undone", entry.undone)
        .with_bool("can_undo", entry.can_undo);
}

JsonValue backup_json(const engine::BackupListing& b) {
    return JsonValue::object()
        .with_str("name", b.name)
        .with_str("path", b.path)
        .with_str("label", b.label)
        .with_str("time", b.created)
        .with_str("host", b.host)
        .with_u64("count", b.count)
        .with_u64("size", b.size)
        .with_bool("auto", b.automatic);
}

JsonValue restore_plan_json(const engine::RestorePlan& plan) {
    JsonValue items = JsonValue::array();
    for (const engine::RestoreChange& change : plan.changes) {
        items.push_back(JsonValue::object()
                            .with_str("kind", change.what)
                            .with_str("id", change.id)
                            .with_str("name", change.name)
                            .with_str("detail", change.note)
                            .with_bool("selected", change.selected)
                            .with("change", change.request ? change_request_json(*change.request)
                                                           : JsonValue(nullptr))
                            .with_str("command", change.command)
                            .with_str("mode", change.mode)
                            .with_str("runs_as", change.runs_as)
                            .with_str("warning", change.warning));
    }
    return JsonValue::object()
        .with_bool("ok", true)
        .with("header", plan.header)
        .with("items", std::move(items))
        .with_u64("same", plan.same)
        .with_u64("appeared", plan.appeared)
        .with_bool("wrong_machine", plan.wrong_machine);
}

}  // namespace bootsmith::server
