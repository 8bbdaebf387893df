#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine.hpp"
#include "engine/outcome.hpp"
#include "foundation/json.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

/// What a switch-off does about the other ways, switched on now, that would
/// still start its entry (a socket, a timer, another unit...).
enum class OtherStarts {
    ask,         ///< the change waits for the user's acceptance while any of them is on
    switch_off,  ///< the listed entries among them are switched off with it, in the same batch
    leave,       ///< nothing is asked: each of them is an entry of its own that a restore puts
                 ///< back as the backup has it
};

/// One requested change: "enable", "disable", "remove" or "create".
struct ChangeRequest {
    std::string action;
    std::string id;               ///< item id, or candidate id for "create" (may be empty)
    model::CreateRequest create;  ///< only for "create"
    util::Pairs hints;            ///< extra wishes handed to the platform as "want_" attributes
    bool stop_now = false;
    bool ack = false;  ///< the user accepted the warnings
    /// For "create": switch the new entry off at once, as the backup it is
    /// restored from recorded it.
    bool switched_off = false;
    OtherStarts other_starts = OtherStarts::ask;
};

/// What a request would do; it changes nothing.
struct Plan {
    std::string id;
    std::string name;
    std::string action;
    model::Assessment risk;
    std::vector<std::string> problems;  ///< any entry means the change cannot be made
    std::optional<model::CreateRequest> spec;
    bool admin_needed = false;
    /// The item is already in the state asked for (its problem says so): a
    /// front end may report that nothing needed doing instead of a refusal.
    bool already_done = false;
    /// For a switch-off: the other ways, switched on now, that would still start it.
    /// With `OtherStarts::ask` all of them; with `switch_off` those that stay.
    std::vector<model::StartPath> still_started_by;
    /// The listed entries that start it and that switching off with its
    /// triggers would switch off too.
    std::vector<std::string> switchable_triggers;
    /// With `OtherStarts::switch_off`: the switch-off of each of those entries.
    std::vector<Plan> triggers;
    /// With `OtherStarts::switch_off`: why a way that starts it stays.
    std::vector<std::string> trigger_notes;

    [[nodiscard]] bool blocked() const { return !problems.empty() || risk.blocked(); }
};

/// The outcome of one applied request.
struct ChangeResult {
    std::string id;
    std::string name;
    std::string action;
    std::string message;
    bool ok = false;
    bool admin = false;  ///< failed only for lack of administrator rights
    /// A failure in plain words, without the window's advice that `message`
    /// carries; the command line gives its own advice instead.
    std::string reason;
};

[[nodiscard]] json::JsonValue to_json(const Plan& plan);

/// Why a blocked plan is refused: its problems joined with single spaces, or
/// the effect when it is refused only for being critical.
[[nodiscard]] std::string refusal_reason(const Plan& plan);

/// A "create" for a listed candidate that already has a start-up entry becomes
/// an "enable" of that entry.
[[nodiscard]] ChangeRequest create_to_enable(const Engine& engine, ChangeRequest request);

/// Plans one request (after the create-to-enable rule).
[[nodiscard]] Plan plan(Engine& engine, const ChangeRequest& request);
[[nodiscard]] std::vector<Plan> plan_many(Engine& engine,
                                          const std::vector<ChangeRequest>& requests);

/// Saves the automatic backup once per run, plans each request again, carries
/// out what the plan allows and records every success in the history.
[[nodiscard]] std::vector<ChangeResult> apply(Engine& engine,
                                              const std::vector<ChangeRequest>& requests);

/// Saves the run's automatic backup unless it was taken already; the failure
/// reason when it could not be saved (the flag is then cleared for a retry).
[[nodiscard]] std::optional<std::string> take_automatic_backup(Engine& engine);

}  // namespace bootsmith::engine
