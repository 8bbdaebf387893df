#include "engine/lookup.hpp"

#include <algorithm>

#include "engine/assess.hpp"
#include "foundation/text.hpp"

namespace bootsmith::engine {

namespace {

std::optional<model::Item> with_id(const std::vector<model::Item>& list, std::string_view id) {
    auto it = std::find_if(list.begin(), list.end(),
                           [id](const model::Item& item) { return item.id == id; });
    return it == list.end() ? std::nullopt : std::optional<model::Item>(*it);
}

std::optional<model::Candidate> candidate_with_id(const std::vector<model::Candidate>& list,
                                                  std::string_view id) {
    auto it = std::find_if(list.begin(), list.end(),
                           [id](const model::Candidate& c) { return c.id == id; });
    return it == list.end() ? std::nullopt : std::optional<model::Candidate>(*it);
}

std::string in_quotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

std::vector<model::Item> items(Engine& engine) {
    std::vector<model::Item> cached = engine.cached_items();
    if (!cached.empty()) {
        return cached;
    }
    return scan_and_assess(engine).items;
}

platform::CandidateList running_programs(Engine& engine) {
    platform::CandidateList list = engine.platform().running_programs(items(engine));
    engine.store_running(list.candidates);
    return list;
}

platform::CandidateList installed_apps(Engine& engine) {
    platform::CandidateList list = engine.platform().installed_apps(items(engine));
    engine.store_apps(list.candidates);
    return list;
}

std::optional<model::Item> find_item(Engine& engine, std::string_view id) {
    if (auto found = with_id(engine.cached_items(), id)) {
        return found;
    }
    return with_id(scan_and_assess(engine).items, id);
}

std::optional<model::Candidate> find_candidate(const Engine& engine, std::string_view id) {
    if (auto found = candidate_with_id(engine.cached_running(), id)) {
        return found;
    }
    return candidate_with_id(engine.cached_apps(), id);
}

Result<Found> find_named(const std::vector<model::Item>& items, std::string_view text) {
    if (auto exact = with_id(items, text)) {
        return Found{*exact, Match::id};
    }
    std::vector<const model::Item*> named;
    for (const auto& item : items) {
        if (util::equals_ignore_ascii_case(item.name, text) ||
            util::equals_ignore_ascii_case(item.extra.get("short"), text)) {
            named.push_back(&item);
        }
    }
    if (named.size() == 1) {
        return Found{*named.front(), Match::name};
    }
    if (named.size() > 1) {
        std::string message = std::to_string(named.size()) + " items are called " +
                              in_quotes(text) + "; use the full id:";
        for (const auto* item : named) {
            message += "\n  " + item->id;
        }
        return fail(message);
    }
    std::string lowered = util::to_lower(text);
    std::vector<const model::Item*> matching;
    for (const auto& item : items) {
        if (util::to_lower(item.name).find(lowered) != std::string::npos) {
            matching.push_back(&item);
        }
    }
    if (matching.empty()) {
        return fail("nothing matches " + in_quotes(text));
    }
    if (matching.size() == 1) {
        return Found{*matching.front(), Match::part};
    }
    std::string message = std::to_string(matching.size()) + " items match " + in_quotes(text) +
                          "; be more exact or use the id:";
    for (std::size_t i = 0; i < matching.size() && i < 12; ++i) {
        message += "\n  " + matching[i]->name + "  (" + matching[i]->kind_label + ")";
    }
    return fail(message);
}

Result<model::Item> find_by_text(const std::vector<model::Item>& items, std::string_view text) {
    auto found = find_named(items, text);
    if (!found) {
        return fail(found.error());
    }
    return std::move(found->item);
}

}  // namespace bootsmith::engine
