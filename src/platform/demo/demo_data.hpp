#pragma once

#include <vector>

#include "model/item.hpp"

namespace bootsmith::demo {

/// The invented computer's start-up items, in scan order.
[[nodiscard]] std::vector<model::Item> initial_items(bool with_markup_item);
/// Marks each way an item can still start as on while the item it names is
/// switched on.
void refresh_start_paths(std::vector<model::Item>& items);
/// Running programs that could be added, before filtering.
[[nodiscard]] std::vector<model::Candidate> process_candidates();
/// The running service that only starts on demand; always offered.
[[nodiscard]] model::Candidate service_candidate();
/// Installed applications, before filtering.
[[nodiscard]] std::vector<model::Candidate> app_candidates();

}  // namespace bootsmith::demo
