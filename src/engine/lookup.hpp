#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.hpp"
#include "foundation/result.hpp"

namespace bootsmith::engine {

/// The cached items, or a fresh scan and assessment when the cache is empty.
[[nodiscard]] std::vector<model::Item> items(Engine& engine);
/// The platform's running programs for the current items; stored in the cache.
[[nodiscard]] platform::CandidateList running_programs(Engine& engine);
/// The platform's installed applications for the current items; stored in the cache.
[[nodiscard]] platform::CandidateList installed_apps(Engine& engine);

/// The item with this id from the cache, or after a new scan.
[[nodiscard]] std::optional<model::Item> find_item(Engine& engine, std::string_view id);
/// The candidate with this id among the cached running programs, then applications.
[[nodiscard]] std::optional<model::Candidate> find_candidate(const Engine& engine,
                                                             std::string_view id);

/// How a typed text found its item: by its whole id, by its whole name (or
/// short name), or by a part of its name.
enum class Match { id, name, part };

struct Found {
    model::Item item;
    Match match = Match::id;
};

/// The item a user means by a typed text, and how it was found (see below).
[[nodiscard]] Result<Found> find_named(const std::vector<model::Item>& items,
                                       std::string_view text);

/// The item a user means by a typed text: the exact id, else one item whose
/// name or short name equals it ignoring ASCII case, else one whose name
/// contains it. Several or none give the message to show.
[[nodiscard]] Result<model::Item> find_by_text(const std::vector<model::Item>& items,
                                               std::string_view text);

}  // namespace bootsmith::engine
