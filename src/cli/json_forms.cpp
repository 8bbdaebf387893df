#include "cli/json_forms.hpp"

#include "server/api_json.hpp"

namespace bootsmith::cli {

std::string probe_status_word(const std::string& status) {
    return status == "ok" || status == "warn" ? status : std::string("fail");
}

json::JsonValue history_json(const std::vector<engine::HistoryEntry>& entries) {
    json::JsonValue list = json::JsonValue::array();
    for (const auto& entry : entries) {
        // The short number first, then the window's form of the record.
        json::JsonValue value = json::JsonValue::object().with_u64("number", entry.number);
        json::JsonValue record = server::history_json(entry);
        for (auto& member : *record.as_object()) {
            value.as_object()->push_back(std::move(member));
        }
        list.push_back(std::move(value));
    }
    return list;
}

json::JsonValue backups_json(const std::string& folder,
                             const std::vector<engine::BackupListing>& backups) {
    json::JsonValue list = json::JsonValue::array();
    for (const auto& b : backups) {
        list.push_back(server::backup_json(b));
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
                            .with("change", change->request
                                                ? server::change_request_json(*change->request)
                                                : json::JsonValue(nullptr))
                            // What a re-created entry will run, and as whom.
                            .with_str("command", change->command)
                            .with_str("mode", change->mode)
                            .with_str("runs_as", change->runs_as)
                            .with_str("warning", change->warning));
    }
    return json::JsonValue::object()
        .with("header", plan.header)
        .with_u64("same", plan.same)
        .with_u64("appeared", plan.appeared)
        .with_bool("wrong_machine", plan.wrong_machine)
        .with("items", std::move(items));
}

}  // namespace bootsmith::cli
