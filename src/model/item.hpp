#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/json.hpp"
#include "model/assessment.hpp"

namespace bootsmith::model {

/// Back-end attributes of an item: ordered pairs with unique keys.
class Extra {
  public:
    /// The value of the pair with this key, or "".
    [[nodiscard]] std::string get(std::string_view key) const;
    /// Replaces the value in place, or appends a new pair at the end.
    void set(std::string_view key, std::string value);
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& pairs() const {
        return m_pairs;
    }
    [[nodiscard]] auto begin() const { return m_pairs.begin(); }
    [[nodiscard]] auto end() const { return m_pairs.end(); }
    friend bool operator==(const Extra&, const Extra&) = default;

  private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

/// Another way an entry can start, even while its own switch is off: a
/// socket, timer or path unit that triggers it, another unit that pulls it
/// in, another autostart file or @reboot line running the same program.
struct StartPath {
    std::string name;
    std::string how;  ///< "socket", "timer", "path", "dbus", "wanted", "autostart", "cron", "unit"
    bool on = false;
    /// Switching the entry off switches this path off too (systemctl disables
    /// a unit's [Install] Also= units with it), so it does not keep it starting.
    bool with_it = false;
    friend bool operator==(const StartPath&, const StartPath&) = default;
};

/// One start-up entry.
struct Item {
    /// The one way to make an item: its id is kind|scope|location|name.
    Item(std::string kind, std::string kind_label, std::string scope, std::string location,
         std::string name);

    std::string id;
    std::string name;
    std::string kind;
    std::string kind_label;
    std::string scope;
    std::string location;
    std::string command;
    std::string exe;
    std::string publisher;
    std::string description;
    std::string origin;
    std::string package;
    std::string state_text;
    std::string toggle = "ok";
    std::string toggle_note;
    std::vector<std::string> dependents;
    std::vector<StartPath> also_started_by;
    /// How long it took to start in this boot, from leaving "inactive" to
    /// becoming active (or to finishing, for a task that runs and ends);
    /// nothing when that was not measured: not started in this boot, failed,
    /// or not something the system times.
    std::optional<std::uint64_t> boot_ms;
    /// When that start ended, in microseconds of the system's monotonic clock
    /// (0: unknown), to compare with the moment the boot finished.
    std::uint64_t boot_done_us = 0;
    /// A target that the boot reaches is ordered after it, so the boot could
    /// not finish before it had started.
    bool boot_target_after = false;
    Extra extra;
    Assessment risk;
    bool enabled = false;
    bool running = false;
    bool managed = false;
};

/// The item's JSON form (members in their fixed order; `extra` is not part of it).
[[nodiscard]] json::JsonValue to_json(const Item& item);

/// One way of starting a candidate.
struct StartMode {
    StartMode(std::string id, std::string label, std::string detail, bool needs_admin,
              bool recommended);
    std::string id;
    std::string label;
    std::string detail;
    bool needs_admin = false;
    bool recommended = false;
};

/// A program that could be added to start-up.
struct Candidate {
    std::string id;
    std::string name;
    std::string source;
    std::string exe;
    std::string command;
    std::string workdir;
    std::string user;
    std::vector<std::uint32_t> pids;
    std::string publisher;
    std::string description;
    std::vector<StartMode> modes;
    std::vector<std::string> notes;
    std::string entry_id;
    bool system = false;
};

[[nodiscard]] json::JsonValue to_json(const StartMode& mode);
[[nodiscard]] json::JsonValue to_json(const Candidate& candidate);

/// What the user asks to be created.
struct CreateRequest {
    std::string name;
    std::string command;
    std::string exe;
    std::string workdir;
    std::string mode;
    std::string user;
    std::string description;
    friend bool operator==(const CreateRequest&, const CreateRequest&) = default;
};

using StoredSpec = std::vector<std::pair<std::string, std::string>>;

/// The seven (key, value) pairs name, command, exe, workdir, mode, user, description.
[[nodiscard]] StoredSpec to_stored(const CreateRequest& request);
/// Read back by key; a missing key gives "".
[[nodiscard]] CreateRequest from_stored(const StoredSpec& stored);

/// The one JSON form of a stored creation request, as the history and the
/// backups keep it: an Object of its pairs in order, every value a String.
[[nodiscard]] json::JsonValue stored_spec_json(const StoredSpec& spec);
/// Reads that form back: the members in order, a value that is not a String
/// as ""; nothing for a missing value or one that is not an Object.
[[nodiscard]] StoredSpec stored_spec_from_json(const json::JsonValue* value);

}  // namespace bootsmith::model
