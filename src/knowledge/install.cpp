// Installing a pack into the writable knowledge folder, and going back.

#include <algorithm>
#include <system_error>

#include "foundation/files.hpp"
#include "knowledge/store.hpp"
#include "knowledge/updates.hpp"

namespace bootsmith::knowledge {

namespace fs = std::filesystem;

namespace {

constexpr unsigned pack_mode = 0644;

bool is_installed_name(const std::string& name) {
    return name.starts_with("pack-") && name.ends_with(".json");
}

/// The names in a folder that satisfy `keep`, in listing order.
template <typename Keep>
std::vector<std::string> names_in(const fs::path& folder, Keep keep) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (keep(name, *it)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

/// Moves every pack-*.json of the folder into previous/ (a file of the same name
/// there is replaced); returns the names that were moved.
std::vector<std::string> move_packs_away(const fs::path& folder) {
    std::vector<std::string> moved;
    auto packs = names_in(folder, [](const std::string& name, const fs::directory_entry&) {
        return is_installed_name(name);
    });
    for (const std::string& name : packs) {
        std::error_code error;
        fs::remove(folder / "previous" / name, error);
        fs::rename(folder / name, folder / "previous" / name, error);
        if (!error) {
            moved.push_back(name);
        }
    }
    return moved;
}

/// Undoes move_packs_away after a later step failed, so the folder keeps its pack.
void move_back(const fs::path& folder, const std::vector<std::string>& moved) {
    for (const std::string& name : moved) {
        std::error_code error;
        fs::rename(folder / "previous" / name, folder / name, error);
    }
}

std::string version_of(std::string_view file_name) {
    if (file_name.starts_with("pack-")) {
        file_name.remove_prefix(5);
    }
    if (file_name.ends_with(".json")) {
        file_name.remove_suffix(5);
    }
    return std::string(file_name);
}

/// The packs kept in previous/, oldest first: by version, then by name in byte
/// order. (Names alone would put pack-2026.9.json after pack-2026.10.json.)
std::vector<std::string> earlier_packs(const fs::path& folder) {
    auto names = names_in(
        folder / "previous", [](const std::string& name, const fs::directory_entry& entry) {
            std::error_code error;
            return fs::path(name).extension() == ".json" && entry.is_regular_file(error);
        });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        Order order = compare_versions(version_of(a), version_of(b));
        return order == Order::equal ? a < b : order == Order::less;
    });
    return names;
}

bool has_pack_entry(const fs::path& folder) {
    return !names_in(folder, [](const std::string& name, const fs::directory_entry&) {
                return name.starts_with("pack-");
            }).empty();
}

/// Puts the text in place as `name`: written under a temporary name first, so
/// that a failed write leaves the pack in use where it was.
Status place_pack(const fs::path& folder, const std::string& name, std::string_view text) {
    fs::path staged = folder / (".bootsmith-staged-" + name + ".tmp");
    if (auto written = util::write_file(staged, text, util::own_folder_options(pack_mode));
        !written) {
        return fail("cannot write the pack: " +
                    util::system_error_text(written.error().error_number));
    }
    std::vector<std::string> moved = move_packs_away(folder);
    std::error_code error;
    fs::rename(staged, folder / name, error);
    if (error) {
        move_back(folder, moved);
        std::error_code ignored;
        fs::remove(staged, ignored);
        return fail("cannot write the pack: " + util::system_error_text(error.value()));
    }
    return {};
}

UpdateOutcome back_to_builtin(const KnowledgeFolders& folders) {
    const fs::path& folder = folders.front();
    if (auto created = util::create_folders(folder / "previous"); !created) {
        return {true, created.error()};
    }
    (void)move_packs_away(folder);
    auto left = names_in(folder, [](const std::string& name, const fs::directory_entry&) {
        return is_installed_name(name);
    });
    load_store(folders);
    if (!left.empty()) {
        // Saying "went back" while the pack is still in use would be a lie.
        return {true, "cannot move " + left.front() +
                          " into the previous folder, so it is still in use."};
    }
    return {false, "Went back to the built-in knowledge."};
}

}  // namespace

Result<KnowledgePack> install_pack(std::string_view text, const KnowledgeFolders& folders) {
    KnowledgePack pack = BOOTSMITH_TRY(parse_pack(text));
    if (folders.empty()) {
        return fail("cannot write the pack: there is no knowledge folder.");
    }
    const fs::path& folder = folders.front();
    BOOTSMITH_CHECK(util::create_folders(folder / "previous"));
    BOOTSMITH_CHECK(place_pack(folder, "pack-" + pack.version + ".json", text));
    load_store(folders);
    return pack;
}

UpdateOutcome rollback_pack(const KnowledgeFolders& folders) {
    const std::string nothing_earlier =
        "There is no earlier knowledge to go back to; the built-in knowledge is already in use.";
    if (folders.empty()) {
        return {true, nothing_earlier};
    }
    const fs::path& folder = folders.front();
    std::vector<std::string> earlier = earlier_packs(folder);
    if (earlier.empty()) {
        if (!has_pack_entry(folder)) {
            return {true, nothing_earlier};
        }
        return back_to_builtin(folders);
    }
    const std::string& chosen = earlier.back();
    std::vector<std::string> moved = move_packs_away(folder);
    std::error_code error;
    fs::rename(folder / "previous" / chosen, folder / chosen, error);
    if (error) {
        move_back(folder, moved);
        return {true, "cannot restore " + chosen + ": " + util::system_error_text(error.value())};
    }
    load_store(folders);
    return {false, "Went back to " + version_of(chosen) + "."};
}

}  // namespace bootsmith::knowledge
