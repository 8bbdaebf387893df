#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "model/item.hpp"
#include "platform/platform.hpp"

namespace bootsmith::engine {

/// The one engine object of a run (the command context): the platform, its
/// system record, the cache of scanned items and listed candidates, and the
/// flag that the automatic backup was taken. Knowledge is the process-wide
/// current store. Shared by the command and the window's threads.
class Engine {
  public:
    explicit Engine(std::unique_ptr<platform::Platform> platform);

    [[nodiscard]] const platform::SystemInfo& system() const { return m_system; }
    [[nodiscard]] platform::Platform& platform() const { return *m_platform; }
    [[nodiscard]] bool demo() const { return m_system.demo; }

    /// A copy of the cached items (empty when not filled).
    [[nodiscard]] std::vector<model::Item> cached_items() const;
    void store_items(std::vector<model::Item> items);
    void clear_items();
    [[nodiscard]] std::vector<model::Candidate> cached_running() const;
    [[nodiscard]] std::vector<model::Candidate> cached_apps() const;
    void store_running(std::vector<model::Candidate> candidates);
    void store_apps(std::vector<model::Candidate> candidates);

    /// Held while the run's automatic backup is taken, so that a batch that
    /// comes meanwhile waits for it rather than changing things before it.
    [[nodiscard]] std::unique_lock<std::mutex> auto_backup_lock() {
        return std::unique_lock<std::mutex>(m_auto_backup_mutex);
    }
    /// Whether the run's automatic backup was saved; set under auto_backup_lock().
    [[nodiscard]] bool& auto_backup_taken() { return m_auto_backup_taken; }

  private:
    platform::SystemInfo m_system;
    std::unique_ptr<platform::Platform> m_platform;
    mutable std::mutex m_cache_mutex;
    std::vector<model::Item> m_items;
    std::vector<model::Candidate> m_running;
    std::vector<model::Candidate> m_apps;
    std::mutex m_auto_backup_mutex;
    bool m_auto_backup_taken = false;
};

}  // namespace bootsmith::engine
