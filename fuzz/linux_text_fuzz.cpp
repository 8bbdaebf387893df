// The first byte picks one of the Linux text parsers, which reads the rest.
// None may crash, and the round trips the parsers promise must hold: quoted
// commands and Exec values split back into their words, set_desktop_key sets
// what the entry reader then reads, switching a cron line off and on gives it
// back, a created cron line and the ExecStart of a unit file read back as
// their commands, and join_lines undoes text_lines.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/changing/crontab.hpp"
#include "platform/linux/changing/entry_texts.hpp"
#include "platform/linux/changing/slug.hpp"
#include "platform/linux/text/command_text.hpp"
#include "platform/linux/text/desktop_text.hpp"
#include "platform/linux/text/listing_text.hpp"

namespace {

using namespace bootsmith::linux_backend;
using Words = std::vector<std::string>;

[[noreturn]] void stop(const char* why, std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", why, static_cast<int>(text.size()), text.data());
    std::abort();
}

void check(bool holds, const char* why, std::string_view text) {
    if (!holds) {
        stop(why, text);
    }
}

// Words never hold a NUL (they become argv), so NUL separates them.
Words nul_separated(std::string_view text) {
    Words words;
    std::size_t start = 0;
    for (std::size_t end = text.find('\0'); end != std::string_view::npos;
         end = text.find('\0', start)) {
        words.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    words.emplace_back(text.substr(start));
    return words;
}

void command_lines(std::string_view text) {
    const Words words = nul_separated(text);
    check(shell_words(quote_command(words)) == words, "quoted words split differently", text);
    const Words split = shell_words(text);
    (void)program_word_index(split);
    (void)script_word_index(split);
    (void)program_identity(split.empty() ? text : split.front(), split);
    (void)is_interpreter(text);
    (void)check_one_line(text, "command");
}

void exec_values(std::string_view text) {
    const Words words = nul_separated(text);
    check(desktop_command_words(exec_value(words)) == words, "Exec value read back differently",
          text);
    (void)desktop_command_words(text);
    (void)exec_start_value(words);
    (void)escape_specifiers(text);
}

void desktop_entries(std::string_view text) {
    (void)parse_desktop_entry(text, "x.desktop");
    for (std::string_view key : {"Hidden", "X-GNOME-Autostart-enabled"}) {
        const std::string changed = set_desktop_key(text, key, "true");
        const auto entry = parse_desktop_entry(changed, "x.desktop");
        check(entry && entry->value(key) == "true", "set_desktop_key did not take", text);
    }
}

void cron_lines(std::string_view text) {
    for (const std::string& line : text_lines(text)) {
        const auto entry = parse_cron_line(line);
        (void)read_cron_line(line, CronSource::system_file);
        (void)split_cron_command(line, CronSource::system_file);
        (void)split_cron_command(line, CronSource::user_crontab);
        check(switched_on(switched_off(line)) == line, "switching off and on changed", line);
        // The line this program writes for a command reads back as that command.
        const std::string command = cron_command_text(bootsmith::util::trim(line), "");
        if (check_one_line(line, "command") && !shell_words(command).empty()) {
            const auto own =
                read_cron_line("@reboot " + command + std::string(cron_tag) + slug_of(line),
                               CronSource::user_crontab);
            check(own && own->tagged && own->command == command, "own cron line read back wrong",
                  line);
        }
        if (entry) {
            const std::string flipped = entry->enabled ? switched_off(line) : switched_on(line);
            const auto again = parse_cron_line(flipped);
            check(again && again->enabled != entry->enabled && again->command == entry->command,
                  "switching the cron line did not take", line);
        }
    }
    if (text.empty() || text.ends_with('\n')) {
        check(join_lines(text_lines(text)) == text, "lines joined differently", text);
    }
    (void)cron_command_text(text, text);
}

void systemctl_output(std::string_view text) {
    (void)parse_unit_files(text);
    (void)parse_units(text);
    (void)white_space_fields(text);
    for (const auto& record : parse_show(text)) {
        (void)parse_exec_start(show_value(record, "ExecStart"));
    }
}

void unit_files(std::string_view text) {
    const ShowRecord record = parse_unit_cat(text, "x@.service");
    (void)parse_exec_start(show_value(record, "ExecStart"));
    // What `systemctl cat` gives must read like `systemctl show`: the command whole.
    const std::string command = "/bin/x " + std::string(text.substr(0, text.find('\n')));
    const ExecStart exec = parse_exec_start(
        show_value(parse_unit_cat("[Service]\nExecStart=" + command, "x@.service"), "ExecStart"));
    check(exec.path == "/bin/x" && exec.command == bootsmith::util::trim(command),
          "ExecStart of the unit file read back differently", command);
    (void)parse_exec_start(text);
    (void)unit_type(text);
    (void)is_template_unit(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    using Parser = void (*)(std::string_view);
    constexpr Parser parsers[] = {command_lines, exec_values,      desktop_entries,
                                  cron_lines,    systemctl_output, unit_files};
    parsers[data[0] % std::size(parsers)](text);
    return 0;
}
