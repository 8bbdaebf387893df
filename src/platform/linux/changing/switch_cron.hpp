#pragma once

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Switches a cron @reboot line on or off.
[[nodiscard]] Result<platform::ChangeOutcome> toggle_cron(const ChangeContext& context,
                                                          const model::Item& item, bool enable);

}  // namespace bootsmith::linux_backend
