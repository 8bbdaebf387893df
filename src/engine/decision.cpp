#include "engine/decision.hpp"

namespace bootsmith::engine {

Decision decide(const Plan& plan, bool accepted) {
    Decision decision;
    if (plan.blocked()) {
        decision.verdict = Verdict::blocked;
        decision.problems = plan.problems;
        decision.critical = plan.risk.blocked();
        return decision;
    }
    if (plan.admin_needed) {
        decision.verdict = Verdict::admin_needed;
        return decision;
    }
    bool asks = plan.action == "remove" || plan.risk.needs_ack();
    if (!accepted) {
        for (const auto& path : plan.still_started_by) {
            decision.still_started_through.push_back(path.name);
        }
    }
    if ((asks || !decision.still_started_through.empty()) && !accepted) {
        decision.verdict = Verdict::needs_decision;
    }
    return decision;
}

}  // namespace bootsmith::engine
