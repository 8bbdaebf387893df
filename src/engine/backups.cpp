#include "engine/backups.hpp"

#include <algorithm>
#include <array>
#include <cerrno>

#include "engine/assess.hpp"
#include "engine/data_folders.hpp"
#include "engine/history.hpp"
#include "foundation/clock.hpp"
#include "foundation/file_bytes.hpp"
#include "foundation/files.hpp"
#include "foundation/version.hpp"

namespace bootsmith::engine {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t automatic_kept = 30;

constexpr std::array<std::string_view, 14> backup_extra_keys = {
    "start", "delayed", "hive",   "approved", "short",   "uri",  "unit",
    "state", "label",   "domain", "fname",    "runs_at", "mode", "user_dir"};

bool copied_into_backup(const model::Item& item, std::string_view key) {
    if (key == "pid") {
        return false;
    }
    return item.managed || std::find(backup_extra_keys.begin(), backup_extra_keys.end(), key) !=
                               backup_extra_keys.end();
}

json::JsonValue backup_item(const model::Item& item, const std::vector<JournalRecord>& records) {
    json::JsonValue extra = json::JsonValue::object();
    for (const auto& [key, value] : item.extra) {
        if (copied_into_backup(item, key)) {
            extra = std::move(extra).with_str(key, value);
        }
    }
    json::JsonValue object = json::JsonValue::object()
                                 .with_str("id", item.id)
                                 .with_str("name", item.name)
                                 .with_str("kind", item.kind)
                                 .with_str("kind_label", item.kind_label)
                                 .with_str("scope", item.scope)
                                 .with_str("location", item.location)
                                 .with_bool("enabled", item.enabled)
                                 .with_str("state_text", item.state_text)
                                 .with_bool("running", item.running)
                                 .with_str("exe", item.exe)
                                 .with_str("publisher", item.publisher)
                                 .with_bool("managed", item.managed)
                                 .with("extra", std::move(extra));
    if (item.managed) {
        object =
            std::move(object).with("spec", model::stored_spec_json(creation_spec(records, item)));
    }
    return object;
}

fs::path backups_folder(const fs::path& data) {
    return data / "backups";
}

// Claims the first free name of "{stem}.json", "{stem}-2.json", ...; a name
// another run takes between the look and the write is skipped, never replaced.
Result<fs::path> write_under_free_name(const fs::path& folder, const std::string& stem,
                                       const std::string& text) {
    for (int n = 1;; ++n) {
        fs::path path =
            folder / (n == 1 ? stem + ".json" : stem + "-" + std::to_string(n) + ".json");
        std::error_code ec;
        if (fs::exists(path, ec)) {
            continue;
        }
        auto written =
            util::write_file(path, text, util::own_folder_options(0600, util::Replace::never));
        if (written) {
            return path;
        }
        if (written.error().error_number != EEXIST) {
            return fail("cannot write " + path.string() + ": " +
                        util::system_error_text(written.error().error_number));
        }
    }
}

// The backup just saved is always kept: with a clock set back it would sort
// first, and the change it guards would go ahead without it.
void keep_newest_automatic(const fs::path& folder, const fs::path& just_saved) {
    std::error_code ec;
    std::vector<fs::path> paths;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".json" && it->path() != just_saved) {
            paths.push_back(it->path());
        }
    }
    std::sort(paths.begin(), paths.end());
    for (std::size_t i = 0; i + automatic_kept < paths.size() + 1; ++i) {
        fs::remove(paths[i], ec);
    }
}

void list_folder(const fs::path& folder, bool automatic, std::vector<BackupListing>& found) {
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(it->path());
    }
    for (const auto& path : entries) {
        std::string name = path.filename().string();
        bool known = std::any_of(found.begin(), found.end(),
                                 [&name](const BackupListing& b) { return b.name == name; });
        if (path.extension() != ".json" || !fs::is_regular_file(path, ec) || known) {
            continue;
        }
        auto text = util::read_file_bytes(path);
        auto document = text ? json::parse(*text) : Result<json::JsonValue>(fail(""));
        if (!document || document->get_str("format") != "bootsmith-backup") {
            continue;
        }
        found.push_back({name, path.string(), document->get_str("label"),
                         document->get_str("created"), document->get_str("host"),
                         json::to_u64(document->get("count")), text->size(), automatic});
    }
}

