// Removing the entries this program created, and only from its own places.
#include <cerrno>

#include "platform/linux/changing/crontab.hpp"
#include "platform/linux/changing/entry_texts.hpp"
#include "platform/linux/changing/remove_entry.hpp"
#include "platform/linux/changing/slug.hpp"
#include "platform/linux/changing/switch_units.hpp"
#include "platform/linux/changing/switching.hpp"

namespace bootsmith::linux_backend {

namespace {

constexpr std::string_view system_unit_folder = "/etc/systemd/system";

Result<platform::ChangeOutcome> remove_unit(const ChangeContext& context, const model::Item& item) {
    const UnitKind kind = unit_kind_of(item);
    if (kind == UnitKind::system && !context.info.admin) {
        return fail("ADMIN: Removing a system service needs administrator rights.");
    }
    const std::string folder =
        kind == UnitKind::system ? std::string(system_unit_folder) : user_unit_folder(context.user);
    const std::string& path = item.location;
    if (!in_own_place(context.options.roots, path, folder)) {
        return fail(
            "That unit file is not where Bootsmith creates its own, so it will not be "
            "deleted.");
    }
    std::string unit = item.extra.get("unit");
    if (unit.empty()) {
        unit = item.name;
    }
    auto text = context.files.read_for_rewrite(path);
    (void)run_systemctl(context, kind, {"disable", "--now", unit});
    auto removed = context.files.remove(path, "delete " + path);
    if (!removed) {
        return fail(describe(removed.error()));
    }
    if (kind == UnitKind::user) {
        // A link left behind would make systemd complain about a missing unit.
        (void)link_user_unit(context, "", path, unit, false);
        if (text) {
            (void)link_user_unit(context, text->text, path, unit, false);
        }
    }
    (void)run_systemctl(context, kind, {"daemon-reload"});
    return platform::ChangeOutcome{"Removed the service " + item.name + ".", {}};
}

Result<platform::ChangeOutcome> remove_autostart(const ChangeContext& context,
                                                 const model::Item& item) {
    const std::string path = item.extra.get("file");
    if (!in_own_place(context.options.roots, path, user_autostart_folder(context.user))) {
        return fail("That file is not where Bootsmith creates its own, so it will not be deleted.");
    }
    auto removed = context.files.remove(path, "delete the autostart file");
    if (!removed) {
        return fail(describe(removed.error()));
    }
    return platform::ChangeOutcome{"Removed the autostart entry " + item.name + ".", {}};
}

Result<platform::ChangeOutcome> remove_cron(const ChangeContext& context, const model::Item& item) {
    // Lines are only ever added to the user's own crontab.
    if (item.location != "crontab") {
        return fail(
            "That cron line is not where Bootsmith creates its own, so it will not be "
            "deleted.");
    }
    const util::Descriptor lock = BOOTSMITH_TRY(lock_for_editing(context, context.user.home));
    std::string text = BOOTSMITH_TRY(read_user_crontab(context));
    auto lines = text_lines(text);
    const std::string command = item.extra.get("line_cmd");
    std::optional<std::size_t> found;
    if (const int twin = twin_number(item); twin > 0) {
        found = nth_cron_line(lines, CronSource::user_crontab, command, twin);
    } else {
        for (std::size_t i = 0; i < lines.size() && !found; ++i) {
            auto entry = read_cron_line(lines[i], CronSource::user_crontab);
            if (entry && entry->tagged && entry->command == command) {
                found = i;
            }
        }
    }
    // Only a tagged line is ours; the user's own line with the same command stays.
    if (!found || !read_cron_line(lines[*found], CronSource::user_crontab)->tagged) {
        return fail("The cron line was not found any more.");
    }
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*found));
    BOOTSMITH_CHECK(write_user_crontab(context, join_lines(lines)));
    return platform::ChangeOutcome{"Removed the cron line.", {}};
}

}  // namespace

Result<platform::ChangeOutcome> remove_entry(const ChangeContext& context,
                                             const model::Item& item) {
    if (!item.managed) {
        return fail("Only entries created by Bootsmith can be removed.");
    }
    if (item.kind == "systemd" || item.kind == "systemd-user") {
        return remove_unit(context, item);
    }
    if (item.kind == "autostart") {
        return remove_autostart(context, item);
    }
    if (item.kind == "cron") {
        return remove_cron(context, item);
    }
    return fail(unsupported_kind(item));
}

}  // namespace bootsmith::linux_backend
