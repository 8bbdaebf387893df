#include "server/change_gate.hpp"

namespace bootsmith::server {

std::optional<ChangeGate::Pass> ChangeGate::enter() {
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        return std::nullopt;
    }
    ++m_running;
    return std::optional<Pass>(std::in_place, *this);
}

void ChangeGate::close() {
    std::lock_guard lock(m_mutex);
    m_closed = true;
}

bool ChangeGate::close_and_wait(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_closed = true;
    return m_idle.wait_for(lock, limit, [this] { return m_running == 0; });
}

bool ChangeGate::closed() const {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

void ChangeGate::finish() {
    std::lock_guard lock(m_mutex);
    --m_running;
    if (m_running == 0) {
        m_idle.notify_all();
    }
}

}  // namespace bootsmith::server
