#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bootsmith::testing {

struct Outcome {
    std::string out;
    std::string err;
    int status = -1;  ///< exit status, or -1 when ended by a signal
};

/// Environment changes for a child: a value sets the variable, nullopt removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

/// Runs a program with arguments (no shell), the current environment changed by
/// `env`, and `input` on its standard input; collects both outputs.
[[nodiscard]] Outcome run_command(const std::string& program, const std::vector<std::string>& args,
                                  const EnvChanges& env = {}, const std::string& input = "");

/// Runs the built bootsmith with LC_ALL=C plus `env`.
[[nodiscard]] Outcome run_bootsmith(const std::vector<std::string>& args,
                                    const EnvChanges& env = {}, const std::string& input = "");

/// The path of the built bootsmith program.
[[nodiscard]] std::string bootsmith_binary();
/// The source tree's root folder.
[[nodiscard]] std::string source_dir();

}  // namespace bootsmith::testing
