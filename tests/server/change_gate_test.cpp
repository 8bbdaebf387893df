#include "server/change_gate.hpp"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace bootsmith::server {
namespace {

using namespace std::chrono_literals;

TEST(ChangeGate, StoppingWaitsForChangesInFlightAndAdmitsNoNewOne) {
    ChangeGate gate;
    std::atomic<bool> finished{false};
    std::atomic<bool> entered{false};
    std::thread change([&] {
        std::optional<ChangeGate::Pass> pass = gate.enter();
        entered = pass.has_value();
        std::this_thread::sleep_for(300ms);
        finished = true;
    });
    while (!entered) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(gate.close_and_wait(60s));
    EXPECT_TRUE(finished) << "stopping did not wait for the change";
    EXPECT_FALSE(gate.enter()) << "a change started after stopping began";
    change.join();
}

TEST(ChangeGate, GivesUpWaitingAtItsLimit) {
    ChangeGate gate;
    std::optional<ChangeGate::Pass> stuck = gate.enter();
    ASSERT_TRUE(stuck);
    EXPECT_FALSE(gate.close_and_wait(50ms));
    EXPECT_TRUE(gate.closed());
}

}  // namespace
}  // namespace bootsmith::server
