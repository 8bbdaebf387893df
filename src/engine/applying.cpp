#include "engine/backups.hpp"
#include "engine/changes.hpp"
#include "engine/decision.hpp"
#include "engine/history.hpp"
#include "engine/lookup.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

// What a successful change leaves in the history.
struct Record {
    std::string id;
    std::string name;
    std::string message;
    model::StoredSpec spec;
    /// False when the change was made only in part: it is recorded, since it
    /// changed the computer, but reported as failed.
    bool complete = true;
};

Result<Record> switch_item(Engine& engine, const ChangeRequest& request) {
    std::optional<model::Item> item = find_item(engine, request.id);
    if (!item) {
        return fail("The item was not found.");
    }
    for (const auto& [key, value] : request.hints) {
        item->extra.set("want_" + key, value);
    }
    auto outcome = engine.platform().toggle(*item, request.action == "enable", request.stop_now);
    if (!outcome) {
        return fail(outcome.error());
    }
    return Record{item->id, item->name, outcome->message, {}};
}

Result<Record> remove_item(Engine& engine, const ChangeRequest& request) {
    std::optional<model::Item> item = find_item(engine, request.id);
    if (!item) {
        return fail("The item was not found.");
    }
    model::StoredSpec spec = creation_spec(read_records(engine.system()), *item);
    auto outcome = engine.platform().remove(*item);
    if (!outcome) {
        return fail(outcome.error());
    }
    return Record{item->id, item->name, outcome->message, std::move(spec)};
}

// An entry re-created from a backup that had it switched off must not start
// at the next boot: it is switched off at once, as the next scan shows it.
void switch_off_created(Engine& engine, const model::Item& created, Record& record) {
    std::optional<model::Item> listed = find_item(engine, created.id);
    auto outcome = engine.platform().toggle(listed ? *listed : created, false, false);
    if (outcome) {
        record.message += " It is switched off, as the backup had it.";
        return;
    }
    record.message += " It could not be switched off as the backup had it: " +
                      platform_failure(outcome.error()).message;
    record.complete = false;
}

Result<Record> create_item(Engine& engine, const ChangeRequest& request) {
    std::optional<model::Candidate> candidate = find_candidate(engine, request.id);
    model::CreateRequest create = request.create;
    if (create.exe.empty()) {
        create.exe = candidate && !candidate->exe.empty() ? candidate->exe
                                                          : util::program_path(create.command);
    }
    if (create.workdir.empty() && candidate) {
        create.workdir = candidate->workdir;
    }
    if (create.user.empty()) {
        create.user =
            candidate && !candidate->user.empty() ? candidate->user : engine.system().user;
    }
    auto item = engine.platform().create(create);
    if (!item) {
        return fail(item.error());
    }
    Record record{item->id, item->name, "Created: " + item->name + " (" + item->kind_label + ").",
                  model::to_stored(create)};
    if (request.switched_off) {
        switch_off_created(engine, *item, record);
    }
    return record;
}

Result<Record> carry_out(Engine& engine, const ChangeRequest& request) {
    if (request.action == "remove") {
        return remove_item(engine, request);
    }
    if (request.action == "create") {
        return create_item(engine, request);
    }
    return switch_item(engine, request);
}

ChangeResult failed(ChangeResult result, const Outcome& outcome) {
    result.admin = outcome.kind == OutcomeKind::admin_needed;
    result.message = window_message(outcome);
    result.reason = outcome.message;
    return result;
}

// Why a possible change waits for the user's acceptance.
std::string waiting_message(const Plan& planned) {
    if (planned.still_started_by.empty()) {
        return "Not applied: this change needs your confirmation first.";
    }
    std::vector<std::string> names;
    for (const auto& path : planned.still_started_by) {
        names.push_back(path.name);
    }
    return "Not applied: it would still start through " + util::join(names, ", ") +
           ". Accept that, or switch those off too.";
}

