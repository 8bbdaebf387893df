#pragma once

// Builds knowledge pack texts for the knowledge tests: a valid base pack with
// one entry of every kind, and copies of it with one member replaced.

#include <charconv>
#include <string>
#include <string_view>

#include "foundation/json.hpp"

namespace bootsmith::testing {

/// A valid pack: one rule per system, one hint, and one location of each kind.
inline std::string base_pack_text(std::string_view version = "2027.1.1") {
    return R"({"format":"bootsmith-knowledge","schema":1,"version":")" + std::string(version) +
           R"json(","published":"2027-01-01","description":"Test pack","min_program":"1.0.0",
"rules":{"windows":[{"match":"Spooler","level":"caution","effect":"Printing stops."}],
 "linux":[{"match":"ssh","level":"high","effect":"Remote logins stop."}],
 "macos":[{"match":"com.apple.*","level":"high","effect":"Apple services stop."}]},
"hints":[{"word":"Sync","level":"low","effect":"Files stop syncing."}],
"locations":{
 "windows":{"run_keys":[{"hive":"HKCU","view":"","scope":"user",
   "path":"Software\\Microsoft\\Windows\\CurrentVersion\\Run","approved":"Run",
   "label":"Registry (Run, this user)","locked":""}],
  "startup_folders":[{"hive":"HKCU","env":"APPDATA",
   "sub":"Microsoft\\Windows\\Start Menu\\Programs\\Startup","scope":"user","label":"Startup"}],
  "task_roots":["System32\\Tasks"]},
 "linux":{"autostart_dirs":["/etc/xdg/autostart","~/.config/autostart"],
  "app_dirs":["/usr/share/applications"],"unit_types":["service","timer"]},
 "macos":{"launchd_dirs":[{"domain":"gui","path":"~/Library/LaunchAgents","scope":"user"}],
  "app_dirs":["/Applications"]}}})json";
}

/// A pack with only a header and the given `rules`, `hints` and `locations` members
/// (JSON texts).
inline std::string small_pack_text(std::string_view version, std::string_view rules = "{}",
                                   std::string_view hints = "[]",
                                   std::string_view locations = "{}") {
    return R"({"format":"bootsmith-knowledge","schema":1,"version":")" + std::string(version) +
           R"(","published":"2027-02-03","description":"Pack )" + std::string(version) +
           R"(","rules":)" + std::string(rules) + R"(,"hints":)" + std::string(hints) +
           R"(,"locations":)" + std::string(locations) + "}";
}

namespace pack_detail {

inline json::JsonValue* child(json::JsonValue& value, std::string_view step, bool create) {
    if (json::JsonArray* array = value.as_array()) {
        std::size_t index = 0;
        std::from_chars(step.data(), step.data() + step.size(), index);
        if (create && index == array->size()) {
            array->push_back(json::JsonValue::object());
        }
        return index < array->size() ? &(*array)[index] : nullptr;
    }
    json::JsonObject* object = value.as_object();
    if (object == nullptr) {
        return nullptr;
    }
    for (json::JsonMember& member : *object) {
        if (member.key == step) {
            return &member.value;
        }
    }
    if (!create) {
        return nullptr;
    }
    object->push_back({std::string(step), json::JsonValue::object()});
    return &object->back().value;
}

inline void erase(json::JsonValue& parent, std::string_view key) {
    if (json::JsonObject* object = parent.as_object()) {
        std::erase_if(*object, [key](const json::JsonMember& m) { return m.key == key; });
    }
}

}  // namespace pack_detail

/// The value at a dotted path ("rules.linux.0.match"), created when missing (an
/// index one past the end of an Array appends).
inline void set_member(json::JsonValue& root, std::string_view path, json::JsonValue value) {
    json::JsonValue* at = &root;
    while (at != nullptr) {
        std::size_t dot = path.find('.');
        at = pack_detail::child(*at, path.substr(0, dot), true);
        if (dot == std::string_view::npos) {
            break;
        }
        path.remove_prefix(dot + 1);
    }
    if (at != nullptr) {
        *at = std::move(value);
    }
}

/// The base pack with the member at `path` set to the JSON text `value_json`,
/// or removed when `value_json` is empty.
inline std::string pack_with(std::string_view path, std::string_view value_json) {
    json::JsonValue root = *json::parse(base_pack_text());
    if (value_json.empty()) {
        std::size_t dot = path.rfind('.');
        json::JsonValue* parent = &root;
        if (dot != std::string_view::npos) {
            std::string_view rest = path.substr(0, dot);
            while (parent != nullptr && !rest.empty()) {
                std::size_t next = rest.find('.');
                parent = pack_detail::child(*parent, rest.substr(0, next), false);
                rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
            }
        }
        if (parent != nullptr) {
            pack_detail::erase(*parent,
                               dot == std::string_view::npos ? path : path.substr(dot + 1));
        }
    } else {
        set_member(root, path, *json::parse(value_json));
    }
    return json::to_text(root);
}

/// A JSON string literal of `count` copies of `unit`.
inline std::string repeated(std::string_view unit, std::size_t count) {
    std::string text = "\"";
    for (std::size_t i = 0; i < count; ++i) {
        text += unit;
    }
    return text + "\"";
}

}  // namespace bootsmith::testing
