#include "engine/start_paths.hpp"

#include <string_view>
#include <utility>

namespace bootsmith::engine {

namespace {

std::string_view how_in_words(std::string_view how) {
    static constexpr std::pair<std::string_view, std::string_view> words[] = {
        {"socket", "a socket that starts it when something connects"},
        {"timer", "a timer that starts it on schedule"},
        {"path", "a path unit that starts it when a file changes"},
        {"dbus", "D-Bus starts it when a program asks for it"},
        {"wanted", "another unit pulls it in"},
        {"autostart", "another autostart file runs the same program"},
        {"cron", "another @reboot line runs the same program"},
        {"unit", "a systemd unit starts it"},
    };
    for (const auto& [key, text] : words) {
        if (key == how) {
            return text;
        }
    }
    return "something else starts it";
}

}  // namespace

std::vector<std::string> still_starts_lines(const std::vector<model::StartPath>& paths) {
    std::vector<std::string> lines;
    for (const auto& path : paths) {
        if (path.on && !path.with_it) {
            lines.push_back("It can still start: " + path.name + " (" +
                            std::string(how_in_words(path.how)) + ").");
        }
    }
    return lines;
}

std::optional<model::Item> entry_of(const std::vector<model::Item>& items,
                                    const model::Item& started, const model::StartPath& path) {
    if (path.how == "dbus") {
        return std::nullopt;
    }
    const model::Item* found = nullptr;
    for (const auto& item : items) {
        if (item.id == started.id || item.scope != started.scope || item.name != path.name) {
            continue;
        }
        if (item.kind == started.kind) {
            return item;
        }
        if (found == nullptr) {
            found = &item;
        }
    }
    return found != nullptr ? std::optional<model::Item>(*found) : std::nullopt;
}

std::string why_it_stays(const model::StartPath& path, const std::optional<model::Item>& entry) {
    if (path.how == "dbus") {
        return "D-Bus activation of " + path.name +
               " cannot be switched off by disabling anything; it can still start it when a "
               "program asks for it.";
    }
    if (!entry) {
        return path.name + " is not an entry Bootsmith lists, so it cannot be switched off here.";
    }
    return path.name +
           " is switched off already but is active now, so it can start it until the next "
           "restart.";
}

}  // namespace bootsmith::engine
