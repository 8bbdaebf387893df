#pragma once

#include <cstdint>

#include "engine/engine.hpp"

namespace bootsmith::server {

enum class Browser { open, leave_closed };

/// Starts the local window on 127.0.0.1 (port 0: the system chooses), prints
/// its one-time link and serves until a stop rule or /api/quit ends the
/// process with status 0. Returns 1 only when the window could not start.
[[nodiscard]] int serve(engine::Engine& engine, std::uint16_t port, Browser browser);

}  // namespace bootsmith::server
