#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "server/change_gate.hpp"
#include "server/request.hpp"
#include "server/response.hpp"
#include "server/server_state.hpp"

namespace bootsmith::server {

/// Completes `request.body` to exactly its content length, at most `limit`
/// bytes; false when it is larger, late or cut short.
using BodyReader = std::function<bool(Request& request, std::uint64_t limit)>;

/// Everything between reading a head and writing the answer: the Host and
/// Origin checks, the page, the bootstrap, the token, the body and the routes.
/// A change made by the request keeps `pass` until the answer has been sent,
/// so that stopping waits for it. Needs no socket.
[[nodiscard]] Response answer(ServerState& state, Request& request, const BodyReader& read_body,
                              std::optional<ChangeGate::Pass>& pass);

}  // namespace bootsmith::server
