#pragma once

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/change_context.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Switches an item, exactly as the scan made it, on (`enable`) or off; `now`
/// also stops a unit that is switched off. Never masks and never deletes.
[[nodiscard]] Result<platform::ChangeOutcome> toggle_item(const ChangeContext& context,
                                                          const model::Item& item, bool enable,
                                                          bool now);

[[nodiscard]] Result<platform::ChangeOutcome> toggle_unit(const ChangeContext& context,
                                                          const model::Item& item, bool enable,
                                                          bool now);
[[nodiscard]] Result<platform::ChangeOutcome> toggle_autostart(const ChangeContext& context,
                                                               const model::Item& item,
                                                               bool enable);
[[nodiscard]] Result<platform::ChangeOutcome> toggle_cron(const ChangeContext& context,
                                                          const model::Item& item, bool enable);

/// "Unsupported entry type "<kind>"."
[[nodiscard]] std::string unsupported_kind(const model::Item& item);

/// Switches a user unit by its link alone, for when the user's own systemd
/// cannot be reached: the link in "<WantedBy target>.wants" of the user's unit
/// folder (its text gives the target) is made to point to the unit file, or
/// removed. The error is the failed link operation.
[[nodiscard]] FileResult<void> link_user_unit(const ChangeContext& context,
                                              std::string_view unit_text,
                                              std::string_view unit_file, std::string_view unit,
                                              bool enable);

}  // namespace bootsmith::linux_backend
