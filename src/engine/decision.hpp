#pragma once

#include <string>
#include <vector>

#include "engine/changes.hpp"
#include "engine/lookup.hpp"

namespace bootsmith::engine {

/// What may happen with a planned change, in the order the gate asks.
enum class Verdict {
    go,              ///< carry it out
    nothing_to_do,   ///< the item is in the state asked for already
    blocked,         ///< not possible, or the item is critical
    admin_needed,    ///< administrator rights are missing
    needs_decision,  ///< the user must accept the warnings (or the deletion) first
};

struct Decision {
    Verdict verdict = Verdict::go;
    std::vector<std::string> problems;  ///< why it is blocked (may be empty for a critical item)
    bool critical = false;              ///< blocked because the item is critical
    /// Needs a decision because the item was found by a part of its name
    /// (`risky` tells whether the change itself asks as well).
    bool part_of_name = false;
    bool risky = false;
    /// A switch-off that needs a decision because these would still start it.
    std::vector<std::string> still_started_through;
};

/// The decision gate before applying a planned change; `accepted` is the
/// user's acceptance (--yes, or a confirmation in the window). A removal
/// always needs it, whatever the risk, because it deletes the entry; so does a
/// switch-off after which something else would still start the entry.
/// A change of an item found by a part of its name needs it too, so that a
/// short word cannot change an item the user did not mean.
[[nodiscard]] Decision decide(const Plan& plan, bool accepted, Match match = Match::id);

/// Whether applying a possible plan waits for the user's acceptance (`ack`):
/// a risky level of the entry or of a trigger switched off with it, or another
/// way that would still start it. This is the decision of `decide`, less the
/// deletion of an entry, which each front end confirms in its own way.
[[nodiscard]] bool waits_for_acceptance(const Plan& plan);

}  // namespace bootsmith::engine
