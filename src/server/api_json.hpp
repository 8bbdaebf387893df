#pragma once

#include <vector>

#include "engine/backups.hpp"
#include "engine/changes.hpp"
#include "engine/history.hpp"
#include "engine/restore.hpp"
#include "foundation/json.hpp"

namespace bootsmith::server {

/// The requests of a body's "changes" array (anything else is an empty list);
/// members of the wrong type read as empty.
[[nodiscard]] std::vector<engine::ChangeRequest> change_requests(const json::JsonValue& body);

/// A change request as the page sends it back: action, id, stop_now and, for a
/// creation, its spec and whether it is made switched off.
[[nodiscard]] json::JsonValue change_request_json(const engine::ChangeRequest& request);

[[nodiscard]] json::JsonValue result_json(const engine::ChangeResult& result);
[[nodiscard]] json::JsonValue history_json(const engine::HistoryEntry& entry);
[[nodiscard]] json::JsonValue backup_json(const engine::BackupListing& backup);
/// "ok": true, then header, items, same, appeared and wrong_machine.
[[nodiscard]] json::JsonValue restore_plan_json(const engine::RestorePlan& plan);

}  // namespace bootsmith::server
