#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/changes.hpp"
#include "engine/engine.hpp"
#include "engine/history.hpp"
#include "engine/lookup.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_dir.hpp"
#include "test_platform.hpp"

namespace bootsmith::engine {

/// An engine on the (adjustable) demonstration computer with a fresh data
/// folder: "$ProgramData/Bootsmith", because the demonstration runs as
/// administrator on "windows".
class ChangeTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    testing::ScopedEnv program_data{"ProgramData", dir.path().string()};
    // Where an engine without administrator rights writes on "windows".
    testing::ScopedEnv local_app_data{"LOCALAPPDATA", (dir.path() / "user").string()};
    TestPlatform* platform = nullptr;
    std::unique_ptr<Engine> engine;

    void SetUp() override { make_engine(); }

    void make_engine(std::optional<platform::SystemInfo> system = std::nullopt) {
        auto test_platform = std::make_unique<TestPlatform>();
        test_platform->system_override = std::move(system);
        platform = test_platform.get();
        engine = std::make_unique<Engine>(std::move(test_platform));
    }

    [[nodiscard]] std::filesystem::path data() const { return dir.path() / "Bootsmith"; }

    [[nodiscard]] std::size_t files_in(const std::filesystem::path& folder) const {
        std::error_code ec;
        std::size_t n = 0;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            ++n;
        }
        return n;
    }

    [[nodiscard]] model::Item item_named(std::string_view name) {
        for (auto& item : items(*engine)) {
            if (item.name == name) {
                return item;
            }
        }
        ADD_FAILURE() << "no item " << name;
        return model::Item("", "", "", "", "");
    }

    /// The demonstration item with this name in a scanned list, so that tests
    /// do not depend on the order of the demonstration data.
    static model::Item& named(std::vector<model::Item>& items, std::string_view name) {
        for (auto& item : items) {
            if (item.name == name) {
                return item;
            }
        }
        ADD_FAILURE() << "no item " << name;
        static model::Item none("", "", "", "", "");
        return none;
    }

    static ChangeRequest request(std::string action, std::string id, bool ack = false) {
        ChangeRequest r;
        r.action = std::move(action);
        r.id = std::move(id);
        r.ack = ack;
        return r;
    }

    static ChangeRequest creation(std::string id, std::string name, std::string command,
                                  std::string mode = "login") {
        ChangeRequest r;
        r.action = "create";
        r.id = std::move(id);
        r.create.name = std::move(name);
        r.create.command = std::move(command);
        r.create.mode = std::move(mode);
        return r;
    }
};

}  // namespace bootsmith::engine
