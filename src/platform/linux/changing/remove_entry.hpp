#pragma once

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"
#include "platform/platform.hpp"

namespace bootsmith::linux_backend {

/// Deletes an entry this program created, from the places where it creates
/// them; refuses every other.
[[nodiscard]] Result<platform::ChangeOutcome> remove_entry(const ChangeContext& context,
                                                           const model::Item& item);

}  // namespace bootsmith::linux_backend
