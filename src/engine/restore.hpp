#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/changes.hpp"
#include "engine/engine.hpp"
#include "foundation/json.hpp"

namespace bootsmith::engine {

/// One proposed step back towards a backup.
struct RestoreChange {
    std::string id;
    std::string name;
    std::string note;
    std::optional<ChangeRequest> request;  ///< none for a note
    std::string what;                      ///< "state", "missing", "recreate" or "remove"
    bool selected = false;                 ///< ticked by default
    /// For a re-creation, what both front ends show before it is made: the
    /// command it will start, how, and the account it will run as (always
    /// the account Bootsmith acts for, never one named in the backup file),
    /// with the warning to read the command first. Empty otherwise.
    std::string command;
    std::string mode;
    std::string runs_as;
    std::string warning;
};

/// The comparison of a backup with the present state.
struct RestorePlan {
    std::vector<RestoreChange> changes;
    json::JsonValue header;  ///< created, label, host, os, os_version, tool_version, count
    std::size_t same = 0;
    std::size_t appeared = 0;
    bool wrong_machine = false;
    std::vector<std::string> appeared_names;  ///< the names counted in `appeared`, in scan order
};

/// Compares a parsed backup document with the items present now.
[[nodiscard]] RestorePlan restore_plan(Engine& engine, const json::JsonValue& backup);

}  // namespace bootsmith::engine
