#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/json.hpp"
#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/platform.hpp"

namespace bootsmith::engine {

/// One line of journal.jsonl: one change this program made.
struct JournalRecord {
    std::uint64_t seq = 0;
    std::string time;
    std::string action;  ///< enable, disable, create, remove or undo
    std::string id;
    std::string name;
    std::string detail;
    bool ok = false;
    std::uint64_t of = 0;  ///< for "undo": the seq of the undone record
    model::StoredSpec spec;
    bool stop_now = false;
};

/// A record with what the history list derives for it.
struct HistoryEntry {
    JournalRecord record;
    bool undone = false;
    bool can_undo = false;
    /// The short number a user can type instead of the seq: 1 for the oldest
    /// record, so a record keeps its number while newer ones are added.
    std::size_t number = 0;
};

/// The record's line (without the line feed), members in their fixed order.
[[nodiscard]] json::JsonValue to_json(const JournalRecord& record);
/// Reads a record from a parsed line; members of the wrong type read as empty.
[[nodiscard]] JournalRecord record_from_json(const json::JsonValue& value);

/// A new seq: the time in milliseconds, or one more than the last one handed
/// out by this process when that is not greater.
[[nodiscard]] std::uint64_t next_seq();

/// Appends one record (its seq and, when empty, its time are filled in here).
[[nodiscard]] Status append_record(const platform::SystemInfo& system, JournalRecord record);
/// All records of every folder to read, sorted by seq, duplicates dropped.
[[nodiscard]] std::vector<JournalRecord> read_records(const platform::SystemInfo& system);
/// The records newest first, with their undone and can-undo flags.
[[nodiscard]] std::vector<HistoryEntry> history_list(const platform::SystemInfo& system);

/// The seq a user means by an undo: with nothing typed, the newest record
/// that can be undone; a typed number is a record's seq, else its short
/// number, else left as it is (the undo then says it is not in the history).
[[nodiscard]] Result<std::uint64_t> undo_target(const std::vector<HistoryEntry>& entries,
                                                std::optional<std::uint64_t> typed);

/// The stored request of the newest successful "create" of this item, else one
/// built from the item itself.
[[nodiscard]] model::StoredSpec creation_spec(const std::vector<JournalRecord>& records,
                                              const model::Item& item);

}  // namespace bootsmith::engine
