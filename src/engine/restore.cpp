#include "engine/restore.hpp"

#include <set>

#include "engine/assess.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

const model::Item* present_with_id(const std::vector<model::Item>& items, const std::string& id) {
    for (const auto& item : items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

std::optional<RestoreChange> state_change(const model::Item& now, const json::JsonValue& old,
                                          bool was_on) {
    if (now.toggle == "locked") {
        return std::nullopt;
    }
    RestoreChange change;
    change.id = now.id;
    change.name = old.get_str("name");
    change.what = "state";
    change.selected = true;
    change.note = std::string("Now ") + (now.enabled ? "on" : "off") + "; the backup had it " +
                  (was_on ? "on" : "off") + " (" + old.get_str("state_text") + ").";
    ChangeRequest request;
    request.action = was_on ? "enable" : "disable";
    request.id = now.id;
    // What starts it is an entry of the backup as well, put back as it was.
    request.other_starts = OtherStarts::leave;
    const json::JsonValue* extra = old.get("extra");
    for (const char* key : {"start", "delayed"}) {
        if (extra && extra->get(key) && extra->get(key)->is_string()) {
            request.hints.emplace_back(key, extra->get_str(key));
        }
    }
    change.request = std::move(request);
    return change;
}

// A backup file can be edited by anyone who has a copy of it, so what it
// would make start is shown before anything is made, and the account is the
// one Bootsmith acts for, as for any new entry: a backup that names "root"
// must not turn into a service that runs as root.
void describe_recreation(RestoreChange& change, const std::string& acting_user) {
    const ChangeRequest& request = *change.request;
    change.command = request.create.command;
    change.mode = request.create.mode;
    change.runs_as = acting_user;
    change.warning =
        "Read the command carefully: it comes from the backup file, not from a program "
        "Bootsmith has just listed, and it will run as " +
        acting_user + ".";
}

RestoreChange gone_change(const json::JsonValue& old, const std::string& acting_user) {
    RestoreChange change;
    change.id = old.get_str("id");
    change.name = old.get_str("name");
    if (!old.get_bool("managed")) {
        change.what = "missing";
        change.note =
            "It is in the backup but not on this computer any more (the program may "
            "have been uninstalled). Nothing to restore.";
        return change;
    }
    ChangeRequest request;
    request.action = "create";
    request.id = "restore|" + change.id;
    request.create = model::from_stored(model::stored_spec_from_json(old.get("spec")));
    request.create.user = acting_user;
    // Created again in the state the backup recorded, so an entry that was
    // switched off does not start at the next boot.
    request.switched_off = !old.get_bool("enabled");
    change.what = "recreate";
    change.selected = true;
    change.note =
        "Bootsmith created this entry before; it no longer exists. It can be created "
        "again (" +
        request.create.mode + ")" +
        (request.switched_off ? ", switched off as in the backup." : ".");
    change.request = std::move(request);
    describe_recreation(change, acting_user);
    return change;
}

RestoreChange removal(const model::Item& item) {
    RestoreChange change;
    change.id = item.id;
    change.name = item.name;
    change.what = "remove";
    change.note =
        "Bootsmith created this entry after the backup was taken. Ticking it removes it, "
        "which is what going back to the backup means.";
    ChangeRequest request;
    request.action = "remove";
    request.id = item.id;
    change.request = std::move(request);
    return change;
}

bool from_another_machine(const platform::SystemInfo& system, const json::JsonValue& backup) {
    std::string host = backup.get_str("host");
    if (!host.empty()) {
        return !util::equals_ignore_ascii_case(host, system.host);
    }
    std::string os = backup.get_str("os");
    return !os.empty() && os != system.os;
}

}  // namespace

RestorePlan restore_plan(Engine& engine, const json::JsonValue& backup) {
    std::vector<model::Item> present = scan_and_assess(engine).items;
    const json::JsonArray* listed = backup.get("items") ? backup.get("items")->as_array() : nullptr;
    static const json::JsonArray none;
    const json::JsonArray& old_items = listed ? *listed : none;

    RestorePlan plan;
    std::set<std::string> backed_up;
    for (const auto& old : old_items) {
        std::string id = old.get_str("id");
        backed_up.insert(id);
        const model::Item* now = present_with_id(present, id);
        if (now == nullptr) {
            plan.changes.push_back(gone_change(old, engine.system().user));
            continue;
        }
        bool was_on = old.get_bool("enabled");
        if (now->enabled == was_on) {
            ++plan.same;
        } else if (auto change = state_change(*now, old, was_on)) {
            plan.changes.push_back(std::move(*change));
        }
    }
    for (const auto& item : present) {
        if (backed_up.contains(item.id)) {
            continue;
        }
        if (item.managed) {
            plan.changes.push_back(removal(item));
        } else {
            ++plan.appeared;
            plan.appeared_names.push_back(item.name);
        }
    }
    plan.wrong_machine = from_another_machine(engine.system(), backup);
    plan.header = json::JsonValue::object()
                      .with_str("created", backup.get_str("created"))
                      .with_str("label", backup.get_str("label"))
                      .with_str("host", backup.get_str("host"))
                      .with_str("os", backup.get_str("os"))
                      .with_str("os_version", backup.get_str("os_version"))
                      .with_str("tool_version", backup.get_str("tool_version"))
                      .with_u64("count", old_items.size());
    return plan;
}

}  // namespace bootsmith::engine
