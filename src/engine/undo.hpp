#pragma once

#include <cstdint>

#include "engine/engine.hpp"
#include "foundation/result.hpp"

namespace bootsmith::engine {

/// Undoes the recorded change with this seq by the opposite change through the
/// platform. A failure that begins with "CONFIRM: " asks for the user's
/// decision first (call again with `acknowledged`).
[[nodiscard]] Result<std::string> undo(Engine& engine, std::uint64_t seq, bool acknowledged);

}  // namespace bootsmith::engine
