#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bootsmith::cli {

/// The one word of `choices` that a mistyped `typed` most likely meant: the
/// closest within a small number of typing slips (a swapped pair counts as
/// one), else the only choice that begins with it. Nothing when none is close
/// or two are equally close.
[[nodiscard]] std::optional<std::string> closest_word(std::string_view typed,
                                                      const std::vector<std::string>& choices);

}  // namespace bootsmith::cli
