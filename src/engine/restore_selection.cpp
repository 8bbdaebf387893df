#include "engine/restore_selection.hpp"

namespace bootsmith::engine {

std::vector<PlannedRestoreChange> choose_restore_changes(Engine& engine, const RestorePlan& plan,
                                                         bool all) {
    std::vector<PlannedRestoreChange> planned;
    for (const auto& change : plan.changes) {
        PlannedRestoreChange step{change, std::nullopt, RestoreChoice::note};
        if (change.request) {
            step.plan = engine::plan(engine, *change.request);
            step.choice = step.plan->blocked()     ? RestoreChoice::skip
                          : change.selected || all ? RestoreChoice::chosen
                                                   : RestoreChoice::unticked;
        }
        planned.push_back(std::move(step));
    }
    return planned;
}

std::vector<ChangeRequest> chosen_requests(const std::vector<PlannedRestoreChange>& changes,
                                           bool accepted) {
    std::vector<ChangeRequest> batch;
    for (const auto& step : changes) {
        if (step.choice == RestoreChoice::chosen) {
            batch.push_back(*step.change.request);
            batch.back().ack = accepted;
        }
    }
    return batch;
}

std::vector<Plan> held_for_decision(const std::vector<PlannedRestoreChange>& changes,
                                    bool accepted) {
    std::vector<Plan> held;
    for (const auto& step : changes) {
        if (step.choice == RestoreChoice::chosen && step.plan && !accepted &&
            !step.plan->admin_needed && step.plan->risk.needs_ack()) {
            held.push_back(*step.plan);
        }
    }
    return held;
}

}  // namespace bootsmith::engine
