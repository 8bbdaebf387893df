#include "engine/undo.hpp"

#include <algorithm>
#include <set>

#include "engine/changes.hpp"
#include "engine/history.hpp"
#include "engine/lookup.hpp"

namespace bootsmith::engine {

namespace {

Result<ChangeRequest> reverse_of(const JournalRecord& record,
                                 const std::vector<JournalRecord>& records) {
    ChangeRequest request;
    request.id = record.id;
    if (record.action == "enable" || record.action == "disable") {
        request.action = record.action == "enable" ? "disable" : "enable";
        return request;
    }
    if (record.action == "create") {
        request.action = "remove";
        return request;
    }
    if (record.action != "remove") {
        return fail("That kind of record cannot be undone.");
    }
    model::StoredSpec spec = record.spec;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->action == "create" && it->ok && it->id == record.id) {
            spec = it->spec;
            break;
        }
    }
    model::CreateRequest create = model::from_stored(spec);
    if (create.command.empty()) {
        return fail("The original command was not recorded, so it cannot be recreated.");
    }
    request.action = "create";
    request.id = "restore|" + record.id;
    request.create = std::move(create);
    return request;
}

Result<std::string> carry_out(Engine& engine, const ChangeRequest& request) {
    if (request.action == "create") {
        model::CreateRequest create = request.create;
        if (create.user.empty()) {
            create.user = engine.system().user;
        }
        auto item = engine.platform().create(create);
        if (!item) {
            return fail(item.error());
        }
        return "Recreated " + item->name + ".";
    }
    std::optional<model::Item> item = find_item(engine, request.id);
    if (request.action == "remove") {
        if (!item) {
            return fail("The entry no longer exists.");
        }
        if (!item->managed) {
            return fail("That entry is not one Bootsmith created.");
        }
        auto outcome = engine.platform().remove(*item);
        return outcome ? Result<std::string>(outcome->message) : fail(outcome.error());
    }
    if (!item) {
        return fail("The item no longer exists.");
    }
    auto outcome = engine.platform().toggle(*item, request.action == "enable", false);
    return outcome ? Result<std::string>(outcome->message) : fail(outcome.error());
}

}  // namespace

Outcome undo(Engine& engine, std::uint64_t seq, bool acknowledged) {
    auto failed = [](std::string message) {
        return Outcome{OutcomeKind::failed, std::move(message)};
    };
    (void)take_automatic_backup(engine);
    std::vector<JournalRecord> records = read_records(engine.system());
    auto found = std::find_if(records.begin(), records.end(),
                              [seq](const JournalRecord& r) { return r.seq == seq; });
    if (found == records.end()) {
        return failed("That entry is not in the history.");
    }
    const JournalRecord record = *found;
    bool undone = std::any_of(records.begin(), records.end(), [seq](const JournalRecord& r) {
        return r.action == "undo" && r.ok && r.of == seq;
    });
    if (undone) {
        return failed("That change was already undone.");
    }
    if (!record.ok) {
        return failed("That change did not succeed, so there is nothing to undo.");
    }
    Result<ChangeRequest> request = reverse_of(record, records);
    if (!request) {
        return failed(request.error());
    }
    Plan planned = plan(engine, *request);
    if (planned.blocked()) {
        return failed("Refused: " + refusal_reason(planned));
    }
    if (planned.admin_needed) {
        return {OutcomeKind::admin_needed, "Undoing this needs administrator rights."};
    }
    if (!acknowledged && request->action == "create") {
        return {OutcomeKind::needs_confirmation,
                "It would create \"" + planned.spec->name + "\" running: " + planned.spec->command};
    }
    if (!acknowledged && planned.risk.needs_ack()) {
        return {OutcomeKind::needs_confirmation, planned.risk.effect};
    }
    auto message = carry_out(engine, *request);
    if (!message) {
        return platform_failure(message.error());
    }
    JournalRecord entry;
    entry.action = "undo";
    entry.id = record.id;
    entry.name = record.name;
    entry.detail = *message;
    entry.ok = true;
    entry.of = seq;
    (void)append_record(engine.system(), std::move(entry));
    engine.clear_items();
    return {OutcomeKind::done, *message};
}

}  // namespace bootsmith::engine
