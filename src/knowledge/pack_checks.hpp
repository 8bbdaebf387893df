#pragma once

// The checks shared by the parts of pack validation; private to knowledge/.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/json.hpp"
#include "foundation/result.hpp"
#include "knowledge/pack.hpp"

namespace bootsmith::knowledge::checks {

/// The elements of an Array member, or nullptr when it is missing or not an Array.
[[nodiscard]] const json::JsonArray* array_member(const json::JsonValue& object,
                                                  std::string_view member);

/// A text member (a missing or non-String one reads as ""): at most `limit`
/// characters and no control character but tab.
[[nodiscard]] Result<std::string> text_member(const json::JsonValue& object,
                                              std::string_view member, std::size_t limit,
                                              std::string_view context);

/// A path text: at most 300 characters, no control character (tab included), no "..".
[[nodiscard]] Status path_text(std::string_view path, std::string_view context);

/// An Array of at most 200 elements; its Strings are checked as path texts and
/// kept in order, other elements are skipped.
[[nodiscard]] Result<std::vector<std::string>> path_list(const json::JsonValue& object,
                                                         std::string_view member,
                                                         std::string_view context);

/// Not empty, no leading slash or backslash, no colon.
[[nodiscard]] bool is_relative(std::string_view path);

/// Validates the `locations` member of a pack.
[[nodiscard]] Result<KnowledgeLocations> parse_locations(const json::JsonValue& locations);

}  // namespace bootsmith::knowledge::checks
