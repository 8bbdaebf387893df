#pragma once

#include <string>
#include <vector>

#include "engine/changes.hpp"

namespace bootsmith::engine {

/// What may happen with a planned change, in the order the gate asks.
enum class Verdict {
    go,              ///< carry it out
    blocked,         ///< not possible, or the item is critical
    admin_needed,    ///< administrator rights are missing
    needs_decision,  ///< the user must accept the warnings (or the deletion) first
};

struct Decision {
    Verdict verdict = Verdict::go;
    std::vector<std::string> problems;  ///< why it is blocked (may be empty for a critical item)
    bool critical = false;              ///< blocked because the item is critical
    /// A switch-off that needs a decision because these would still start it.
    std::vector<std::string> still_started_through;
};

/// The decision gate before applying a planned change; `accepted` is the
/// user's acceptance (--yes, or a confirmation in the window). A removal
/// always needs it, whatever the risk, because it deletes the entry; so does a
/// switch-off after which something else would still start the entry.
[[nodiscard]] Decision decide(const Plan& plan, bool accepted);

}  // namespace bootsmith::engine
