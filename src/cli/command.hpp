#pragma once

#include <ostream>
#include <string_view>

#include "cli/args.hpp"
#include "engine/engine.hpp"

namespace bootsmith::cli {

/// Everything one command needs: the parsed arguments, the engine (command
/// context) and the two output streams.
struct Invocation {
    const ParsedArgs& args;
    engine::Engine& engine;
    std::ostream& out;
    std::ostream& err;
};

/// What the command line says after a change that failed only for lack of
/// administrator rights (the window offers its restart button instead).
inline constexpr std::string_view sudo_advice = "Run it again with sudo.";

/// Exit statuses shared by all commands.
enum ExitStatus : int {
    exit_done = 0,
    exit_failed = 1,
    exit_usage = 2,
    exit_admin = 3,
    exit_decision = 4,
};

}  // namespace bootsmith::cli
