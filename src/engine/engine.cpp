#include "engine/engine.hpp"

namespace bootsmith::engine {

Engine::Engine(std::unique_ptr<platform::Platform> platform)
    : m_system(platform->system_info()), m_platform(std::move(platform)) {}

std::vector<model::Item> Engine::cached_items() const {
    std::lock_guard lock(m_cache_mutex);
    return m_items;
}

void Engine::store_items(std::vector<model::Item> items) {
    std::lock_guard lock(m_cache_mutex);
    m_items = std::move(items);
}

void Engine::clear_items() {
    std::lock_guard lock(m_cache_mutex);
    m_items.clear();
}

std::vector<model::Candidate> Engine::cached_running() const {
    std::lock_guard lock(m_cache_mutex);
    return m_running;
}

std::vector<model::Candidate> Engine::cached_apps() const {
    std::lock_guard lock(m_cache_mutex);
    return m_apps;
}

void Engine::store_running(std::vector<model::Candidate> candidates) {
    std::lock_guard lock(m_cache_mutex);
    m_running = std::move(candidates);
}

void Engine::store_apps(std::vector<model::Candidate> candidates) {
    std::lock_guard lock(m_cache_mutex);
    m_apps = std::move(candidates);
}

}  // namespace bootsmith::engine
