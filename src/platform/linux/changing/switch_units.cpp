// Switching systemd units with enable and disable (never mask).
#include <array>
#include <cerrno>

#include "foundation/files.hpp"
#include "platform/linux/changing/switch_units.hpp"

namespace bootsmith::linux_backend {

namespace {

std::string unit_of(const model::Item& item) {
    std::string unit = item.extra.get("unit");
    return unit.empty() ? item.name : unit;
}

bool refused_by_systemd(std::string_view output) {
    constexpr std::array<std::string_view, 4> refusals = {"Access denied", "authentication",
                                                          "Permission denied",
                                                          "Interactive authentication required"};
    for (std::string_view refusal : refusals) {
        if (output.find(refusal) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// After a successful enable or disable: does systemd now agree?
Result<platform::ChangeOutcome> confirm(const ChangeContext& context, const model::Item& item,
                                        const std::string& unit, bool enable, bool now) {
    auto run = run_systemctl(context, unit_kind_of(item), {"is-enabled", unit});
    std::string answer(util::trim(run.out));
    if (answer.empty()) {
        answer = "unknown";
    }
    const bool enabled = answer.starts_with("enabled");
    if (enable && !enabled && answer != "alias") {
        return fail("systemctl reported success but " + unit + " is \"" + answer +
                    "\", not enabled.");
    }
    if (!enable && enabled) {
        return fail(unit +
                    " is still enabled: a link outside Bootsmith's reach (set by the vendor or "
                    "for all users) keeps it on. Bootsmith does not mask units.");
    }
    std::string message =
        item.name + (enable ? " will start at boot." : " will no longer start at boot.");
    if (!enable && !now && item.running) {
        message += " It keeps running until the next restart.";
    }
    return platform::ChangeOutcome{message, {}};
}

// The user's systemd could not be asked (usually no session runs): our own
// user units are switched by their link instead.
std::optional<Result<platform::ChangeOutcome>> switch_by_link(const ChangeContext& context,
                                                              const model::Item& item,
                                                              const std::string& unit,
                                                              bool enable) {
    if (unit_kind_of(item) != UnitKind::user || !item.managed) {
        return std::nullopt;
    }
    auto unit_file = context.files.read_for_rewrite(item.location);
    if (!unit_file) {
        return std::nullopt;
    }
    auto linked = link_user_unit(context, unit_file->text, item.location, unit, enable);
    if (!linked) {
        return fail("Could not " + linked.error().action + ": " +
                    util::system_error_text(linked.error().error_number));
    }
    return platform::ChangeOutcome{
        item.name + (enable ? " will start at sign-in" : " will no longer start at sign-in") +
            " (no user session was running, so the links were changed directly).",
        {}};
}

}  // namespace

FileResult<void> link_user_unit(const ChangeContext& context, std::string_view unit_text,
                                std::string_view unit_file, std::string_view unit, bool enable) {
    const std::string link = wants_link(context.user, wanted_by_target(unit_text), unit);
    if (enable) {
        return context.files.link(link, unit_file);
    }
    auto removed = context.files.remove(link, "link " + link);
    if (!removed && removed.error().error_number != ENOENT) {
        return removed;
    }
    return {};
}

Result<platform::ChangeOutcome> toggle_unit(const ChangeContext& context, const model::Item& item,
                                            bool enable, bool now) {
    const UnitKind kind = unit_kind_of(item);
    if (kind == UnitKind::system && !context.info.admin) {
        return fail("ADMIN: Changing a system service needs administrator rights.");
    }
    const std::string unit = unit_of(item);
    std::vector<std::string> args = {enable ? "enable" : "disable"};
    if (!enable && now) {
        args.push_back("--now");
    }
    args.push_back(unit);
    auto run = run_systemctl(context, kind, args);
    if (run.ok()) {
        return confirm(context, item, unit, enable, now);
    }
    if (auto linked = switch_by_link(context, item, unit, enable)) {
        return std::move(*linked);
    }
    const std::string output = util::shorten(call_output(run), 220);
    if (refused_by_systemd(output)) {
        return fail("ADMIN: systemd refused the change.");
    }
    return fail("systemctl could not change " + unit + ": " + output);
}

}  // namespace bootsmith::linux_backend
