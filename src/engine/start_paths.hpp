#pragma once

#include <string>
#include <vector>

#include "model/item.hpp"

namespace bootsmith::engine {

/// One sentence per other way an entry can start that is switched on now and
/// that switching the entry off leaves on:
/// "It can still start: {name} ({how in words})."
[[nodiscard]] std::vector<std::string> still_starts_lines(
    const std::vector<model::StartPath>& paths);

}  // namespace bootsmith::engine
