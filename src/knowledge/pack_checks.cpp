#include "knowledge/pack_checks.hpp"

#include <algorithm>

#include "foundation/text.hpp"

namespace bootsmith::knowledge::checks {

namespace {

constexpr std::size_t path_limit = 300;
constexpr std::size_t path_list_limit = 200;

bool has_control(std::string_view text, bool tab_allowed) {
    return std::any_of(text.begin(), text.end(), [tab_allowed](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && !(tab_allowed && c == '\t');
    });
}

std::string quoted(std::string_view member) {
    return "\"" + std::string(member) + "\"";
}

}  // namespace

const json::JsonArray* array_member(const json::JsonValue& object, std::string_view member) {
    const json::JsonValue* value = object.get(member);
    return value == nullptr ? nullptr : value->as_array();
}

Result<std::string> text_member(const json::JsonValue& object, std::string_view member,
                                std::size_t limit, std::string_view context) {
    std::string text = object.get_str(member);
    if (util::char_count(text) > limit) {
        return fail(std::string(context) + ": " + quoted(member) + " is longer than " +
                    std::to_string(limit) + " characters");
    }
    if (has_control(text, true)) {
        return fail(std::string(context) + ": " + quoted(member) + " contains control characters");
    }
    return text;
}

Status path_text(std::string_view path, std::string_view context) {
    if (path.find("..") != std::string_view::npos) {
        return fail(std::string(context) + ": a path may not contain \"..\"");
    }
    if (util::char_count(path) > path_limit || has_control(path, false)) {
        return fail(std::string(context) + ": a path is too long or has control characters");
    }
    return {};
}

Result<std::vector<std::string>> path_list(const json::JsonValue& object, std::string_view member,
                                           std::string_view context) {
    std::vector<std::string> paths;
    const json::JsonArray* list = array_member(object, member);
    if (list == nullptr) {
        return paths;
    }
    if (list->size() > path_list_limit) {
        return fail(std::string(context) + ": too many entries");
    }
    for (const json::JsonValue& element : *list) {
        if (auto text = element.as_str()) {
            BOOTSMITH_CHECK(path_text(*text, context));
            paths.emplace_back(*text);
        }
    }
    return paths;
}

bool is_relative(std::string_view path) {
    return !path.empty() && path.front() != '/' && path.front() != '\\' &&
           path.find(':') == std::string_view::npos;
}

}  // namespace bootsmith::knowledge::checks
