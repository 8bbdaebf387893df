#include "model/item.hpp"

namespace bootsmith::model {

std::string Extra::get(std::string_view key) const {
    for (const auto& [k, v] : m_pairs) {
        if (k == key) {
            return v;
        }
    }
    return {};
}

void Extra::set(std::string_view key, std::string value) {
    for (auto& [k, v] : m_pairs) {
        if (k == key) {
            v = std::move(value);
            return;
        }
    }
    m_pairs.emplace_back(std::string(key), std::move(value));
}

Item::Item(std::string kind_, std::string kind_label_, std::string scope_, std::string location_,
           std::string name_)
    : id(kind_ + "|" + scope_ + "|" + location_ + "|" + name_),
      name(std::move(name_)),
      kind(std::move(kind_)),
      kind_label(std::move(kind_label_)),
      scope(std::move(scope_)),
      location(std::move(location_)) {}

namespace {

json::JsonValue start_paths_json(const std::vector<StartPath>& paths) {
    json::JsonValue array = json::JsonValue::array();
    for (const auto& path : paths) {
        array.push_back(json::JsonValue::object()
                            .with_str("name", path.name)
                            .with_str("how", path.how)
                            .with_bool("on", path.on)
                            .with_bool("switched_off_with_it", path.with_it));
    }
    return array;
}

}  // namespace

json::JsonValue to_json(const Item& item) {
    return json::JsonValue::object()
        .with_str("id", item.id)
        .with_str("name", item.name)
        .with_str("kind", item.kind)
        .with_str("kind_label", item.kind_label)
        .with_str("scope", item.scope)
        .with_str("location", item.location)
        .with_str("command", item.command)
        .with_str("exe", item.exe)
        .with_str("publisher", item.publisher)
        .with_str("description", item.description)
        .with_str("origin", item.origin)
        .with_str("package", item.package)
        .with_bool("enabled", item.enabled)
        .with_bool("running", item.running)
        .with_str("state_text", item.state_text)
        .with_str("toggle", item.toggle)
        .with_str("toggle_note", item.toggle_note)
        .with_bool("managed", item.managed)
        .with_str_list("dependents", item.dependents)
        .with("risk", to_json(item.risk))
        .with("also_started_by", start_paths_json(item.also_started_by))
        .with("boot_ms", item.boot_ms ? json::JsonValue(static_cast<double>(*item.boot_ms))
                                      : json::JsonValue(nullptr));
}

StartMode::StartMode(std::string id_, std::string label_, std::string detail_, bool needs_admin_,
                     bool recommended_)
    : id(std::move(id_)),
      label(std::move(label_)),
      detail(std::move(detail_)),
      needs_admin(needs_admin_),
      recommended(recommended_) {}

json::JsonValue to_json(const StartMode& mode) {
    return json::JsonValue::object()
        .with_str("id", mode.id)
        .with_str("label", mode.label)
        .with_str("detail", mode.detail)
        .with_bool("needs_admin", mode.needs_admin)
        .with_bool("recommended", mode.recommended);
}

json::JsonValue to_json(const Candidate& candidate) {
    auto pids = json::JsonValue::array();
    for (auto pid : candidate.pids) {
        pids.push_back(json::JsonValue(static_cast<double>(pid)));
    }
    auto modes = json::JsonValue::array();
    for (const auto& mode : candidate.modes) {
        modes.push_back(to_json(mode));
    }
    return json::JsonValue::object()
        .with_str("id", candidate.id)
        .with_str("name", candidate.name)
        .with_str("source", candidate.source)
        .with_str("exe", candidate.exe)
        .with_str("command", candidate.command)
        .with_str("workdir", candidate.workdir)
        .with_str("user", candidate.user)
        .with("pids", std::move(pids))
        .with_str("publisher", candidate.publisher)
        .with_str("description", candidate.description)
        .with("modes", std::move(modes))
        .with_str_list("notes", candidate.notes)
        .with_str("entry_id", candidate.entry_id)
        .with_bool("system", candidate.system);
}

StoredSpec to_stored(const CreateRequest& request) {
    return {{"name", request.name},
            {"command", request.command},
            {"exe", request.exe},
            {"workdir", request.workdir},
            {"mode", request.mode},
            {"user", request.user},
            {"description", request.description}};
}

CreateRequest from_stored(const StoredSpec& stored) {
    auto value = [&stored](std::string_view key) {
        for (const auto& [k, v] : stored) {
            if (k == key) {
                return v;
            }
        }
        return std::string();
    };
    return {value("name"), value("command"), value("exe"),        value("workdir"),
            value("mode"), value("user"),    value("description")};
}

json::JsonValue stored_spec_json(const StoredSpec& spec) {
    json::JsonValue object = json::JsonValue::object();
    for (const auto& [key, value] : spec) {
        object = std::move(object).with_str(key, value);
    }
    return object;
}

StoredSpec stored_spec_from_json(const json::JsonValue* value) {
    StoredSpec spec;
    const json::JsonObject* members = value ? value->as_object() : nullptr;
    if (members == nullptr) {
        return spec;
    }
    for (const auto& member : *members) {
        auto text = member.value.as_str();
        spec.emplace_back(member.key, text ? std::string(*text) : std::string());
    }
    return spec;
}

}  // namespace bootsmith::model
