#pragma once

#include <optional>
#include <string_view>

#include "foundation/json.hpp"
#include "server/change_gate.hpp"
#include "server/server_state.hpp"

namespace bootsmith::server {

/// One API request as the routes see it: the shared state, the request's JSON
/// (an empty object when it had no body) and where a change keeps its pass.
struct ApiCall {
    ServerState& state;
    const json::JsonValue& body;
    std::optional<ChangeGate::Pass>& pass;
};

/// Answers a token-checked API request; nothing when no route has that method
/// and path. Every success object begins with "ok": true; failures of the
/// operation are "ok": false with its "message".
[[nodiscard]] std::optional<json::JsonValue> route(ApiCall& call, std::string_view method,
                                                   std::string_view path);

}  // namespace bootsmith::server