std::optional<BackupListing> listed(const platform::SystemInfo& system, std::string_view name) {
    for (auto& backup : list_backups(system)) {
        if (backup.name == name) {
            return backup;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string stamp_of(std::string_view time) {
    std::string stamp;
    for (char c : time) {
        if (c == ' ') {
            stamp += 'T';
        } else if (c != '-' && c != ':') {
            stamp += c;
        }
    }
    return stamp;
}

std::vector<fs::path> backup_files(const platform::SystemInfo& system) {
    std::vector<fs::path> files;
    for (const auto& data : folders_to_read(system)) {
        for (const auto& folder : {backups_folder(data), backups_folder(data) / "auto"}) {
            std::error_code ec;
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
                std::string name = it->path().filename().string();
                bool ours = name.starts_with("bootsmith-backup-") ||
                            name.starts_with("auto-bootsmith-backup-");
                if (ours && it->path().extension() == ".json") {
                    files.push_back(it->path());
                }
            }
        }
    }
    return files;
}

std::string host_part(std::string_view host) {
    std::string part;
    for (char c : host) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || (c >= '0' && c <= '9') || c == '-') {
            part += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return part.empty() ? "computer" : part;
}

json::JsonValue make_backup(Engine& engine, std::string_view label) {
    std::vector<model::Item> items = scan_and_assess(engine).items;
    std::vector<JournalRecord> records = read_records(engine.system());
    json::JsonValue list = json::JsonValue::array();
    for (const auto& item : items) {
        list.push_back(backup_item(item, records));
    }
    const platform::SystemInfo& system = engine.system();
    return json::JsonValue::object()
        .with_str("format", "bootsmith-backup")
        .with_num("format_version", 1)
        .with_str("tool_version", program_version)
        .with_str("created", util::now_text())
        .with_str("label", label)
        .with_str("host", system.host)
        .with_str("os", system.os)
        .with_str("os_version", system.os_version)
        .with_str("user", system.user)
        .with_u64("count", items.size())
        .with("items", std::move(list));
}

Result<fs::path> save_backup(const platform::SystemInfo& system, const json::JsonValue& document,
                             bool automatic) {
    fs::path folder = backups_folder(data_folder(system));
    if (automatic) {
        folder /= "auto";
    }
    BOOTSMITH_CHECK(util::create_folders(folder));
    std::string stem = std::string(automatic ? "auto-" : "") + "bootsmith-backup-" +
                       stamp_of(util::now_text()) + "-" + host_part(system.host);
    auto path = write_under_free_name(folder, stem, json::to_text(document));
    if (!path) {
        return path;
    }
    if (automatic) {
        keep_newest_automatic(folder, *path);
    }
    return *path;
}

std::vector<BackupListing> list_backups(const platform::SystemInfo& system) {
    std::vector<BackupListing> found;
    for (const auto& data : folders_to_read(system)) {
        list_folder(backups_folder(data), false, found);
        list_folder(backups_folder(data) / "auto", true, found);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.created != b.created) {
            return a.created > b.created;
        }
        return a.name > b.name;
    });
    return found;
}

bool is_backup_name(std::string_view name) {
    return !name.empty() && name.find_first_of("/\\:") == std::string_view::npos &&
           name.find("..") == std::string_view::npos && name.ends_with(".json");
}

Result<std::string> read_backup(const platform::SystemInfo& system, std::string_view name) {
    if (!is_backup_name(name)) {
        return fail("That is not a backup file name.");
    }
    auto backup = listed(system, name);
    auto text = backup ? util::read_file_bytes(backup->path) : Result<std::string>(fail(""));
    if (!text) {
        return fail("That backup was not found.");
    }
    return text;
}

Result<json::JsonValue> parse_backup(std::string_view text) {
    auto document = json::parse(text);
    if (!document) {
        return fail("That file is not a Bootsmith backup (" + document.error() + ").");
    }
    const json::JsonValue* format = document->get("format");
    if (format == nullptr || format->as_str() != "bootsmith-backup") {
        return fail("That file is not a Bootsmith backup.");
    }
    const json::JsonValue* items = document->get("items");
    if (items == nullptr || !items->is_array()) {
        return fail("That backup has no items.");
    }
    return document;
}

Status delete_backup(const platform::SystemInfo& system, std::string_view name) {
    if (!is_backup_name(name)) {
        return fail("That is not a backup file name.");
    }
    auto backup = listed(system, name);
    if (!backup) {
        return fail("That backup was not found.");
    }
    std::error_code ec;
    if (!fs::remove(backup->path, ec)) {
        return fail("Could not delete it: " + (ec ? ec.message() : std::string("it is gone")));
    }
    return {};
}

}  // namespace bootsmith::engine
