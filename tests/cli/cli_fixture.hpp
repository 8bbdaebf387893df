#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/run_binary.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::testing {

/// Runs the built program with a private temporary folder, so that every
/// demonstration run makes its data folder there.
class CliTest : public ::testing::Test {
  protected:
    TempDir tmp;

    Outcome demo(std::vector<std::string> args, EnvChanges env = {}) {
        args.insert(args.begin(), "--demo");
        return run(std::move(args), std::move(env));
    }
    Outcome run(std::vector<std::string> args, EnvChanges env = {}) {
        env.emplace("TMPDIR", tmp.path().string());
        env.emplace("BOOTSMITH_TEST_XSS", std::nullopt);
        return run_bootsmith(args, env);
    }
};

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace bootsmith::testing
