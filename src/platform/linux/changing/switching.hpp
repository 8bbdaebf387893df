#pragma once

#include <string>

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Switches an item, exactly as the scan made it, on (`enable`) or off; `now`
/// also stops a unit that is switched off. Never masks and never deletes.
[[nodiscard]] Result<platform::ChangeOutcome> toggle_item(const ChangeContext& context,
                                                          const model::Item& item, bool enable,
                                                          bool now);

/// "Unsupported entry type "<kind>"."
[[nodiscard]] std::string unsupported_kind(const model::Item& item);

}  // namespace bootsmith::linux_backend
