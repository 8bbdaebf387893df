#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/json.hpp"
#include "knowledge/pack.hpp"

namespace bootsmith::knowledge {

/// One layer of knowledge: rule lists per operating system and the hints.
struct Layer {
    RuleLists rules;
    std::vector<Hint> hints;
};

struct InstalledPack {
    std::string version;
    std::string published;
    std::string description;
};

/// The layered, read-only view of all knowledge; shared once built.
struct KnowledgeStore {
    std::string builtin_version;
    std::size_t builtin_rules = 0;  ///< all three systems together
    Layer builtin;
    /// The user's own rules (every accepted local.json) followed by the installed pack in use.
    Layer installed;
    std::optional<InstalledPack> pack;
    KnowledgeLocations locations;
    std::size_t local_rules = 0;
    std::vector<std::string> notes;
    /// The knowledge folders it was loaded from; the first is the writable one.
    std::vector<std::filesystem::path> folders;
};

enum class LayerId { builtin, installed };

/// The rule list of a layer for "windows", "linux" or "macos"; empty for any other word.
[[nodiscard]] const std::vector<Rule>& rules_for(const KnowledgeStore& store, LayerId layer,
                                                 std::string_view os);
/// The first rule (in list order) matching any of the names (trimmed, lower-cased).
[[nodiscard]] const Rule* find_rule(const std::vector<Rule>& rules,
                                    const std::vector<std::string>& names);
/// The first hint whose word occurs in the (lower-cased) text.
[[nodiscard]] const Hint* find_hint(const std::vector<Hint>& hints, std::string_view text);

/// Builds a complete store from a built-in pack text and the knowledge folders
/// (in order; the first is the writable one), without touching the current one.
[[nodiscard]] KnowledgeStore build_store(
    std::string_view builtin_text, const std::vector<std::filesystem::path>& knowledge_folders);
/// Builds a store from the built-in pack and the knowledge folders (in order;
/// the first is the writable one) and makes it the current one.
void load_store(const std::vector<std::filesystem::path>& knowledge_folders);
/// The current store; before any load it holds the built-in pack alone.
[[nodiscard]] std::shared_ptr<const KnowledgeStore> current_store();

struct KnowledgeSettings {
    bool auto_check = false;
    std::string url;
    std::string last_check;
    std::string last_result;
};

/// Appends the lists of `source` to `merged`, skipping entries already present.
void merge_locations(KnowledgeLocations& merged, const KnowledgeLocations& source);

/// The maker's default update address.
[[nodiscard]] std::string default_update_url();
[[nodiscard]] KnowledgeSettings read_settings(
    const std::vector<std::filesystem::path>& knowledge_folders);
[[nodiscard]] Status write_settings(const std::filesystem::path& writable_folder,
                                    const KnowledgeSettings& settings);

/// The status record: builtin_version, builtin_rules, pack_version, pack_published,
/// pack_description, local_rules, auto_check, url, last_check, last_result, notes, folder.
[[nodiscard]] json::JsonValue status_record(const KnowledgeStore& store,
                                            const KnowledgeSettings& settings,
                                            const std::string& folder_text);

}  // namespace bootsmith::knowledge
