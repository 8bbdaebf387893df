#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/engine.hpp"
#include "server/change_gate.hpp"

namespace bootsmith::server {

/// What every thread of one window shares; made once when the window starts.
struct ServerState {
    ServerState(engine::Engine& engine_, std::string link_key_, std::string token_,
                std::uint16_t port_, std::int64_t start_, std::string_view page_)
        : engine(engine_),
          link_key(std::move(link_key_)),
          token(std::move(token_)),
          port(port_),
          start(start_),
          page(page_) {}

    engine::Engine& engine;
    const std::string link_key;  ///< the one-time secret of the printed link
    const std::string token;     ///< the secret every API call presents
    const std::uint16_t port;
    const std::int64_t start;     ///< Unix seconds
    const std::string_view page;  ///< the page text with its "{{NONCE}}" slot

    std::atomic<std::int64_t> last_ping{0};
    std::atomic<std::int64_t> bye{0};
    std::atomic<std::uint64_t> active{0};
    std::atomic<bool> link_used{false};
    std::atomic<bool> opened{false};
    ChangeGate changes;
    /// Ends the process soon after /api/quit has been answered.
    std::function<void()> quit;
};

}  // namespace bootsmith::server
