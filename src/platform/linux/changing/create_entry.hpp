#pragma once

#include "foundation/result.hpp"
#include "model/item.hpp"
#include "platform/linux/changing/change_context.hpp"

namespace bootsmith::linux_backend {

/// Creates a start-up entry by the request's method ("login", "user-service",
/// "boot", "cron"), tagged as this program's own; returns it as a later scan
/// shows it (the same id).
[[nodiscard]] Result<model::Item> create_entry(const ChangeContext& context,
                                               const model::CreateRequest& request);

}  // namespace bootsmith::linux_backend
