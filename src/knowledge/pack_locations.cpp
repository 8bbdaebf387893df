// Validation of the start-up locations of a pack.

#include <algorithm>
#include <array>
#include <string>

#include "knowledge/pack_checks.hpp"

namespace bootsmith::knowledge::checks {

namespace {

using json::JsonArray;
using json::JsonValue;

constexpr std::size_t run_key_limit = 100;
constexpr std::array<std::string_view, 6> known_env = {
    "APPDATA", "ProgramData", "LOCALAPPDATA", "USERPROFILE", "ALLUSERSPROFILE", "PUBLIC"};

bool is_hive(std::string_view hive) {
    return hive == "HKCU" || hive == "HKLM";
}

/// Each element of an Array member in turn; a missing or non-Array member has none.
template <typename Check>
Status for_each_entry(const JsonValue& object, std::string_view member, Check check) {
    if (const JsonArray* list = array_member(object, member)) {
        for (const JsonValue& entry : *list) {
            BOOTSMITH_CHECK(check(entry));
        }
    }
    return {};
}

Result<RunKey> parse_run_key(const JsonValue& entry) {
    RunKey key;
    key.hive = entry.get_str("hive");
    if (!is_hive(key.hive)) {
        return fail("windows run_keys: hive must be HKCU or HKLM");
    }
    key.view = entry.get_str("view");
    if (!key.view.empty() && key.view != "32" && key.view != "64") {
        return fail("windows run_keys: view must be empty, 32 or 64");
    }
    key.scope = entry.get_str("scope");
    if (key.scope != "user" && key.scope != "machine") {
        return fail("windows run_keys: scope must be user or machine");
    }
    key.path = entry.get_str("path");
    BOOTSMITH_CHECK(path_text(key.path, "windows run_keys path"));
    key.approved = BOOTSMITH_TRY(text_member(entry, "approved", 40, "windows run_keys"));
    key.label = BOOTSMITH_TRY(text_member(entry, "label", 80, "windows run_keys"));
    key.locked = BOOTSMITH_TRY(text_member(entry, "locked", 300, "windows run_keys"));
    return key;
}

Result<StartupFolder> parse_startup_folder(const JsonValue& entry) {
    StartupFolder folder;
    folder.hive = entry.get_str("hive");
    if (!is_hive(folder.hive)) {
        return fail("windows startup_folders: hive must be HKCU or HKLM");
    }
    folder.env = BOOTSMITH_TRY(text_member(entry, "env", 40, "windows startup_folders"));
    if (std::find(known_env.begin(), known_env.end(), folder.env) == known_env.end()) {
        return fail(
            "windows startup_folders: env must be one of APPDATA, ProgramData, LOCALAPPDATA, "
            "USERPROFILE, ALLUSERSPROFILE, PUBLIC");
    }
    folder.sub = entry.get_str("sub");
    BOOTSMITH_CHECK(path_text(folder.sub, "windows startup_folders sub"));
    if (!is_relative(folder.sub)) {
        return fail(
            "windows startup_folders: sub must be a relative path (no drive, no leading slash)");
    }
    folder.label = BOOTSMITH_TRY(text_member(entry, "label", 80, "windows startup_folders"));
    folder.scope = entry.get_str("scope");
    return folder;
}

Status parse_windows(const JsonValue& windows, KnowledgeLocations& out) {
    if (const JsonArray* keys = array_member(windows, "run_keys")) {
        if (keys->size() > run_key_limit) {
            return fail("windows run_keys: too many entries");
        }
    }
    BOOTSMITH_CHECK(for_each_entry(windows, "run_keys", [&out](const JsonValue& entry) -> Status {
        out.run_keys.push_back(BOOTSMITH_TRY(parse_run_key(entry)));
        return {};
    }));
    BOOTSMITH_CHECK(
        for_each_entry(windows, "startup_folders", [&out](const JsonValue& entry) -> Status {
            out.startup_folders.push_back(BOOTSMITH_TRY(parse_startup_folder(entry)));
            return {};
        }));
    out.task_roots = BOOTSMITH_TRY(path_list(windows, "task_roots", "windows task_roots"));
    if (!std::all_of(out.task_roots.begin(), out.task_roots.end(), is_relative)) {
        return fail(
            "windows task_roots: each must be a relative path (no drive, no leading slash)");
    }
    return {};
}

bool lower_letters_only(const std::string& word) {
    return std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

Status parse_linux(const JsonValue& linux_locations, KnowledgeLocations& out) {
    out.linux_autostart_dirs =
        BOOTSMITH_TRY(path_list(linux_locations, "autostart_dirs", "linux autostart_dirs"));
    out.linux_app_dirs = BOOTSMITH_TRY(path_list(linux_locations, "app_dirs", "linux app_dirs"));
    out.linux_unit_types =
        BOOTSMITH_TRY(path_list(linux_locations, "unit_types", "linux unit_types"));
    if (!std::all_of(out.linux_unit_types.begin(), out.linux_unit_types.end(),
                     lower_letters_only)) {
        return fail("linux unit_types: only lower-case letters");
    }
    return {};
}

Result<LaunchdDir> parse_launchd_dir(const JsonValue& entry) {
    LaunchdDir dir;
    dir.domain = entry.get_str("domain");
    if (dir.domain != "gui" && dir.domain != "system") {
        return fail("macos launchd_dirs: domain must be gui or system");
    }
    dir.path = entry.get_str("path");
    BOOTSMITH_CHECK(path_text(dir.path, "macos launchd_dirs"));
    dir.scope = entry.get_str("scope");
    dir.system = entry.get_bool("system");
    return dir;
}

Status parse_macos(const JsonValue& macos, KnowledgeLocations& out) {
    BOOTSMITH_CHECK(for_each_entry(macos, "launchd_dirs", [&out](const JsonValue& entry) -> Status {
        out.launchd_dirs.push_back(BOOTSMITH_TRY(parse_launchd_dir(entry)));
        return {};
    }));
    out.macos_app_dirs = BOOTSMITH_TRY(path_list(macos, "app_dirs", "macos app_dirs"));
    return {};
}

/// A member that is missing or not an Object reads as an Object without members.
const JsonValue& object_member(const JsonValue& object, std::string_view member) {
    static const JsonValue empty = JsonValue::object();
    const JsonValue* value = object.get(member);
    return value != nullptr && value->is_object() ? *value : empty;
}

}  // namespace

Result<KnowledgeLocations> parse_locations(const JsonValue& locations) {
    KnowledgeLocations out;
    BOOTSMITH_CHECK(parse_windows(object_member(locations, "windows"), out));
    BOOTSMITH_CHECK(parse_linux(object_member(locations, "linux"), out));
    BOOTSMITH_CHECK(parse_macos(object_member(locations, "macos"), out));
    return out;
}

}  // namespace bootsmith::knowledge::checks
