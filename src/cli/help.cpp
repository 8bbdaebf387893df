#include "cli/help.hpp"

#include <algorithm>
#include <string>

#include "foundation/json.hpp"
#include "foundation/text.hpp"
#include "foundation/version.hpp"

namespace bootsmith::cli {

std::string_view help_text() {
    return "Bootsmith - see what starts with your computer, and switch it on or off.\n"
           "\n"
           "Made by the Bootsmith developers; free to use and to study.\n"
           "\n"
           "Usage:\n"
           "  bootsmith                       open the window (same as 'serve')\n"
           "  bootsmith serve [--no-browser] [--port N]\n"
           "  bootsmith list [--filter TEXT] [--on|--off] [--level LEVEL] [--full] [--json]\n"
           "  bootsmith running [--all] [--json]    programs running now that do not start with "
           "the computer\n"
           "  bootsmith apps [--all] [--json]       installed programs that do not start with the "
           "computer\n"
           "  bootsmith assess NAME                 what switching it off would do, and why\n"
           "  bootsmith disable NAME [--yes] [--stop-now] [--with-triggers]\n"
           "  bootsmith enable NAME [--yes]\n"
           "  bootsmith add PROGRAM [--name N] [--mode MODE] [--args TEXT] [--workdir DIR] "
           "[--yes]\n"
           "  bootsmith remove NAME [--yes]         remove an entry Bootsmith created\n"
           "  bootsmith backup [--out FILE] [--label TEXT]\n"
           "  bootsmith backups                     list the saved backups\n"
           "  bootsmith restore FILE|NAME [--apply] [--yes] [--all]\n"
           "                                        show what a backup would change; --apply "
           "does it\n"
           "  bootsmith knowledge status|update [--url U]|import FILE|rollback|export\n"
           "                                        the rules Bootsmith judges items by, and how "
           "to update them\n"
           "  bootsmith doctor                      check that every place Bootsmith reads still "
           "works here\n"
           "  bootsmith boot [--json]               how long start-up took, and what took longest\n"
           "  bootsmith history\n"
           "  bootsmith undo [NUMBER] [--yes]      undo the newest change, or the one numbered in "
           "history\n"
           "  bootsmith version\n"
           "\n"
           "Options for any command:\n"
           "  --demo      use invented data instead of this computer (changes nothing)\n"
           "\n"
           "NAME is an item's name or its full id (shown by 'list --json').\n"
           "Changes are never made without --yes when the program says they need a decision,\n"
           "and items it considers critical are never switched off.\n"
           "Help on one command: bootsmith help COMMAND (or bootsmith COMMAND --help).\n";
}

namespace {

std::string option_line(std::string_view name, std::string_view value, std::string_view meaning,
                        std::size_t width) {
    std::string left = std::string(name) + (value.empty() ? "" : " " + std::string(value));
    return "  " + util::pad_right(left, width) + "  " + std::string(meaning) + "\n";
}

std::size_t left_width(std::span<const OptionSpec> options) {
    std::size_t width = 0;
    for (const auto& option : options) {
        std::size_t size =
            option.name.size() + (option.value.empty() ? 0 : option.value.size() + 1);
        width = std::max(width, size);
    }
    return width;
}

}  // namespace

std::string command_help(const CommandSpec& spec) {
    std::string text =
        "Usage: " + std::string(spec.usage) + "\n\n" + std::string(spec.summary) + "\n";
    std::size_t width = std::max(left_width(spec.options), left_width(global_options()));
    if (!spec.options.empty()) {
        text += "\nOptions:\n";
        for (const auto& option : spec.options) {
            text += option_line(option.name, option.value, option.meaning, width);
        }
    }
    text += "\nOptions for any command:\n";
    for (const auto& option : global_options()) {
        text += option_line(option.name, option.value, option.meaning, width);
    }
    if (!spec.details.empty()) {
        text += "\n" + std::string(spec.details);
    }
    if (!spec.examples.empty()) {
        text += "\nExamples:\n" + std::string(spec.examples);
    }
    return text;
}

std::string version_json() {
    json::JsonValue value = json::JsonValue::object()
                                .with_str("name", "Bootsmith")
                                .with_str("version", std::string(program_version))
                                .with_str("developer", "The Bootsmith developers")
                                .with_str("license", "MIT");
    return json::to_text(value) + "\n";
}

std::string_view version_text() {
    static const std::string text = "Bootsmith " + std::string(program_version) +
                                    "\n"
                                    "Made by the Bootsmith developers.\n"
                                    "A start-up manager for Linux in one self-contained program.\n";
    return text;
}

}  // namespace bootsmith::cli
