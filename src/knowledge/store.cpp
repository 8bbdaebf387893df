#include "knowledge/store.hpp"

#include <mutex>
#include <shared_mutex>
#include <system_error>

#include "foundation/text.hpp"

namespace bootsmith::knowledge {

namespace fs = std::filesystem;

namespace {

struct FoundPacks {
    std::vector<KnowledgePack> local;
    std::optional<KnowledgePack> candidate;
};

void append(std::vector<Rule>& to, const std::vector<Rule>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

void add_layer(Layer& layer, const KnowledgePack& pack) {
    append(layer.rules.windows, pack.rules.windows);
    append(layer.rules.linux_rules, pack.rules.linux_rules);
    append(layer.rules.macos, pack.rules.macos);
    layer.hints.insert(layer.hints.end(), pack.hints.begin(), pack.hints.end());
}

std::size_t rule_count(const RuleLists& rules) {
    return rules.windows.size() + rules.linux_rules.size() + rules.macos.size();
}

bool is_pack_file_name(const std::string& name) {
    return name.ends_with(".json") && name != "settings.json";
}

/// Reads and sorts one pack file of a knowledge folder into `found`.
void take_file(const fs::path& path, const std::string& name, FoundPacks& found,
               std::vector<std::string>& notes) {
    auto text = util::read_text_file(path);
    if (!text) {
        return;
    }
    auto pack = parse_pack(*text);
    if (!pack) {
        notes.push_back("Knowledge file " + name + " was ignored: " + pack.error());
        return;
    }
    if (name == "local.json") {
        found.local.push_back(std::move(*pack));
    } else if (name.starts_with("pack-")) {
        if (!found.candidate ||
            compare_versions(pack->version, found.candidate->version) == Order::greater) {
            found.candidate = std::move(*pack);
        }
    }
}

void read_folder(const fs::path& folder, FoundPacks& found, std::vector<std::string>& notes) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code type_error;
        if (is_pack_file_name(name) && it->is_regular_file(type_error)) {
            take_file(it->path(), name, found, notes);
        }
    }
}

struct StoreSlot {
    std::shared_mutex mutex;
    std::shared_ptr<const KnowledgeStore> store;
};

// Both live for the whole process on purpose: threads that still hold or ask
// for the store while the process ends never meet a destroyed object.
StoreSlot& store_slot() {
    static auto* slot = new StoreSlot();
    return *slot;
}

const std::shared_ptr<const KnowledgeStore>& builtin_only_store() {
    static const auto* store = new std::shared_ptr<const KnowledgeStore>(
        std::make_shared<const KnowledgeStore>(build_store(builtin_pack_text(), {})));
    return *store;
}

}  // namespace

KnowledgeStore build_store(std::string_view builtin_text, const std::vector<fs::path>& folders) {
    KnowledgeStore store;
    store.folders = folders;
    if (auto builtin = parse_pack(builtin_text)) {
        store.builtin_version = builtin->version;
        store.builtin_rules = rule_count(builtin->rules);
        add_layer(store.builtin, *builtin);
        store.locations = builtin->locations;
    } else {
        store.builtin_version = "broken: " + builtin.error();
    }
    FoundPacks found;
    for (const fs::path& folder : folders) {
        read_folder(folder, found, store.notes);
    }
    for (const KnowledgePack& local : found.local) {
        add_layer(store.installed, local);
        merge_locations(store.locations, local.locations);
        store.local_rules += rule_count(local.rules);
    }
    if (found.candidate &&
        compare_versions(found.candidate->version, store.builtin_version) == Order::greater) {
        add_layer(store.installed, *found.candidate);
        merge_locations(store.locations, found.candidate->locations);
        store.pack = InstalledPack{found.candidate->version, found.candidate->published,
                                   found.candidate->description};
    }
    return store;
}

void load_store(const std::vector<fs::path>& knowledge_folders) {
    auto fresh =
        std::make_shared<const KnowledgeStore>(build_store(builtin_pack_text(), knowledge_folders));
    StoreSlot& slot = store_slot();
    std::unique_lock lock(slot.mutex);
    slot.store.swap(fresh);
    lock.unlock();
    // The old store (now in `fresh`) is released outside the lock.
}

std::shared_ptr<const KnowledgeStore> current_store() {
    StoreSlot& slot = store_slot();
    {
        std::shared_lock lock(slot.mutex);
        if (slot.store) {
            return slot.store;
        }
    }
    return builtin_only_store();
}

}  // namespace bootsmith::knowledge
