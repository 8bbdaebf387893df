#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/text.hpp"

namespace bootsmith::util {

struct RunResult {
    std::string out;
    std::string err;
    /// Standard output exactly as the program wrote it, for callers that must
    /// give text back unchanged (decoding would turn stray bytes into others).
    std::string raw_out;
    /// -1 when the program could not start, was ended by a signal or was
    /// stopped at its time limit.
    int exit_code = -1;
    bool timed_out = false;
    /// The program wrote more than the output limit and was stopped (exit
    /// code -1); `out` then holds only the first part.
    bool too_long = false;

    /// Started, exited with code 0 and was not ended by a signal.
    [[nodiscard]] bool ok() const { return exit_code == 0 && !timed_out; }
};

/// Runs a program without a shell (looked up on PATH), with extra environment
/// pairs added to the inherited environment, the input text (when given) on its
/// standard input, and its outputs captured. Killed with SIGKILL after
/// `limit_seconds`, or as soon as its standard output passes `output_limit`
/// bytes (0: no limit). Never throws and never leaves a zombie.
[[nodiscard]] RunResult run_program(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const Pairs& extra_env = {},
                                    const std::optional<std::string>& input = std::nullopt,
                                    int limit_seconds = 30, std::size_t output_limit = 0);

}  // namespace bootsmith::util
