#pragma once

#include <optional>
#include <string>

#include "engine/changes.hpp"
#include "engine/engine.hpp"
#include "model/item.hpp"

namespace bootsmith::engine {

/// What the user typed or picked to make a program start; empty texts are
/// "not given".
struct CreationChoice {
    std::string name;     ///< default: the candidate's name
    std::string mode;     ///< default: default_mode
    std::string args;     ///< when given, the command is the program and these arguments
    std::string workdir;  ///< default: empty
    bool accepted = false;
};

/// The listed program a typed text names: among the running programs, then
/// the installed applications, the first whose id equals it or whose name
/// equals it ignoring ASCII case; else the first whose name contains it.
[[nodiscard]] std::optional<model::Candidate> chosen_candidate(Engine& engine,
                                                               const std::string& wanted);

/// A candidate made from an existing file: its full path is the program, its
/// file name the name; nothing when there is no such file.
[[nodiscard]] std::optional<model::Candidate> candidate_from_path(const std::string& path);

/// chosen_candidate, else candidate_from_path.
[[nodiscard]] std::optional<model::Candidate> program_to_add(Engine& engine,
                                                             const std::string& wanted);

/// The way of starting used when none is chosen: the first recommended mode,
/// else the first mode; "login" for a program given by its path (it was not
/// listed, so no modes were offered), else "".
[[nodiscard]] std::string default_mode(const model::Candidate& candidate);

/// The path, in double quotes when it contains a space.
[[nodiscard]] std::string quoted_if_spaced(const std::string& path);

/// The "create" request for a candidate and the user's choices.
[[nodiscard]] ChangeRequest creation_request(const model::Candidate& candidate,
                                             const CreationChoice& choice);

}  // namespace bootsmith::engine
