#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/engine.hpp"
#include "platform/demo/demo_platform.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"

namespace bootsmith::engine {

/// An engine on the demonstration computer whose data folder is a fresh
/// temporary one: the demonstration runs as administrator on "windows", so its
/// data folder is "$ProgramData/Bootsmith".
class DemoEngineTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    testing::ScopedEnv program_data{"ProgramData", dir.path().string()};
    Engine engine{std::make_unique<demo::DemoPlatform>()};

    [[nodiscard]] std::filesystem::path data() const { return dir.path() / "Bootsmith"; }
};

}  // namespace bootsmith::engine
