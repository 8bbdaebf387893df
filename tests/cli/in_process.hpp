#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "cli/args.hpp"
#include "cli/command.hpp"
#include "engine/assess.hpp"
#include "engine/lookup.hpp"
#include "engine/test_platform.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::testing {

/// Commands run in this process on one engine over the demonstration computer,
/// with its data in a temporary folder, so that backups, the history and
/// created entries outlive one command.
class InProcessCli : public ::testing::Test {
  protected:
    TempDir dir;
    // The demonstration runs as administrator on "windows": it keeps its data
    // in "$ProgramData/Bootsmith".
    ScopedEnv program_data{"ProgramData", dir.path().string()};
    engine::Engine context{std::make_unique<engine::TestPlatform>()};
    std::ostringstream out;
    std::ostringstream err;

    int command(int (*run)(cli::Invocation&), const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        cli::ParsedArgs parsed = cli::parse_args(args);
        cli::Invocation inv{parsed, context, out, err};
        return run(inv);
    }

    /// The item of that name now, after a fresh scan.
    std::optional<model::Item> item_named(std::string_view name) {
        for (auto& item : engine::scan_and_assess(context).items) {
            if (item.name == name) {
                return item;
            }
        }
        return std::nullopt;
    }
};

}  // namespace bootsmith::testing
