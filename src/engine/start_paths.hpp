#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/item.hpp"

namespace bootsmith::engine {

/// One sentence per other way an entry can start that is switched on now and
/// that switching the entry off leaves on:
/// "It can still start: {name} ({how in words})."
[[nodiscard]] std::vector<std::string> still_starts_lines(
    const std::vector<model::StartPath>& paths);

/// The listed entry through which `path` starts `started`, which switching
/// that entry off would close: one of the same name and scope (the same kind
/// first). Nothing for D-Bus activation, which no switch of an entry stops,
/// and for a way Bootsmith does not list as an entry.
[[nodiscard]] std::optional<model::Item> entry_of(const std::vector<model::Item>& items,
                                                  const model::Item& started,
                                                  const model::StartPath& path);

/// Why `path` stays a way of starting the entry when its triggers are
/// switched off with it; `entry` is what `entry_of` found.
[[nodiscard]] std::string why_it_stays(const model::StartPath& path,
                                       const std::optional<model::Item>& entry);

}  // namespace bootsmith::engine
