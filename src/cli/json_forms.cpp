#include "cli/json_forms.hpp"

namespace bootsmith::cli {

namespace {

std::string spec_value(const model::StoredSpec& spec, std::string_view key) {
    for (const auto& [name, value] : spec) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

json::JsonValue request_json(const engine::ChangeRequest& request) {
    json::JsonValue value = json::JsonValue::object()
                                .with_str("action", request.action)
                                .with_str("id", request.id)
                                .with_bool("stop_now", request.stop_now);
    if (request.action != "create") {
        return value;
    }
    return std::move(value).with("spec", json::JsonValue::object()
                                             .with_str("name", request.name)
                                             .with_str("command", request.command)
                                             .with_str("exe", request.exe)
                                             .with_str("workdir", request.workdir)
                                             .with_str("mode", request.mode)
                                             .with_str("user", request.user)
                                             .with_str("description", request.description));
}

}  // namespace

std::string probe_status_word(const std::string& status) {
    return status == "ok" || status == "warn" ? status : std::string("fail");
}

json::JsonValue history_json(const std::vector<engine::HistoryEntry>& entries) {
    json::JsonValue list = json::JsonValue::array();
    for (const auto& entry : entries) {
        const engine::JournalRecord& r = entry.record;
        list.push_back(json::JsonValue::object()
                           .with_u64("number", entry.number)
                           .with_u64("seq", r.seq)
                           .with_str("time", r.time)
                           .with_str("action", r.action)
                           .with_str("name", r.name)
                           .with_str("command", spec_value(r.spec, "command"))
                           .with_str("detail", r.detail)
                           .with_bool("ok", r.ok)
                           .with_bool("undone", entry.undone)
                           .with_bool("can_undo", entry.can_undo));
    }
    return list;
}

json::JsonValue backups_json(const std::string& folder,
                             const std::vector<engine::BackupListing>& backups) {
    json::JsonValue list = json::JsonValue::array();
    for (const auto& b : backups) {
        list.push_back(json::JsonValue::object()
                           .with_str("name", b.name)
                           .with_str("path", b.path)
                           .with_str("label", b.label)
                           .with_str("time", b.created)
                           .with_str("host", b.host)
                           .with_u64("count", b.count)
                           .with_u64("size", b.size)
                           .with_bool("auto", b.automatic));
    }
    return json::JsonValue::object().with_str("folder", folder).with("backups", std::move(list));
}

json::JsonValue doctor_json(const std::vector<platform::Probe>& probes) {
    json::JsonValue list = json::JsonValue::array();
    std::uint64_t warnings = 0;
    std::uint64_t failed = 0;
    for (const auto& probe : probes) {
        std::string word = probe_status_word(probe.status);
        warnings += word == "warn" ? 1 : 0;
        failed += word == "fail" ? 1 : 0;
        list.push_back(json::JsonValue::object()
                           .with_str("name", probe.name)
                           .with_str("status", word)
                           .with_str("detail", probe.detail));
    }
    return json::JsonValue::object()
        .with("probes", std::move(list))
        .with_u64("warnings", warnings)
        .with_u64("failed", failed);
}

json::JsonValue restore_json(const engine::RestorePlan& plan,
                             const std::vector<MarkedChange>& changes) {
    json::JsonValue items = json::JsonValue::array();
    for (const auto& [change, mark] : changes) {
        items.push_back(json::JsonValue::object()
                            .with_str("kind", change->what)
                            .with_str("id", change->id)
                            .with_str("name", change->name)
                            .with_str("detail", change->note)
                            .with_bool("selected", change->selected)
                            .with_str("mark", mark)
                            .with("change", change->request ? request_json(*change->request)
                                                            : json::JsonValue(nullptr)));
    }
    return json::JsonValue::object()
        .with("header", plan.header)
        .with_u64("same", plan.same)
        .with_u64("appeared", plan.appeared)
        .with_bool("wrong_machine", plan.wrong_machine)
        .with("items", std::move(items));
}

}  // namespace bootsmith::cli
