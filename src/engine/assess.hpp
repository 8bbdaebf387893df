#pragma once

#include <set>
#include <string>
#include <string_view>

#include "engine/engine.hpp"
#include "knowledge/store.hpp"
#include "platform/platform.hpp"

namespace bootsmith::engine {

/// Judges one item: corrects its `managed` and `origin` when the history has no
/// successful creation of it (`created_ids`), and fills its `risk`.
void assess_item(model::Item& item, const knowledge::KnowledgeStore& store, std::string_view os,
                 const std::set<std::string>& created_ids);

/// Scans anew, assesses every item and stores a copy of the list in the cache.
[[nodiscard]] platform::ScanResult scan_and_assess(Engine& engine);

}  // namespace bootsmith::engine
