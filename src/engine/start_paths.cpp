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

}  // namespace bootsmith::engine
