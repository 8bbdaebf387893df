// crontab texts: reading and installing the user's, and switching single lines.
#include "platform/linux/changing/crontab.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "platform/linux/text/command_text.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view marker_word = "#bootsmith-off#";
constexpr int lock_attempts = 600;  // 30 s in all
constexpr useconds_t lock_pause_us = 50'000;

std::vector<std::string> crontab_args(const ChangeContext& context, std::string_view action) {
    if (context.user.via_root) {
        return {"-u", context.user.user, std::string(action)};
    }
    return {std::string(action)};
}

std::string_view trim_start(std::string_view text) {
    std::size_t length = 0;
    while (util::starts_with_space(text, length)) {
        text.remove_prefix(length);
    }
    return text;
}

}  // namespace

Result<util::Descriptor> lock_for_editing(const ChangeContext& context, const std::string& folder) {
    util::Descriptor opened(
        ::open(context.options.roots.at(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid()) {
        // Nothing to lock (no such folder yet): the change goes ahead unguarded.
        return opened;
    }
    // Another run holds it only while it rewrites one text; a holder that
    // never lets go must not hang this run.
    for (int attempt = 0; attempt < lock_attempts; ++attempt) {
        if (::flock(opened.get(), LOCK_EX | LOCK_NB) == 0) {
            return opened;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return opened;
        }
        ::usleep(lock_pause_us);
    }
    return fail("Another program is changing the same cron entries; try again in a moment.");
}

Result<std::string> read_user_crontab(const ChangeContext& context) {
    if (!on_path("crontab")) {
        return fail("crontab is not installed.");
    }
    auto run = util::run_program("crontab", crontab_args(context, "-l"), {}, std::nullopt,
                                 context.options.limits.crontab);
    if (run.ok()) {
        // The crontab goes back through crontab whole; text that is not
        // UTF-8 would come back with other bytes than the user wrote.
        if (!util::is_valid_utf8(run.raw_out)) {
            return fail(
                "Your crontab is not UTF-8 text, so Bootsmith will not rewrite it. Edit "
                "it by hand with crontab -e.");
        }
        return std::move(run.raw_out);
    }
    if (run.err.find("no crontab") != std::string::npos) {
        return std::string();
    }
    return fail("The crontab could not be read, so it was left alone: " +
                util::shorten(call_output(run), 160));
}

std::vector<std::string> text_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::optional<CronLine> read_cron_line(std::string_view line, CronSource source) {
    auto entry = parse_cron_line(line);
    if (!entry) {
        return std::nullopt;
    }
    CronCommand parts = split_cron_command(entry->command, source);
    return CronLine{entry->enabled, std::move(parts.command), !parts.tag.empty()};
}

int twin_number(const model::Item& item) {
    const std::string text = item.extra.get("twin");
    int number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number > 0 ? number : 0;
}

std::optional<std::size_t> nth_cron_line(const std::vector<std::string>& lines, CronSource source,
                                         std::string_view command, int twin) {
    int seen = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto entry = read_cron_line(lines[i], source);
        if (entry && entry->command == command && ++seen == twin) {
            return i;
        }
    }
    return std::nullopt;
}

std::string switched_off(std::string_view line) {
    return std::string(cron_off_marker) + std::string(line);
}

std::string switched_on(std::string_view line) {
    // The exact form written by switched_off comes back byte for byte.
    if (line.starts_with(cron_off_marker)) {
        return std::string(line.substr(cron_off_marker.size()));
    }
    std::string_view rest = util::trim(line);
    if (rest.starts_with(marker_word)) {
        rest = trim_start(rest.substr(marker_word.size()));
    }
    return std::string(rest);
}

}  // namespace bootsmith::linux_backend
