#pragma once

#include <cstdint>

#include "engine/engine.hpp"
#include "engine/outcome.hpp"

namespace bootsmith::engine {

/// Undoes the recorded change with this seq by the opposite change through the
/// platform. needs_confirmation asks for the user's decision first (call again
/// with `acknowledged`); admin_needed says that administrator rights are
/// missing, before or while the platform changes anything.
[[nodiscard]] Outcome undo(Engine& engine, std::uint64_t seq, bool acknowledged);

}  // namespace bootsmith::engine
