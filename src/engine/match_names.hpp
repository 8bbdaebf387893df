#pragma once

#include <string>
#include <vector>

#include "model/item.hpp"

namespace bootsmith::engine {

/// What the knowledge is asked about one item.
struct MatchNames {
    /// Lower-cased, without repeats: its `short`, its name, the file name of a
    /// service's program, each also without its unit type, template instance
    /// or ".desktop"; then the names of the services a socket, timer or path
    /// unit starts; for a unit of the user's own instance each again with
    /// "user/" in front.
    std::vector<std::string> names;
    /// The names (without the "user/" ones) and the program's file name, for hints.
    std::string hint_text;
    /// The units that a socket, timer or path unit starts.
    std::vector<std::string> triggered;
};

[[nodiscard]] MatchNames match_names(const model::Item& item);

}  // namespace bootsmith::engine
