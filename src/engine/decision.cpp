#include "engine/decision.hpp"

#include <algorithm>

namespace bootsmith::engine {

namespace {

bool risky_level(const Plan& plan) {
    return plan.risk.needs_ack() ||
           std::any_of(plan.triggers.begin(), plan.triggers.end(),
                       [](const Plan& trigger) { return trigger.risk.needs_ack(); });
}

}  // namespace

Decision decide(const Plan& plan, bool accepted, Match match) {
    Decision decision;
    // Asked twice, `disable X` succeeds twice, as systemctl does: scripts and
    // fleet tools run a change again and again. Only when that is all there is
    // to say: a unit systemd calls disabled but another unit still starts is
    // refused with its reason.
    if (plan.already_done && plan.problems.size() == 1 && plan.triggers.empty()) {
        decision.verdict = Verdict::nothing_to_do;
        return decision;
    }
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
    decision.risky = plan.action == "remove" || risky_level(plan);
    decision.part_of_name = match == Match::part;
    if (!accepted) {
        for (const auto& path : plan.still_started_by) {
            decision.still_started_through.push_back(path.name);
        }
    }
    bool asks = decision.risky || decision.part_of_name || !decision.still_started_through.empty();
    if (asks && !accepted) {
        decision.verdict = Verdict::needs_decision;
    }
    return decision;
}

bool waits_for_acceptance(const Plan& plan) {
    return risky_level(plan) || !plan.still_started_by.empty();
}

}  // namespace bootsmith::engine
