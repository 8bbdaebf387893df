// Switching cron @reboot lines by commenting them out with the off-marker.
#include "platform/linux/changing/switch_cron.hpp"
#include "platform/linux/changing/crontab.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view user_crontab = "crontab";

struct CronText {
    std::string text;
    unsigned mode = 0644;
};

Result<CronText> read_cron_source(const ChangeContext& context, const std::string& location) {
    if (location == user_crontab) {
        auto text = read_user_crontab(context);
        if (!text) {
            return fail(text.error());
        }
        return CronText{std::move(*text), 0644};
    }
    auto file = context.files.read_for_rewrite(location);
    if (!file) {
        return fail(file.error());
    }
    return CronText{std::move(file->text), file->mode};
}

// Changes the line the item names: for one of several lines with the same
// command exactly that one (when it is not yet in the wanted state), else the
// first line of the command that is not.
bool switch_line(std::vector<std::string>& lines, CronSource source, const std::string& command,
                 int twin, bool enable) {
    if (twin > 0) {
        auto at = nth_cron_line(lines, source, command, twin);
        if (!at || read_cron_line(lines[*at], source)->enabled == enable) {
            return false;
        }
        lines[*at] = enable ? switched_on(lines[*at]) : switched_off(lines[*at]);
        return true;
    }
    for (auto& line : lines) {
        auto entry = read_cron_line(line, source);
        if (entry && entry->command == command && entry->enabled != enable) {
            line = enable ? switched_on(line) : switched_off(line);
            return true;
        }
    }
    return false;
}

}  // namespace

Result<platform::ChangeOutcome> toggle_cron(const ChangeContext& context, const model::Item& item,
                                            bool enable) {
    const bool users_own = item.location == user_crontab;
    auto lock = lock_for_editing(context, users_own ? context.user.home : parent_of(item.location));
    if (!lock) {
        return fail(lock.error());
    }
    auto source = read_cron_source(context, item.location);
    if (!source) {
        return fail(source.error());
    }
    auto lines = text_lines(source->text);
    if (!switch_line(lines, users_own ? CronSource::user_crontab : CronSource::system_file,
                     item.extra.get("line_cmd"), twin_number(item), enable)) {
        return fail("The cron line was not found any more; scan again.");
    }
    const std::string text = join_lines(lines);
    Status written = users_own ? write_user_crontab(context, text)
                               : context.files.write(item.location, text, source->mode);
    if (!written) {
        return fail(written.error());
    }
    return platform::ChangeOutcome{
        item.name + (enable ? " will run at boot." : " will no longer run at boot."), {}};
}

}  // namespace bootsmith::linux_backend
