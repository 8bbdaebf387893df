#pragma once

// Lets GoogleTest show an UpdateOutcome in failure messages.

#include <ostream>

#include "knowledge/updates.hpp"

namespace bootsmith::knowledge {

inline void PrintTo(const UpdateOutcome& outcome, std::ostream* os) {
    *os << (outcome.failed ? "failed: \"" : "done: \"") << outcome.message << "\"";
}

}  // namespace bootsmith::knowledge
