#pragma once

#include <string>
#include <vector>

#include "engine/engine.hpp"

namespace bootsmith::engine {

/// What changed between the newest readable backup and the entries present
/// now: what a package upgrade or another program did behind the user's back.
struct SinceBackup {
    bool compared = false;  ///< a readable backup was found and compared
    std::string backup;     ///< its file name
    std::string created;    ///< its time, UTC
    std::vector<std::string> appeared;
    std::vector<std::string> switched_on;
    std::vector<std::string> switched_off;
    std::vector<std::string> disappeared;
    std::vector<std::string> notes;  ///< damaged backups passed over, another computer's backup
};

/// Compares the newest backup that can be read with the present entries, in
/// the same way a restore plan does.
[[nodiscard]] SinceBackup since_last_backup(Engine& engine);

/// The comparison in the user's words: the summary sentence, one line of
/// names per kind of change that has any, then the notes.
[[nodiscard]] std::vector<std::string> since_backup_lines(const SinceBackup& since);

}  // namespace bootsmith::engine