ChangeResult record_success(Engine& engine, const ChangeRequest& request, ChangeResult result,
                            Record record) {
    result.ok = record.complete;
    result.id = record.id;
    result.name = record.name;
    result.message = record.message;
    JournalRecord entry;
    entry.action = request.action;
    entry.id = record.id;
    entry.name = record.name;
    entry.detail = record.message;
    entry.ok = true;
    entry.spec = std::move(record.spec);
    entry.stop_now = request.stop_now;
    if (auto written = append_record(engine.system(), std::move(entry)); !written) {
        result.message += " (the history could not be written: " + written.error() + ")";
    }
    return result;
}

// The switch-off of each trigger planned with an entry, as a change of its
// own: recorded, and undone, one by one. The batch was decided as a whole.
void switch_off_triggers(Engine& engine, const ChangeRequest& request, const Plan& planned,
                         std::vector<ChangeResult>& results);

ChangeResult apply_one(Engine& engine, const ChangeRequest& original,
                       std::vector<ChangeResult>& trigger_results) {
    ChangeRequest request = create_to_enable(engine, original);
    Plan planned = plan(engine, request);
    ChangeResult result{planned.id, planned.name, request.action, "", false, false, ""};
    if (planned.blocked()) {
        return failed(std::move(result),
                      {OutcomeKind::failed, "Refused: " + refusal_reason(planned)});
    }
    if (planned.admin_needed) {
        return failed(std::move(result),
                      {OutcomeKind::admin_needed, "This change needs administrator rights."});
    }
    if (waits_for_acceptance(planned) && !request.ack) {
        return failed(std::move(result),
                      {OutcomeKind::needs_confirmation, waiting_message(planned)});
    }
    if (planned.already_done) {
        // Only its triggers are switched off; the entry is as asked already.
        result.ok = true;
        result.message = "It is already switched off.";
    } else {
        Result<Record> record = carry_out(engine, request);
        if (!record) {
            result = failed(std::move(result), platform_failure(record.error()));
            if (!planned.triggers.empty()) {
                result.message += " What starts it was left as it is.";
            }
            return result;
        }
        result = record_success(engine, request, std::move(result), std::move(*record));
    }
    switch_off_triggers(engine, request, planned, trigger_results);
    return result;
}

void switch_off_triggers(Engine& engine, const ChangeRequest& request, const Plan& planned,
                         std::vector<ChangeResult>& results) {
    for (const auto& trigger : planned.triggers) {
        ChangeRequest off;
        off.action = "disable";
        off.id = trigger.id;
        off.stop_now = request.stop_now;
        off.ack = true;
        off.other_starts = OtherStarts::leave;
        std::vector<ChangeResult> none;
        results.push_back(apply_one(engine, off, none));
    }
}

}  // namespace

std::optional<std::string> take_automatic_backup(Engine& engine) {
    std::unique_lock<std::mutex> lock = engine.auto_backup_lock();
    if (engine.auto_backup_taken()) {
        return std::nullopt;
    }
    json::JsonValue document = make_backup(engine, "Automatic, before changes");
    auto saved = save_backup(engine.system(), document, true);
    if (!saved) {
        return saved.error();
    }
    engine.auto_backup_taken() = true;
    return std::nullopt;
}

std::vector<ChangeResult> apply(Engine& engine, const std::vector<ChangeRequest>& requests) {
    std::optional<std::string> backup_failure = take_automatic_backup(engine);
    std::vector<ChangeResult> results;
    std::vector<ChangeResult> trigger_results;
    for (const auto& request : requests) {
        results.push_back(apply_one(engine, request, trigger_results));
    }
    // One result per request in request order first, so that a front end can
    // pair them; the triggers switched off with them follow.
    results.insert(results.end(), std::make_move_iterator(trigger_results.begin()),
                   std::make_move_iterator(trigger_results.end()));
    if (backup_failure && !results.empty()) {
        results.front().message +=
            " (No automatic backup could be saved first: " + *backup_failure + ")";
    }
    engine.clear_items();
    return results;
}

}  // namespace bootsmith::engine
