#pragma once

#include "foundation/descriptor.hpp"
#include "server/server_state.hpp"

namespace bootsmith::server {

/// Serves the one request of an accepted connection and closes it: reads the
/// head within its limits (a slow, oversized or malformed head is closed
/// without an answer), answers, drains what is left of an erroneous request
/// so the browser sees the answer rather than a reset.
void handle_connection(ServerState& state, util::Descriptor socket);

}  // namespace bootsmith::server
