#pragma once

#include <string>
#include <vector>

#include "engine/backups.hpp"
#include "engine/history.hpp"
#include "engine/restore.hpp"
#include "foundation/json.hpp"
#include "platform/platform.hpp"

namespace bootsmith::cli {

// The JSON forms of `--json`: the window's answers without their `ok` member,
// so a script and the window read the same shapes.

/// One object per history record, newest first: `number`, `seq`, `time`,
/// `action`, `name`, `command`, `detail`, `ok`, `undone`, `can_undo`.
[[nodiscard]] json::JsonValue history_json(const std::vector<engine::HistoryEntry>& entries);
/// `folder` and `backups` (each `name`, `path`, `label`, `time`, `host`,
/// `count`, `size`, `auto`).
[[nodiscard]] json::JsonValue backups_json(const std::string& folder,
                                           const std::vector<engine::BackupListing>& backups);
/// `probes` (each `name`, `status` "ok", "warn" or "fail", `detail`), then the
/// counts `warnings` and `failed`.
[[nodiscard]] json::JsonValue doctor_json(const std::vector<platform::Probe>& probes);
/// What a restore would do, one mark ("do", "ask", "skip" or "note") per change.
struct MarkedChange {
    const engine::RestoreChange* change;
    std::string mark;
};
/// `header`, `same`, `appeared`, `wrong_machine` and `items` (each `kind`,
/// `id`, `name`, `detail`, `selected`, `mark`, `change`).
[[nodiscard]] json::JsonValue restore_json(const engine::RestorePlan& plan,
                                           const std::vector<MarkedChange>& changes);

/// The probe status as a word of the JSON form.
[[nodiscard]] std::string probe_status_word(const std::string& status);

}  // namespace bootsmith::cli
