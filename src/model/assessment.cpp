#include "model/assessment.hpp"

#include <array>

namespace bootsmith::model {

namespace {
constexpr std::array<std::string_view, 6> level_names = {"safe", "low",      "caution",
                                                         "high", "critical", "unknown"};
}  // namespace

std::string_view level_name(Level level) {
    return level_names[static_cast<std::size_t>(level)];
}

std::optional<Level> level_from_text(std::string_view text) {
    for (std::size_t i = 0; i < 5; ++i) {
        if (level_names[i] == text) {
            return static_cast<Level>(i);
        }
    }
    return std::nullopt;
}

Assessment Assessment::make(Level level, std::string effect, std::string confidence) {
    Assessment assessment;
    assessment.level = level;
    assessment.effect = std::move(effect);
    assessment.confidence = std::move(confidence);
    return assessment;
}

json::JsonValue to_json(const Assessment& assessment) {
    return json::JsonValue::object()
        .with_str("level", level_name(assessment.level))
        .with_str("effect", assessment.effect)
        .with_str_list("reasons", assessment.reasons)
        .with_str("confidence", assessment.confidence)
        .with_bool("blocked", assessment.blocked())
        .with_bool("needs_ack", assessment.needs_ack())
        .with_str("source", assessment.source)
        .with_str("matched", assessment.matched);
}

}  // namespace bootsmith::model
