#pragma once

#include <vector>

#include "engine/engine.hpp"

namespace bootsmith::engine {

/// The platform's probes followed by the engine's own: knowledge, each
/// knowledge file that was ignored, and the history and backups folder.
[[nodiscard]] std::vector<platform::Probe> doctor(Engine& engine);

}  // namespace bootsmith::engine
