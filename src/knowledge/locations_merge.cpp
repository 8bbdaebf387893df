// Merging the start-up locations of several packs into one list each.

#include <algorithm>

#include "foundation/text.hpp"
#include "knowledge/store.hpp"

namespace bootsmith::knowledge {

namespace {

template <typename T, typename Same>
void append_new(std::vector<T>& merged, const std::vector<T>& source, Same same) {
    for (const T& entry : source) {
        bool present = std::any_of(merged.begin(), merged.end(),
                                   [&](const T& existing) { return same(existing, entry); });
        if (!present) {
            merged.push_back(entry);
        }
    }
}

void append_new_texts(std::vector<std::string>& merged, const std::vector<std::string>& source) {
    append_new(merged, source, [](const std::string& a, const std::string& b) { return a == b; });
}

}  // namespace

void merge_locations(KnowledgeLocations& merged, const KnowledgeLocations& source) {
    append_new(merged.run_keys, source.run_keys, [](const RunKey& a, const RunKey& b) {
        return a.hive == b.hive && a.view == b.view &&
               util::equals_ignore_ascii_case(a.path, b.path);
    });
    append_new(merged.startup_folders, source.startup_folders,
               [](const StartupFolder& a, const StartupFolder& b) {
                   return a.env == b.env && util::equals_ignore_ascii_case(a.sub, b.sub);
               });
    append_new(merged.launchd_dirs, source.launchd_dirs,
               [](const LaunchdDir& a, const LaunchdDir& b) { return a.path == b.path; });
    append_new_texts(merged.task_roots, source.task_roots);
    append_new_texts(merged.linux_autostart_dirs, source.linux_autostart_dirs);
    append_new_texts(merged.linux_app_dirs, source.linux_app_dirs);
    append_new_texts(merged.linux_unit_types, source.linux_unit_types);
    append_new_texts(merged.macos_app_dirs, source.macos_app_dirs);
}

}  // namespace bootsmith::knowledge
