#include "engine/outcome.hpp"

namespace bootsmith::engine {

namespace {

// The wire form between the platform and the engine; nothing above the
// engine reads it.
constexpr std::string_view admin_marker = "ADMIN: ";

}  // namespace

Outcome platform_failure(std::string_view message) {
    if (message.starts_with(admin_marker)) {
        return {OutcomeKind::admin_needed, std::string(message.substr(admin_marker.size()))};
    }
    return {OutcomeKind::failed, std::string(message)};
}

std::string window_message(const Outcome& outcome) {
    if (outcome.kind == OutcomeKind::admin_needed) {
        return outcome.message + std::string(window_admin_advice);
    }
    return outcome.message;
}

}  // namespace bootsmith::engine
