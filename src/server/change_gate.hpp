#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>

namespace bootsmith::server {

/// Lets the window stop without cutting a change in half: a change holds a
/// pass while it runs, and once stopping has begun no new pass is given out.
/// Ending the process between a change and its history record would leave a
/// change that cannot be undone.
class ChangeGate {
  public:
    class Pass {
      public:
        explicit Pass(ChangeGate& gate) : m_gate(&gate) {}
        Pass(Pass&& other) noexcept : m_gate(std::exchange(other.m_gate, nullptr)) {}
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        Pass& operator=(Pass&&) = delete;
        ~Pass() {
            if (m_gate != nullptr) {
                m_gate->finish();
            }
        }

      private:
        ChangeGate* m_gate;
    };

    /// A pass for one change, or nothing once stopping has begun.
    [[nodiscard]] std::optional<Pass> enter();
    /// Refuses new changes from now on.
    void close();
    /// Refuses new changes from now on and waits until those running are done
    /// or the limit has passed; true when none is left running.
    bool close_and_wait(std::chrono::milliseconds limit);
    [[nodiscard]] bool closed() const;

  private:
    void finish();

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::size_t m_running = 0;
    bool m_closed = false;
};

}  // namespace bootsmith::server
