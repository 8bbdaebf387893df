// The knowledge settings file and the status record.

#include "foundation/files.hpp"
#include "foundation/json.hpp"
#include "foundation/text.hpp"
#include "knowledge/store.hpp"

namespace bootsmith::knowledge {

namespace fs = std::filesystem;

namespace {

constexpr unsigned settings_mode = 0644;

/// The settings read from one parsed file, member by member over the defaults.
KnowledgeSettings settings_from(const json::JsonValue& root) {
    KnowledgeSettings settings;
    settings.url = default_update_url();
    settings.auto_check = root.get_bool("auto_check");
    std::string url = root.get_str("url");
    if (!url.empty()) {
        settings.url = std::move(url);
    }
    settings.last_check = root.get_str("last_check");
    settings.last_result = root.get_str("last_result");
    return settings;
}

}  // namespace

std::string default_update_url() {
    return "https://updates.bootsmith.dev/bootsmith/knowledge.json";
}

KnowledgeSettings read_settings(const std::vector<fs::path>& knowledge_folders) {
    for (const fs::path& folder : knowledge_folders) {
        auto text = util::read_text_file(folder / "settings.json");
        if (!text) {
            continue;
        }
        if (auto root = json::parse(*text)) {
            return settings_from(*root);
        }
    }
    return settings_from(json::JsonValue());
}

Status write_settings(const fs::path& writable_folder, const KnowledgeSettings& settings) {
    BOOTSMITH_CHECK(util::create_folders(writable_folder));
    json::JsonValue record = json::JsonValue::object()
                                 .with_bool("auto_check", settings.auto_check)
                                 .with_str("url", settings.url)
                                 .with_str("last_check", settings.last_check)
                                 .with_str("last_result", settings.last_result);
    return util::replace_file(writable_folder / "settings.json", json::to_text(record),
                              util::own_folder_options(settings_mode));
}

json::JsonValue status_record(const KnowledgeStore& store, const KnowledgeSettings& settings,
                              const std::string& folder_text) {
    const InstalledPack none;
    const InstalledPack& pack = store.pack ? *store.pack : none;
    return json::JsonValue::object()
        .with_str("builtin_version", store.builtin_version)
        .with_u64("builtin_rules", store.builtin_rules)
        .with_str("pack_version", pack.version)
        .with_str("pack_published", pack.published)
        .with_str("pack_description", pack.description)
        .with_u64("local_rules", store.local_rules)
        .with_bool("auto_check", settings.auto_check)
        .with_str("url", settings.url)
        .with_str("last_check", settings.last_check)
        .with_str("last_result", settings.last_result)
        .with_str_list("notes", store.notes)
        .with_str("folder", folder_text);
}

}  // namespace bootsmith::knowledge
