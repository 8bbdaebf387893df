#pragma once

#include <optional>
#include <vector>

#include "engine/changes.hpp"
#include "engine/engine.hpp"
#include "engine/restore.hpp"

namespace bootsmith::engine {

/// What applying a restore does with one proposed change.
enum class RestoreChoice {
    note,     ///< only a note: nothing can be done
    skip,     ///< its plan is blocked
    chosen,   ///< applied: ticked by default, or every change was asked for
    unticked  ///< possible, but only when asked for
};

struct PlannedRestoreChange {
    RestoreChange change;
    std::optional<Plan> plan;  ///< none for a note
    RestoreChoice choice = RestoreChoice::note;
};

/// Plans every change of a restore plan and chooses what applying it does:
/// the changes ticked by default, or with `all` every change that is possible.
[[nodiscard]] std::vector<PlannedRestoreChange> choose_restore_changes(Engine& engine,
                                                                       const RestorePlan& plan,
                                                                       bool all);

/// The plans of the chosen changes that wait for the user's decision when it
/// was not given: possible, but asking for an acknowledgement. A restore is
/// one step back, so while any waits, none of it is applied.
[[nodiscard]] std::vector<Plan> held_for_decision(const std::vector<PlannedRestoreChange>& changes,
                                                  bool accepted);

/// The requests of the chosen changes, in order, with the user's acceptance.
[[nodiscard]] std::vector<ChangeRequest> chosen_requests(
    const std::vector<PlannedRestoreChange>& changes, bool accepted);

}  // namespace bootsmith::engine
