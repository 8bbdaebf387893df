#include "platform/linux/reading/apps.hpp"
#include "platform/linux/os/file_reading.hpp"
#include "platform/linux/os/system.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"

#include <algorithm>

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view desktop_suffix = ".desktop";

std::optional<AppEntry> read_app(const Roots& roots, const std::string& folder,
                                 const std::string& name) {
    const std::string file = folder + "/" + name;
    auto text = read_config_text(roots.at(file));
    if (!text) {
        return std::nullopt;
    }
    auto entry = parse_desktop_entry(*text, name);
    if (!entry || entry->value("Type") != "Application" || entry->hidden) {
        return std::nullopt;
    }
    AppEntry app;
    app.words = desktop_command_words(entry->exec);
    if (app.words.empty()) {
        return std::nullopt;
    }
    app.exe = program_of(app.words);
    app.name = entry->name;
    if (app.name.empty()) {
        app.name = util::decode_text(
            std::string_view(name).substr(0, name.size() - desktop_suffix.size()));
    }
    app.comment = entry->comment;
    app.file = file;
    app.file_name = name;
    app.no_display = entry->no_display;
    return app;
}

}  // namespace

std::vector<AppEntry> read_apps(const Roots& roots, const std::vector<std::string>& folders,
                                const std::string& home) {
    std::vector<AppEntry> apps;
    for (const auto& configured : folders) {
        const std::string folder = expand_home(configured, home).path;
        auto names = list_names(roots.at(folder));
        if (!names) {
            continue;
        }
        std::sort(names->begin(), names->end());
        for (const auto& name : *names) {
            if (name.size() <= desktop_suffix.size() || !name.ends_with(desktop_suffix)) {
                continue;
            }
            if (auto app = read_app(roots, folder, name)) {
                apps.push_back(std::move(*app));
            }
        }
    }
    return apps;
}

}  // namespace bootsmith::linux_backend
