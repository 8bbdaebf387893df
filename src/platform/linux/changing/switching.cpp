#include "platform/linux/changing/switching.hpp"
#include "platform/linux/changing/switch_autostart.hpp"
#include "platform/linux/changing/switch_cron.hpp"
#include "platform/linux/changing/switch_units.hpp"

namespace bootsmith::linux_backend {

std::string unsupported_kind(const model::Item& item) {
    return "Unsupported entry type \"" + item.kind + "\".";
}

Result<platform::ChangeOutcome> toggle_item(const ChangeContext& context, const model::Item& item,
                                            bool enable, bool now) {
    if (item.kind == "systemd" || item.kind == "systemd-user") {
        return toggle_unit(context, item, enable, now);
    }
    if (item.kind == "autostart") {
        return toggle_autostart(context, item, enable);
    }
    if (item.kind == "cron") {
        return toggle_cron(context, item, enable);
    }
    return fail(unsupported_kind(item));
}

}  // namespace bootsmith::linux_backend
