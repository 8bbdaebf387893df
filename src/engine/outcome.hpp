#pragma once

#include <string>
#include <string_view>

namespace bootsmith::engine {

/// How a change or an undo ended. The engine decides the kind; each front end
/// words it in its own terms (an exit status and a sentence about sudo on the
/// command line, a "Restart as administrator" button in the window).
enum class OutcomeKind { done, failed, admin_needed, needs_confirmation };

struct Outcome {
    OutcomeKind kind = OutcomeKind::failed;
    /// done: what happened. Otherwise why not, in plain words, without advice
    /// on what to press or type next.
    std::string message;

    [[nodiscard]] bool ok() const { return kind == OutcomeKind::done; }
};

/// A failure message of the platform as a typed outcome: the "ADMIN: " marker,
/// the platform's way of saying that administrator rights would cure it,
/// becomes admin_needed and is dropped from the message.
[[nodiscard]] Outcome platform_failure(std::string_view message);

/// The advice the window adds to an outcome that needs administrator rights.
inline constexpr std::string_view window_admin_advice = " Use \"Restart as administrator\".";

/// The outcome's message as the window shows it: admin_needed gains the
/// advice to restart as administrator.
[[nodiscard]] std::string window_message(const Outcome& outcome);

}  // namespace bootsmith::engine
