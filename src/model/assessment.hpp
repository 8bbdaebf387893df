#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/json.hpp"

namespace bootsmith::model {

/// How much harm switching an item off could do. The numbering is used in
/// comparisons; `unknown` sorts above `critical` but means nothing can be said.
enum class Level { safe = 0, low = 1, caution = 2, high = 3, critical = 4, unknown = 5 };

/// "safe", "low", "caution", "high", "critical" or "unknown".
[[nodiscard]] std::string_view level_name(Level level);
/// The five pack levels by exact name; "unknown", other case or spaces give nothing.
[[nodiscard]] std::optional<Level> level_from_text(std::string_view text);

/// The judgement of switching one item off.
struct Assessment {
    std::string effect;
    std::vector<std::string> reasons;
    std::string confidence = "low";
    Level level = Level::unknown;
    /// Where the judgement came from: "own", "masked", "rule", "family", "hint",
    /// "os-default" or "general"; empty before an item is assessed.
    std::string source;
    /// The rule's pattern or the hint's word that judged it; empty otherwise.
    std::string matched;

    static Assessment make(Level level, std::string effect, std::string confidence);
    void add_reason(std::string reason) { reasons.push_back(std::move(reason)); }

    /// Never switched off: true exactly for `critical`.
    [[nodiscard]] bool blocked() const { return level == Level::critical; }
    /// Needs the user's decision: `caution`, `high` and `unknown`.
    [[nodiscard]] bool needs_ack() const {
        return level == Level::caution || level == Level::high || level == Level::unknown;
    }
    friend bool operator==(const Assessment&, const Assessment&) = default;
};

/// {level, effect, reasons, confidence, blocked, needs_ack, source, matched}, in that order.
[[nodiscard]] json::JsonValue to_json(const Assessment& assessment);

}  // namespace bootsmith::model
