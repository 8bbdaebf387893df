#include "engine/decision.hpp"

#include <gtest/gtest.h>

namespace bootsmith::engine {
namespace {

using model::Assessment;
using model::Level;

TEST(Decision, TheGateAsksInOrder) {
    struct Case {
        const char* what;
        std::string action;
        Level level;
        std::vector<std::string> problems;
        bool admin_needed;
        bool accepted;
        Verdict verdict;
        bool critical;
    };
    const Case cases[] = {
        {"a problem blocks before rights",
         "disable",
         Level::safe,
         {"It is gone."},
         true,
         true,
         Verdict::blocked,
         false},
        {"a critical item is blocked",
         "disable",
         Level::critical,
         {},
         false,
         true,
         Verdict::blocked,
         true},
        {"missing rights before a decision",
         "disable",
         Level::high,
         {},
         true,
         false,
         Verdict::admin_needed,
         false},
        {"a risky change waits for a decision",
         "disable",
         Level::caution,
         {},
         false,
         false,
         Verdict::needs_decision,
         false},
        {"an accepted risky change goes",
         "disable",
         Level::unknown,
         {},
         false,
         true,
         Verdict::go,
         false},
        {"a safe change needs no decision",
         "enable",
         Level::safe,
         {},
         false,
         false,
         Verdict::go,
         false},
        {"a removal always asks",
         "remove",
         Level::low,
         {},
         false,
         false,
         Verdict::needs_decision,
         false},
        {"an accepted removal goes", "remove", Level::low, {}, false, true, Verdict::go, false},
    };
    for (const Case& c : cases) {
        Plan plan;
        plan.action = c.action;
        plan.risk = Assessment::make(c.level, "Effect.", "high");
        plan.problems = c.problems;
        plan.admin_needed = c.admin_needed;
        Decision decision = decide(plan, c.accepted);
        EXPECT_EQ(decision.verdict, c.verdict) << c.what;
        EXPECT_EQ(decision.critical, c.critical) << c.what;
        EXPECT_EQ(decision.problems,
                  c.verdict == Verdict::blocked ? c.problems : std::vector<std::string>{})
            << c.what;
    }
}

}  // namespace
}  // namespace bootsmith::engine

namespace bootsmith::engine {
namespace {

TEST(Decision, ASwitchOffThatWouldStillStartWaitsForADecision) {
    Plan plan;
    plan.action = "disable";
    plan.risk = model::Assessment::make(model::Level::safe, "Effect.", "high");
    plan.still_started_by = {{"cups.socket", "socket", true}, {"cups.path", "path", true}};
    Decision waiting = decide(plan, false);
    EXPECT_EQ(waiting.verdict, Verdict::needs_decision) << "even a safe entry";
    EXPECT_EQ(waiting.still_started_through,
              (std::vector<std::string>{"cups.socket", "cups.path"}));
    Decision accepted = decide(plan, true);
    EXPECT_EQ(accepted.verdict, Verdict::go);
    EXPECT_TRUE(accepted.still_started_through.empty());
    plan.problems = {"It is already switched off."};
    EXPECT_EQ(decide(plan, false).verdict, Verdict::blocked) << "a problem comes first";
}

TEST(Decision, AlreadyDoneIsNothingToDoOnlyWithoutAnotherProblem) {
    Plan plan;
    plan.action = "disable";
    plan.already_done = true;
    plan.problems = {"It is already switched off."};
    EXPECT_EQ(decide(plan, false).verdict, Verdict::nothing_to_do);
    plan.problems.insert(plan.problems.begin(), "Another unit starts it through a link.");
    Decision refused = decide(plan, true);
    EXPECT_EQ(refused.verdict, Verdict::blocked);
    EXPECT_EQ(refused.problems.front(), "Another unit starts it through a link.");
}

}  // namespace
}  // namespace bootsmith::engine
