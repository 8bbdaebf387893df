#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/result.hpp"
#include "knowledge/pack.hpp"

namespace bootsmith::knowledge {

/// The knowledge folders in order; the first is the writable one.
using KnowledgeFolders = std::vector<std::filesystem::path>;

/// What an update, import or rollback did: one sentence, and whether it failed.
struct UpdateOutcome {
    bool failed = false;
    std::string message;
    friend bool operator==(const UpdateOutcome&, const UpdateOutcome&) = default;
};

/// The hard limit on one download program, in seconds.
inline constexpr int download_limit_seconds = 40;

/// Downloads an address with curl (or, when curl is not installed, wget) and
/// returns the decoded text.
[[nodiscard]] Result<std::string> download_text(const std::string& address,
                                                int limit_seconds = download_limit_seconds);

/// Fetches the pack at an https address, checks it against its published
/// checksum when there is one and installs it when it is newer than the
/// knowledge in use. Every attempt is recorded in the settings.
[[nodiscard]] UpdateOutcome update_knowledge(const std::string& address,
                                             const KnowledgeFolders& folders);

/// Validates a pack text and installs it as pack-<version>.json in the writable
/// folder (earlier packs move to previous/), then reloads the store.
[[nodiscard]] Result<KnowledgePack> install_pack(std::string_view text,
                                                 const KnowledgeFolders& folders);

/// install_pack with the import's sentence: "Installed knowledge {version}
/// (published {published})." and, when it is not newer than the built-in
/// knowledge, why it is kept but not used.
[[nodiscard]] UpdateOutcome import_pack(std::string_view text, const KnowledgeFolders& folders);

/// Brings back the newest pack of previous/ (or the built-in knowledge when there
/// is none), then reloads the store.
[[nodiscard]] UpdateOutcome rollback_pack(const KnowledgeFolders& folders);

/// The check the window starts in the background: runs update_knowledge with
/// the configured address when the settings ask for it and this is no
/// demonstration run. Its outcome is only recorded in the settings.
void run_automatic_check(const KnowledgeFolders& folders, bool demo);

}  // namespace bootsmith::knowledge
